#!/usr/bin/env bash
# The endings on bad input, each with status 1: no display, a frame that is
# not a JPEG, no frames at all, no ffmpeg.
. "$(dirname "$0")/lib.sh"
setup

# No display: one line on standard error, no core dump.
run_to_end -u DISPLAY -u WAYLAND_DISPLAY
[ "$STATUS" = 1 ] || fail "no display: exit status $STATUS"
[ "$(wc -l <"$ERR")" = 1 ] || fail "no display: expected one error line"

# Not a JPEG: the message on standard error.
mkdir -p "$TMP/S001"
echo "not an image" >"$TMP/S001/clip_00000.jpg"
run_to_end
[ "$STATUS" = 1 ] || fail "not a JPEG: exit status $STATUS"
grep -qxF "[ NG ] Read Failed : [ ../S001/clip_00000.jpg ]" "$ERR" || fail "no Read Failed line"

# No frames down to S001: the message, then a key.
rm "$TMP/S001/clip_00000.jpg"
ends_without_frames

# No ffmpeg, neither beside the program nor on the PATH: its help.
rm "$TMP/work/ffmpeg"
run_to_end PATH=/nonexistent
[ "$STATUS" = 1 ] || fail "no ffmpeg: exit status $STATUS"
grep -qF "ERROR!!: Cannot find a file ->[ ffmpeg.exe ]" "$OUT" || fail "no ffmpeg help"
echo "error_endings: ok"
