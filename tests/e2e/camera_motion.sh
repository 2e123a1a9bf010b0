#!/usr/bin/env bash
# Motion steering through the real device path, the virtual camera as
# /dev/video0 asked for 320 x 240 at 60 per second: steering, a dark room, q,
# the pause, a camera pulled out or frozen; then cameras unlike the one asked
# for, and CamChan beyond the last one.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/camera.bash"
setup_camera_run
start_camera_player
wait_for_player

key q
wait_for_text "$ON_LINE"
logged "S_FMT 320x240 .* -> 320x240 BGR3"
logged "S_PARM 1/60"
logged "DQBUF .* still" 5
steers still still
steers moving up
steers still still
steers moving down # the stillness after the motion turned the direction
stays_on_in_the_dark
key q
wait_for_text "$OFF_LINE" 2
logged "close" 1
log_has "open .*" 2 && fail "the camera was opened again while off"

# The pause lets the device go; Enter takes it again and motion steers.
key q
wait_for_text "$ON_LINE" 2
logged "open .*-> fd" 2
key Escape
wait_for_text "$OFF_LINE" 3
logged "close" 2
[ "$(log_count "DQBUF")" = "$(sleep 1; log_count "DQBUF")" ] || fail "frames were read during the pause"
key Return
logged "open .*-> fd" 3
steers moving up

# Pulled out: the failure message, camera off, the player goes on.
camera unplugged
wait_for_text "$NO_FRAME"
wait_for_text "$OFF_LINE" 4 # the start, q, the pause, and now
sleep 1.5 # keys during the second after switching off are swallowed

# Back, and then it stops delivering: after a second without a frame the
# camera counts as gone, as a pulled-out one does.
camera moving
key l q # back to frame 0 (the slot's last value went on steering), and on
wait_for_text "$ON_LINE" 4
steers moving up
camera frozen
start=$SECONDS
wait_for_text "$NO_FRAME" 2
[ $((SECONDS - start)) -le 6 ] || fail "a frozen camera was noticed only after $((SECONDS - start)) s"
wait_for_text "$OFF_LINE" 5
quit
grep -qE "ERROR|^Camera " "$ERR" && fail "errors on the console" # no reasons for a camera that opened

# Two cameras that deliver 640 x 480 YUYV whatever is asked: scaled by the capture layer.
camera still
start_camera_player VCAM_DEVICES=2 VCAM_SIZE=640x480 VCAM_FORMATS=yuyv
wait_for_player
key q
wait_for_text "$ON_LINE"
logged "S_FMT 320x240 .* -> 640x480 YUYV"
steers moving up
steers still still
# CamChan 2 of two cameras: the failure line, the OFF banner, and on standard error why and the cameras there are.
printf '0\n0\n2\n1\n0\n' >"$TMP/work/SetCamera3.txt"
key q
sleep 1.5 # keys in the second after switching off are swallowed
key q
logged "video2 open /dev/video2 -> ENOENT"
wait_for_text "$NO_FRAME"
wait_for_text "$OFF_LINE" 3
errors_say "Camera /dev/video2: no such device|Capture devices found: /dev/video0 (Virtual camera 0), /dev/video1 (Virtual camera 1)|" ||
  fail "not said why"
quit
echo "camera_motion: ok"
