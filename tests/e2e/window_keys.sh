#!/usr/bin/env bash
# One run in a real window, as a user would: frame 0, frame keys, mirror,
# replay, folder keys, the pause, ESC twice (the keys' texts: the unit tests).
. "$(dirname "$0")/lib.sh"
setup
make_frames S001 21 0=$RED 1=$GREEN 11=$YELLOW 20=$MAGENTA
make_frames S002 3 0=$CYAN

start_player
wait_for_player
shows "start-up" "$RED"
steps_frames # the folder keys make the window anew; the mirror stays

# The pause shows the key screen; Enter brings the frame back.
key Escape
[ -z "$KEY_SCREEN" ] || poll eval '! looks "$PALE" "$RED"' || fail "the pause should show the key screen"
key Return
shows "Enter after ESC" "$PALE" "$RED"
quit

[ ! -s "$ERR" ] || fail "unexpected errors"
echo "window_keys: ok"
