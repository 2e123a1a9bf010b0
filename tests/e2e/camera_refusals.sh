#!/usr/bin/env bash
# A camera that will not open says why: the virtual camera refuses in each way
# a device does, or never delivers; key q then gets the failure line, the
# camera off, and on standard error the device, the reason and the devices found.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/camera.bash"
setup_camera_run
start_camera_player
wait_for_player
n=0
refused() { # WORD REASON FOUND: the camera set to WORD refuses key q for REASON
  camera "$1" && n=$((n + 1)) && key q
  wait_for_text "$NO_FRAME" $n
  wait_for_text "$OFF_LINE" $((n + 1))
  poll errors_say "Camera /dev/video0: $2|Capture devices found: $3|" || fail "camera $1: not said why"
  sleep 1.5 # keys in the second after switching off are swallowed
}
refused denied "permission denied; join its group video (sudo usermod -aG video $(id -un)) and log in again" none
refused busy "busy, another program holds it" "/dev/video0 (Virtual camera 0)"
refused noformat "the size or rate is not supported (640 x 480 refused: Invalid argument)" "/dev/video0 (Virtual camera 0)"
refused frozen "opens, but delivered no picture" "/dev/video0 (Virtual camera 0)"
quit
echo "camera_refusals: ok"
