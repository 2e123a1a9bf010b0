#!/usr/bin/env bash
# The window manager's close request on the image window ends the player as
# the second ESC does, while it plays and in the pause.
. "$(dirname "$0")/lib.sh"
setup
make_frames S001 3 0=$RED 1=$GREEN
closes_on_request
echo "close_window: ok"
