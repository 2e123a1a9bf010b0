#!/usr/bin/env bash
# Cameras unlike the one asked for, through the real device path: two
# virtual cameras that deliver 640 x 480 YUYV whatever is asked; the capture
# layer scales the frames and motion still steers. CamChan beyond the last
# camera gets the failure message and the OFF banner. The flips of
# SetCamera3.txt show in the logged camera frames.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/camera.bash"
setup_camera_run
start_camera_player VCAM_DEVICES=2 VCAM_SIZE=640x480 VCAM_FORMATS=yuyv
wait_for_player

key q
wait_for_text "$ON_LINE"
logged "S_FMT 320x240 .* -> 640x480 YUYV"
steers moving up
steers still still
grep -qF "ERROR: The Size" "$ERR" && fail "the 640 x 480 frames were refused"

# CamChan 2 of two cameras.
printf '0\n0\n2\n1\n0\n' >"$TMP/work/SetCamera3.txt"
key q
sleep 1.5 # keys in the second after switching off are swallowed
key q
logged "video2 open /dev/video2 -> ENOENT"
wait_for_text "$NO_FRAME"
wait_for_text "$OFF_LINE" 3

# The flips, in the camera log (display level 0 and log mode 1 from S001's
# settings, which the listing of key Space loads when it picks S001, the only
# folder; the pattern has its bright quarter at the top left).
mkdir "$TMP/log"
# bright X Y: the logged frame clip_00002.jpg is bright there.
bright() { [ "$(convert "$TMP/log/clip_00002.jpg" -colorspace gray -crop "1x1+$1+$2" -format '%[fx:int(255*u)]' info:)" -gt 128 ]; }
# logs_flipped FLIPV FLIPH: the settings loaded, camera 1 with these flips,
# on until three frames are logged, off (which sets log mode 2 again).
logs_flipped() {
  printf '%s\n%s\n1\n1\n0\n' "$1" "$2" >"$TMP/work/SetCamera3.txt"
  rm -f "$TMP"/log/*
  settings 0 1
  key space
  take_window new
  key q
  poll test -s "$TMP/log/clip_00002.jpg" || fail "no camera frames logged"
  key q
  sleep 1.5
}
logs_flipped 1 0
bright 80 180 && ! bright 80 60 || fail "CamFlipV: the bright quarter should be at the bottom left"
logs_flipped 0 1
bright 240 60 && ! bright 80 60 || fail "CamFlipH: the bright quarter should be at the top right"
logged "video1 open" 2
quit
echo "camera_devices: ok"
