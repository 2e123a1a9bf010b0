#!/usr/bin/env bash
# Motion steering end to end, with the demo build whose camera plays an image
# folder: frames that alternate black and white are motion on every pass, so
# after q the contents play forward to their last frame, and the pooled line
# (key i) lists this copy's slot with the full difference of 1224000.
. "$(dirname "$0")/lib.sh"
PROGRAM=$(dirname "$PROGRAM")/orvantis_democam
[ -x "$PROGRAM" ] || fail "no demo build next to the program"
start_x
make_installation
make_frames S001 10 'rgb(220,30,30)' 'rgb(30,30,220)'
mkdir -p "$TMP/work/democam"
convert -size 320x240 xc:black "$TMP/work/democam/a.png"
convert -size 320x240 xc:white "$TMP/work/democam/b.png"
# This copy publishes motion; in the machine's own pool it would steer every
# other player running there (other tests among them). So it gets a private
# /dev/shm, and with it a pool of its own.
unshare --mount true 2>/dev/null || { echo "democam_motion: skipped (needs unshare --mount)"; exit 0; }
(cd "$TMP/work" && exec unshare --mount sh -c 'mount -t tmpfs -o size=1m,mode=1777 tmpfs /dev/shm && exec "$0"' \
  "$PROGRAM" >"$TMP/out.txt" 2>"$TMP/err.txt" </dev/null) &
PLAYER_PID=$!
wait_for_player
centre=$(centre_pixel)
near "$centre" "220,30,30" || fail "frame 0 should be red, got $centre"
focus "$win"
key q
sleep 2
# Ten frames at 30 camera frames per second: at the last one (blue) by now.
centre=$(centre_pixel)
near "$centre" "30,30,220" || fail "the camera should have played to frame 9 (blue), got $centre"
key i
wait_for_text "[WebCam(  0 ) =1224000 ] "
key i Escape Escape
wait_exit
[ "$STATUS" = 0 ] || fail "exit status $STATUS"
grep -qF "cvQueryFrame() failed" "$TMP/out.txt" && fail "the demo camera gave no frame"
[ "$(od -A n -t d4 -j 4 -N 4 /dev/shm/WEX_SHARED_MEMORY 2>/dev/null | tr -d ' ')" != 1224000 ] ||
  fail "the motion reached the machine's own pool"
echo "democam_motion: ok"
