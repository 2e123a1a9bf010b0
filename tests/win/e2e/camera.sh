#!/usr/bin/env bash
# The camera of ORVANTIS.exe under Wine, through DirectShow: without any
# camera key q says why and the player goes on; on the virtual camera
# (tools/vcam, preloaded into Wine) as on Linux, down to a camera pulled out,
# noticed after a second without a fresh frame.
. "$(dirname "$0")/lib.sh"
vcam_for_wine
setup
make_frames S001 200
settings 1 2

# No camera at all: standard error names the DirectShow device.
start_player
wait_for_player
key q
wait_for_text "$(cp932 "$NO_FRAME")"
wait_for_text "$OFF_LINE" 2
grep -qF "Camera DirectShow device 0: no camera at this number" "$ERR" || fail "not said why"
sleep 1.5 # keys during the second after switching off are swallowed
quit # the player went on

# The virtual camera.
LD_PRELOAD=$TMP/libvcam.so start_player
wait_for_player
key q
wait_for_text "$ON_LINE"
logged "S_FMT 320x240 .* -> 320x240 BGR3"
logged "read .* still" 5
steers still still
steers moving up
stays_on_in_the_dark
key q
wait_for_text "$OFF_LINE" 2
logged "close"
key q
wait_for_text "$ON_LINE" 2
steers moving up
camera unplugged
wait_for_text "$(cp932 "$NO_FRAME")"
wait_for_text "$OFF_LINE" 3
quit
echo "camera: ok"
