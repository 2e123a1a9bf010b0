#!/usr/bin/env bash
# Sets up, builds, prepares a demo installation under demo/ and runs the
# player there. With a display it opens the window for you; without one it
# plays a short scripted session inside Xvfb and saves what it showed. A
# machine without a webcam gets the virtual camera (tools/vcam, preloaded)
# playing a short clip (demo/work/camera.bgr: a second of motion, then
# stillness, in a loop), so that motion steering shows; the scripted session
# always uses it.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scripts/setup.sh
cmake -S . -B build -DORVANTIS_SANITIZE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target orvantis vcam key_screen

# The installation: the program's folder beside its contents folders.
demo=$top/demo
mkdir -p "$demo/work"
cp build/orvantis "$demo/work/orvantis"
cp build/keyallocation_01.jpg "$demo/work/keyallocation_01.jpg"
make_contents() { # folder, ffmpeg source
  if [ ! -f "$demo/$1/clip_00000.jpg" ]; then
    mkdir -p "$demo/$1"
    ffmpeg -loglevel error -y -f lavfi -i "$2" -q:v 2 -start_number 0 "$demo/$1/clip_%05d.jpg"
  fi
}
make_contents S001 "testsrc2=size=640x360:rate=15:duration=6"
make_contents S002 "mandelbrot=size=640x360:rate=15,trim=duration=6"
# The clip the virtual camera plays: a second of motion, then a second and
# a half of one still picture, 320 x 240 raw BGR at 30 per second.
camera=(env LD_PRELOAD="$top/build/libvcam.so" VCAM_VIDEO="$demo/work/camera.bgr" VCAM_VIDEO_SIZE=320x240)
if [ ! -f "$demo/work/camera.bgr" ]; then
  ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=30:duration=1,tpad=stop_mode=clone:stop_duration=1.5" \
    -f rawvideo -pix_fmt bgr24 "$demo/work/camera.bgr"
fi
echo "Demo installation: $demo/work (contents in $demo/S001, $demo/S002)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  cd "$demo/work"
  [ -e /dev/video0 ] && exec ./orvantis
  exec "${camera[@]}" ./orvantis
fi

# No display: a scripted session in Xvfb, with screenshots and the console.
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$demo/.display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$XDG_RUNTIME_DIR"' EXIT
for _ in $(seq 100); do [ -s "$demo/.display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$demo/.display")"
(cd "$demo/work" && exec "${camera[@]}" ./orvantis >"$demo/transcript.txt" 2>&1 </dev/null) &
player=$!
for _ in $(seq 150); do grep -q "以下のキーを入力してください" "$demo/transcript.txt" 2>/dev/null && break; sleep 0.1; done
sleep 1
win=$(xdotool search --name "^ORVANTIS  Ver.1.2\$" | tail -n1)
xdotool windowfocus "$win" || true
sleep 0.3
xdotool key a
shot() { import -window root "$demo/$1.png"; echo "  $demo/$1.png"; }
echo "Screenshots:"
shot 1-first-frame
for k in x x x X; do xdotool key "$k"; sleep 0.3; done
shot 2-after-stepping
xdotool key q; sleep 3
shot 3-camera-steering
xdotool key i; sleep 1; xdotool key i; xdotool key q; sleep 1.5
xdotool key Escape; sleep 1
shot 4-paused
xdotool key Return; sleep 1
shot 5-resumed
xdotool key Escape; sleep 0.5; xdotool key Escape
status=0
wait $player || status=$?
echo "Console transcript: $demo/transcript.txt"
echo "The player ended with status $status."
exit "$status"
