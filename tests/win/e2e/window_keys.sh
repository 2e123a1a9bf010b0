#!/usr/bin/env bash
# One run of ORVANTIS.exe in a Wine window, as a user would: frame 0 with its
# mark, frame keys, mirror, replay, folder keys, motion pooled by a second
# process through the named section, the pause, and ESC twice (BackSpace and
# the farewell: close_window.sh; the keys' texts: the unit tests).
. "$(dirname "$0")/lib.sh"
setup
make_frames S001 21 0=$RED 1=$GREEN 11=$YELLOW 20=$MAGENTA
make_frames S002 3 0=$CYAN

start_player
wait_for_player
shows "start-up" "$RED"
has_green_mark || fail "no green mark at the bottom left"
steps_frames # the folder keys make the window anew; the mirror stays

# Another copy's camera sees motion in slot 3; this copy, its camera off,
# shows the pooled line on i and is steered by it to the last frame.
printf 'pass\nquit\n' >"$TMP/peer.in"
(cd "$TESTS_BIN" && timeout 60 "$WINE" pool_peer.exe /WEX_SHARED_MEMORY 1 3 1224000 <"$TMP/peer.in" >"$TMP/peer.out" 2>&1) ||
  fail "pool_peer: $(cat "$TMP/peer.out")"
key i
wait_for_text "*[SI.DiffSum=1224000 ] [WebCam(  3 ) =1224000 ] "
shows "pooled motion" "$PALE" "$MAGENTA"

# The pause; Enter brings the frame back; ESC twice ends with status 0.
key Escape
key Return
shows "Enter after ESC" "$PALE" "$MAGENTA"
quit

[ ! -s "$ERR" ] || fail "unexpected errors"
echo "window_keys: ok"
