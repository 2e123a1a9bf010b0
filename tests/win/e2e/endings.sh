#!/usr/bin/env bash
# The start-up transcript in code page 932 and the endings on bad input under Wine, each
# with status 1 and none waiting for a key from standard input NUL (which a terminal check
# mistakes for one): no ffmpeg.exe, a frame that is not a JPEG, no frames at all.
. "$(dirname "$0")/lib.sh"
setup
rm "$TMP/work/ffmpeg.exe"
run_to_end /dev/null
[ "$STATUS" = 1 ] || fail "no ffmpeg.exe: exit status $STATUS"
iconv -f CP932 -t UTF-8 "$OUT" >/dev/null || fail "the transcript is not code page 932"
[ "$(grep -vc $'\r$' "$OUT")" = 0 ] || fail "lines without CRLF"
work="Z:${TMP//\//\\}\\work" # as Windows names $TMP/work
grep -qxF "$work"$'\r' "$OUT" || fail "the working folder is not shown as Windows names it"
grep -qxF "$(cp932 'エラー!! ファイル[ ffmpeg.exe ]が見つかりません。')"$'\r' "$OUT" || fail "no Japanese error line"
grep -qF "apt-get" "$OUT" && fail "the Linux installation hint is shown on Windows"
cp "$TESTS_BIN/win_helper.exe" "$TMP/work/ffmpeg.exe"

# Not a JPEG: the message on standard error, with Windows names.
mkdir -p "$TMP/S001"
echo "not an image" >"$TMP/S001/clip_00000.jpg"
run_to_end /dev/null
[ "$STATUS" = 1 ] || fail "not a JPEG: exit status $STATUS"
grep -qxF '[ NG ] Read Failed : [ ..\S001\clip_00000.jpg ]'$'\r' "$ERR" || fail "no Read Failed line"
grep -qxF "[0]$work\\ORVANTIS.exe"$'\r' "$OUT" || fail "no argument echo"
grep -qxF "Total length of file name strings = $((${#work} + 13))"$'\r' "$OUT" || fail "no length of the names"

# No frames down to S001: the message, then a key in the window.
rm "$TMP/S001/clip_00000.jpg"
ends_without_frames
echo "endings: ok"
