#!/usr/bin/env bash
# Latency from motion to picture: the virtual camera (tools/vcam) at 60
# frames per second is still for 1.5 s, then moving; the time runs from its
# first moving frame (the time in its call log) to the first change of the
# window's picture (window_probe.c watching one pixel; frames alternate
# black and white there, and wrap is on, so every step shows). Prints the
# median, p99 and maximum over the runs, beside the floor of two camera
# frames (the frame that moves, and the one the measure compares it with).
#
#   bench/camera_latency.sh PROGRAM LIBVCAM [runs]    (default 100)
#
# Use a release build and a quiet machine. Needs Xvfb, xdotool, ImageMagick
# and a C compiler with the X11 headers.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$(realpath "$1") vcam=$(realpath "$2") runs=${3:-100}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d /tmp/orvantis-latency-XXXXXX)
xvfb="" player="" probe=""
cleanup() {
  [ -n "$probe" ] && kill "$probe" 2>/dev/null || true
  [ -n "$player" ] && kill "$player" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
cc -O2 -o "$tmp/window_probe" "$here/window_probe.c" -lX11
export QT_QPA_PLATFORM=xcb VCAM_CONTROL=$tmp/camera VCAM_LOG=$tmp/camera.log XDG_RUNTIME_DIR=$tmp
mkdir -p "$tmp/work" "$tmp/S001"
convert -size 320x240 xc:black -quality 95 "$tmp/black.jpg"
convert -size 320x240 xc:white -quality 95 "$tmp/white.jpg"
for i in $(seq 0 59); do cp "$tmp/$([ $((i % 2)) = 0 ] && echo black || echo white).jpg" "$tmp/S001/$(printf 'clip_%05d.jpg' "$i")"; done
{ # 60 frames, wrap on, all else as the program starts
  echo "4 0 60 0.000000 9600 1 1.000000 3 1 0 0 108000 0 2 1 0 0"
  printf "0\n%.0s" $(seq 1280)
  echo "0 59 0 0 0"
} >"$tmp/work/zep_env0001.dat"
ln -s "$(command -v ffmpeg)" "$tmp/work/ffmpeg"
start_xvfb 1280x1024
echo still >"$VCAM_CONTROL"
(cd "$tmp/work" && exec env LD_PRELOAD="$vcam" VCAM_RATE=60 "$program" >"$tmp/out.txt" 2>&1 </dev/null) &
player=$!
for _ in $(seq 300); do grep -q "以下のキーを入力してください" "$tmp/out.txt" 2>/dev/null && break; sleep 0.1; done
sleep 1
win=$(xdotool search --onlyvisible --name "^ORVANTIS  Ver.1.2\$" | tail -n1)
xdotool windowfocus "$win"
sleep 0.3
xdotool key a q
sleep 2
eval "$(xdotool getwindowgeometry --shell "$win")"
"$tmp/window_probe" "$win" $((WIDTH / 2)) $((HEIGHT / 2)) $((runs * 3 + 10)) >"$tmp/changes.txt" &
probe=$!
for _ in $(seq "$runs"); do
  echo still >"$VCAM_CONTROL"
  sleep 1.5
  echo moving >"$VCAM_CONTROL"
  sleep 0.5
done
echo still >"$VCAM_CONTROL"
kill "$probe" 2>/dev/null || true
probe=""
xdotool key Escape
sleep 1
xdotool key Escape
wait "$player" || true
player=""
# For each first moving frame after a still one: the first picture change
# after it.
awk '$3 == "video0" && $4 == "DQBUF" && $6 == "seq" { m = ($NF == "moving"); if (m && !was) print $1; was = m }' "$tmp/camera.log" >"$tmp/starts.txt"
awk 'NR == FNR { c[n++] = $1; next } { while (i < n && c[i] < $1) i++; if (i < n) print c[i] - $1 }' \
  "$tmp/changes.txt" "$tmp/starts.txt" | sort -n >"$tmp/latency.txt"
count=$(wc -l <"$tmp/latency.txt")
pick() { sed -n "$(( ($1 * count + 99) / 100 ))p" "$tmp/latency.txt"; }
echo "runs: $count; motion to picture (ms): median $(pick 50), p99 $(pick 99), max $(tail -n1 "$tmp/latency.txt")"
echo "floor: two camera frames at 60 per second = 33.3 ms"
