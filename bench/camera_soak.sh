#!/usr/bin/env bash
# The shipped program for a long run on the virtual camera (tools/vcam):
# motion and stillness alternate every 5 s; every 20 s a burst of 20 x keys
# (each must print its KEY FUNCTION line: no key lost), every 60 s a folder
# change (n), every 150 s a pause (Esc, 3 s, Enter), then Esc Esc and status 0.
# Resident memory, open files and threads are sampled every 10 s into
# soak.csv; the first and last minute are summed up.
#
#   bench/camera_soak.sh PROGRAM LIBVCAM [seconds]    (default 1800)
#
# Use a release build (orvantis and vcam of a Release build). Needs Xvfb,
# xdotool, ImageMagick and ffmpeg.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$(realpath "$1") vcam=$(realpath "$2") seconds=${3:-1800}
tmp=$(mktemp -d /tmp/orvantis-soak-XXXXXX)
xvfb="" player=""
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT
export QT_QPA_PLATFORM=xcb VCAM_CONTROL=$tmp/camera VCAM_RATE=60 XDG_RUNTIME_DIR=$tmp
mkdir -p "$tmp/work" "$tmp/S001" "$tmp/S002"
ffmpeg -v error -f lavfi -i "testsrc2=size=640x360:rate=30" -frames:v 300 -start_number 0 -q:v 3 "$tmp/S001/clip_%05d.jpg"
ffmpeg -v error -f lavfi -i "mandelbrot=size=640x360:rate=30" -frames:v 300 -start_number 0 -q:v 3 "$tmp/S002/clip_%05d.jpg"
ln -s "$(command -v ffmpeg)" "$tmp/work/ffmpeg"
start_xvfb 1280x1024
echo still >"$VCAM_CONTROL"
out=$tmp/out.txt
(cd "$tmp/work" && exec env LD_PRELOAD="$vcam" "$program" >"$out" 2>"$tmp/err.txt" </dev/null) &
player=$!
for _ in $(seq 300); do grep -q "以下のキーを入力してください" "$out" 2>/dev/null && break; sleep 0.1; done
sleep 1
focus() {
  local win
  win=$(xdotool search --onlyvisible --name "^ORVANTIS  Ver.1.2\$" | tail -n1)
  xdotool windowfocus "$win" 2>/dev/null || true
  sleep 0.3
}
focus
xdotool key a q # camera on; keys in the second after it are swallowed
sleep 2
xdotool key i # the pooled line, so that every key's line shows
sample() {
  local rss threads fds
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$player/status")
  threads=$(awk '/^Threads/ {print $2}' "/proc/$player/status")
  fds=$(ls "/proc/$player/fd" | wc -l)
  echo "$1,$rss,$fds,$threads" >>"$tmp/soak.csv"
}
echo "second,rss_kb,open_files,threads" >"$tmp/soak.csv"
lost=0 bursts=0 start=$SECONDS
while [ $((SECONDS - start)) -lt "$seconds" ]; do
  t=$((SECONDS - start))
  if [ $((t / 5 % 2)) = 0 ]; then echo moving >"$VCAM_CONTROL"; else echo still >"$VCAM_CONTROL"; fi
  if [ $((t % 10)) = 0 ]; then sample "$t"; fi
  if [ $((t % 20)) = 10 ]; then
    before=$(grep -c "KEY FUNCTION : \[x\]" "$out" || true)
    for _ in $(seq 20); do xdotool key x; done
    sleep 1
    after=$(grep -c "KEY FUNCTION : \[x\]" "$out" || true)
    bursts=$((bursts + 1))
    lost=$((lost + 20 - (after - before)))
  fi
  if [ $((t % 60)) = 30 ]; then xdotool key n; sleep 1.5; focus; fi
  if [ $((t % 150)) = 75 ]; then xdotool key Escape; sleep 3; xdotool key Return; sleep 1; fi
  sleep 1
done
sample "$((SECONDS - start))"
xdotool key Escape
sleep 1
xdotool key Escape
status=0
wait "$player" || status=$?
player=""
cp "$tmp/soak.csv" "${SOAK_CSV:-soak.csv}"
first=$(awk -F, 'NR > 1 && $1 >= 60 { print; exit }' "$tmp/soak.csv")
last=$(tail -n1 "$tmp/soak.csv")
echo "after the first minute (second,rss_kb,open_files,threads): $first"
echo "at the end: $last"
echo "key bursts: $bursts of 20, keys lost: $lost"
echo "camera failures: $(grep -c "cvQueryFrame() failed" "$out" || true); exit status: $status"
