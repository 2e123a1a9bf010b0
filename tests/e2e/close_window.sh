#!/usr/bin/env bash
# The window manager's close request (Wine: WM_CLOSE) ends the player as the second
# ESC does, with the farewell banner and status 0: while it plays (after BackSpace made
# the window anew) and in the pause. The Windows tests run it too (E2E_LIB).
. "${E2E_LIB:-$(dirname "$0")/lib.sh}"
setup
make_frames S001 3 0=$RED 1=$GREEN
cc -O -o "$TMP/send_close" "$(dirname "$0")/send_close.c" -lX11 || fail "could not build send_close"
PAUSE_LINE=" OOOO    OOO   O   O   OOOO  OOOOO  O "
FAREWELL_LINE="  OOOO  O   O  O   O       O    O   O  O    O     O "

# ends_on_close WHAT PAUSE_BANNERS: closes the window and checks the ending.
ends_on_close() {
  "$TMP/send_close" "$WIN" || fail "send_close $WIN"
  wait_exit 0 "$1, window closed"
  [ "$(count_of "$FAREWELL_LINE")" = 1 ] || fail "$1, window closed: no farewell banner"
  [ "$(count_of "$PAUSE_LINE")" = "$2" ] || fail "$1, window closed: $(count_of "$PAUSE_LINE") pause banners"
}

start_player
wait_for_player
key BackSpace
take_window new
key x
shows "x after BackSpace" "$GREEN"
ends_on_close playing 0

start_player
wait_for_player
key Escape
wait_for_text "$PAUSE_LINE"
ends_on_close paused 1
[ ! -s "$ERR" ] || fail "unexpected errors"
echo "close_window: ok"
