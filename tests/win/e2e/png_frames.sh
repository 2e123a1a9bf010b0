#!/usr/bin/env bash
# PNG frames show the same pixels on Windows as on Linux: frame_dump.exe and the Linux
# build's frame_dump (LINUX_FRAME_DUMP) give the same bytes for colour and grey with alpha
# (dropped, not composited), a palette with graded transparency, 16-bit colour (not
# brightened without gamma information), interlaced 2-bit grey with a transparent grey,
# and a cut-off file that neither loads, reported in the same words.
. "$(dirname "$0")/lib.sh"
[ -x "${LINUX_FRAME_DUMP:-}" ] || fail "no Linux frame_dump (build/tests/frame_dump, LINUX_FRAME_DUMP): build the Linux tests first"
cd "$TMP"
colours=(-size 40x30 gradient:'rgb(250,40,10)-rgb(20,90,240)')
convert "${colours[@]}" \( -size 30x40 gradient:white-'rgb(30,30,30)' -rotate 90 \) -alpha off \
  -compose copy_opacity -composite PNG32:rgba.png
convert rgba.png -colorspace gray -define png:color-type=4 grey_alpha.png
convert rgba.png +dither -colors 64 palette.png
convert "${colours[@]}" -depth 16 -define png:exclude-chunks=gAMA,sRGB,cHRM,iCCP PNG48:rgb16.png
convert -size 40x30 gradient:black-white -depth 2 -transparent 'rgb(85,85,85)' -interlace PNG grey2.png
head -c 200 rgba.png >cut.png # in its image data
files=(rgba.png grey_alpha.png palette.png rgb16.png grey2.png cut.png)
"$LINUX_FRAME_DUMP" linux.dump "${files[@]}" 2>linux.err || fail "the Linux frame_dump failed"
[ "$(grep -ac ' 40x30x3$' linux.dump)" = 5 ] || fail "the Linux build did not load the five pictures"
(wine_run 60 "$WINE" "$TESTS_BIN/frame_dump.exe" windows.dump "${files[@]}" 2>"$ERR") ||
  fail "frame_dump.exe failed"
cmp linux.dump windows.dump || fail "the Windows frames differ from the Linux ones"
[ "$(tr -d '\r' <"$ERR")" = "$(cat linux.err)" ] || fail "the cut-off file is reported otherwise than on Linux"
echo "png_frames: ok"
