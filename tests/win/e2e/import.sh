#!/usr/bin/env bash
# The import under Wine: the names given on the command line, sorted, each
# reach .\ffmpeg.exe (the stand-in, started without a shell) byte for byte in
# code page 932, one folder each; the frames it writes are then played.
. "$(dirname "$0")/lib.sh"
setup
make_frames seed 1 0=$BLUE
mv "$TMP/seed/clip_00000.jpg" "$TMP/work/frame.jpg"
names=("動画 ファイル.mp4" "my movie.mp4" "%PATH%&x.mp4")

start_player "${names[@]}"
wait_for_player
shows "the first imported folder" "$BLUE"
quit

want=""
for i in 1 2 3; do want+="-i"$'\n'"$(cp932 "${names[3 - i]}")"$'\n'"-q:v"$'\n'"1"$'\n'"..\\S00$i\\clip_%05d.jpg"$'\n'; done
[ "$(cat "$TMP/work/args.txt")" = "${want%$'\n'}" ] || fail "ffmpeg.exe got: $(cat "$TMP/work/args.txt")"
for i in 1 2 3; do
  [ -f "$TMP/S00$i/clip_00002.jpg" ] || fail "no frames in S00$i"
done
grep -qF -- "----------> EXECUTING: .\\ffmpeg  -i \"$(cp932 "${names[0]}")\"" "$OUT" || fail "no command echo"
[ ! -s "$ERR" ] || fail "unexpected errors"
echo "import: ok"
