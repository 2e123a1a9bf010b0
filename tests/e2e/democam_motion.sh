#!/usr/bin/env bash
# Motion steering end to end, with the demo build whose camera plays an image
# folder: frames that alternate black and white are motion on every pass, so
# after q the contents play forward to their last frame, and the pooled line
# (key i) lists this copy's slot with the full difference of 1224000.
. "$(dirname "$0")/lib.sh"
PROGRAM=$(dirname "$PROGRAM")/orvantis_democam
[ -x "$PROGRAM" ] || fail "no demo build next to the program"
# This copy publishes motion; in the machine's own pool it would steer every
# other player running there (other tests among them). So it gets a private
# /dev/shm, and with it a pool of its own.
unshare --mount true 2>/dev/null || { echo "democam_motion: skipped (needs unshare --mount)"; exit 0; }
setup
make_frames S001 10 0=$RED 9=$BLUE
mkdir -p "$TMP/work/democam"
convert -size 320x240 xc:black "$TMP/work/democam/a.png"
convert -size 320x240 xc:white "$TMP/work/democam/b.png"
(cd "$TMP/work" && exec unshare --mount sh -c 'mount -t tmpfs -o size=1m,mode=1777 tmpfs /dev/shm && exec "$0"' \
  "$PROGRAM" >"$OUT" 2>"$ERR" </dev/null) &
PLAYER_PID=$!
wait_for_player
shows "start-up" "$RED"
key q
shows "the camera's motion should play to the last frame" "$BLUE"
key i
wait_for_text "[WebCam(  0 ) =1224000 ] "
key i
quit
grep -qF "cvQueryFrame() failed" "$OUT" && fail "the demo camera gave no frame"
[ "$(od -A n -t d4 -j 4 -N 4 /dev/shm/WEX_SHARED_MEMORY 2>/dev/null | tr -d ' ')" != 1224000 ] ||
  fail "the motion reached the machine's own pool"
echo "democam_motion: ok"
