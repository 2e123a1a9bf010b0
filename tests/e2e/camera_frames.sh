#!/usr/bin/env bash
# ORVANTIS_CAMERA_FRAMES, on Linux and under Wine (E2E_LIB): a second of a sweeping bar, then
# stillness, looped at 320 x 240 after key q, steps, halts and steps the frames; the folder gone
# opens no camera. On Linux also orvantis-rehearse, installed, on a still video.
. "${E2E_LIB:-$(dirname "$0")/lib.sh}"
. "$(dirname "$0")/camera.bash"
mkdir "$TMP/room"
ffmpeg -v error -f lavfi -i "color=black:s=400x300:r=60:d=1,geq=lum='255*lt(mod(X-N*10\\,400)\\,50)':cb=128" -f lavfi \
  -i color=gray:s=400x300:r=60:d=4 -filter_complex concat -start_number 0 "$TMP/room/clip_%05d.jpg" || fail "ffmpeg"
if [ -z "${E2E_LIB:-}" ]; then setup_camera_run && start_camera_player ORVANTIS_CAMERA_FRAMES="$TMP/room"
else setup && make_frames S001 200 && settings 1 2 && ORVANTIS_CAMERA_FRAMES=../room start_player; fi
wait_for_player
key q
wait_for_text "$ON_LINE"
for way in up still up; do
  from=$(($(console_lines) + 1))
  poll moves "$from" $way || fail "the frames should go $way, went $(frames_since "$from" | sed -n '1p;$p' | tr '\n' ' ')"
  [ $way != up ] || sleep 1.5 # into the stillness, then into the next loop
done
key q
wait_for_text "$OFF_LINE" 2
mv "$TMP/room" "$TMP/gone" && sleep 1.5 # keys in the second after switching off are swallowed
key q
wait_for_text "$NO_FRAME"
poll errors_say "ORVANTIS_CAMERA_FRAMES=" || fail "the missing recording is not said: $(cat "$ERR")"
wait_for_text "$OFF_LINE" 3
quit
[ -z "${E2E_LIB:-}" ] || exit 0
ffmpeg -v error -f lavfi -i color=gray:s=640x480:r=30:d=1 "$TMP/room.mp4" || fail "ffmpeg made no video"
cmake --install "$(dirname "$PROGRAM")" --prefix "$TMP/usr" --component player >/dev/null || fail "cmake --install"
LAUNCH="$TMP/usr/bin/orvantis-rehearse $TMP/room.mp4" start_camera_player LD_PRELOAD=
wait_for_player
key q
wait_for_text "$ON_LINE"
logged "S_FMT 320x240" # the installed virtual camera, playing the still video, not its own moving pattern:
steers moving still
quit
