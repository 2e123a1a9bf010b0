#!/usr/bin/env bash
# The endings on bad input: a frame that is not a JPEG, no frames at all, no display.
. "$(dirname "$0")/lib.sh"
start_x
make_installation

# Not a JPEG: the message on standard error, status 1.
mkdir -p "$TMP/S001"
echo "not an image" >"$TMP/S001/clip_00000.jpg"
start_player
wait_exit
[ "$STATUS" = 1 ] || fail "not a JPEG: exit status $STATUS"
grep -qxF "[ NG ] Read Failed : [ ../S001/clip_00000.jpg ]" "$TMP/err.txt" || fail "no Read Failed line"
grep -qF "See You" "$TMP/out.txt" && fail "the farewell belongs to the user's own ending"

# No frames down to S001: the message, a key, status 1.
rm -f "$TMP/S001/clip_00000.jpg"
start_player
win=$(window_id)
wait_for_text "---> ERROR: No image file exists! Bye!"
focus "$win"
key space
wait_exit
[ "$STATUS" = 1 ] || fail "no frames: exit status $STATUS"
grep -qF -- "---> Empty folder is specified!" "$TMP/out.txt" || fail "no empty-folder line"

# No display: one line on standard error, status 1, no core dump.
unset DISPLAY WAYLAND_DISPLAY
(cd "$TMP/work" && ulimit -c 0 && "$PROGRAM" >"$TMP/out.txt" 2>"$TMP/err.txt" </dev/null) && STATUS=0 || STATUS=$?
[ "$STATUS" = 1 ] || fail "no display: exit status $STATUS"
[ "$(wc -l <"$TMP/err.txt")" = 1 ] || fail "no display: expected one error line"
echo "error_endings: ok"
