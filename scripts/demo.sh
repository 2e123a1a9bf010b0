#!/usr/bin/env bash
# Sets up, builds, prepares a demo installation under demo/ and runs the
# player there. With a display it opens the window for you; without one it
# plays a short scripted session inside Xvfb and saves what it showed. That
# session runs the demo build of the player, whose "camera" plays an image
# folder (demo/work/democam: a second of motion, then stillness, in a loop),
# so that motion steering shows on a machine without a webcam.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
scripts/setup.sh
cmake -S . -B build -DORVANTIS_SANITIZE=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target orvantis orvantis_democam key_screen

# The installation: the program's folder beside its contents folders.
demo=$top/demo
mkdir -p "$demo/work"
cp build/orvantis "$demo/work/orvantis"
cp build/orvantis_democam "$demo/work/orvantis_democam"
cp build/keyallocation_01.jpg "$demo/work/keyallocation_01.jpg"
make_contents() { # folder, ffmpeg source
  if [ ! -f "$demo/$1/clip_00000.jpg" ]; then
    mkdir -p "$demo/$1"
    ffmpeg -loglevel error -y -f lavfi -i "$2" -q:v 2 -start_number 0 "$demo/$1/clip_%05d.jpg"
  fi
}
make_contents S001 "testsrc2=size=640x360:rate=15:duration=6"
make_contents S002 "mandelbrot=size=640x360:rate=15,trim=duration=6"
# The demo camera: 30 frames that flicker black and white (motion), then 45
# grey ones that differ by one level (stillness: a real camera is never
# perfectly still), played at 30 per second in a loop.
if [ ! -e "$demo/work/democam/f074.png" ]; then
  mkdir -p "$demo/work/democam" "$demo/work/democam-src"
  convert -size 320x240 xc:black "$demo/work/democam-src/black.png"
  convert -size 320x240 xc:white "$demo/work/democam-src/white.png"
  convert -size 320x240 'xc:rgb(128,128,128)' "$demo/work/democam-src/grey.png"
  convert -size 320x240 'xc:rgb(129,129,129)' "$demo/work/democam-src/grey2.png"
  for i in $(seq 0 74); do
    if [ "$i" -ge 30 ]; then src=$([ $((i % 2)) = 0 ] && echo grey || echo grey2); elif [ $((i % 2)) = 0 ]; then src=black; else src=white; fi
    ln -sf "../democam-src/$src.png" "$demo/work/democam/$(printf 'f%03d.png' "$i")"
  done
fi
echo "Demo installation: $demo/work (contents in $demo/S001, $demo/S002)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  cd "$demo/work"
  exec ./orvantis
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
(cd "$demo/work" && exec ./orvantis_democam >"$demo/transcript.txt" 2>&1 </dev/null) &
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
