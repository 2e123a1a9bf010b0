#!/usr/bin/env bash
# Unpaced stepping with key x in a real window: the Linux program and the
# Windows one under Wine, in the same Xvfb, over the same 1080p frames. The
# presses (one fewer than the frames) are typed 1 ms apart, faster than any
# pass; the time runs from the first press to the screenshot that shows the
# last frame (red), polled every 20 ms. Only the program's own window is read:
# a shot of the whole screen keeps the X server busy for several ms, and the
# Linux program's toolkit waits for the server once a frame (before it draws
# into its shared image again), so polling the screen slowed it down by 4 x.
#
#   bench/window_step_rate.sh LINUX_PROGRAM ORVANTIS.exe [frames]   (default 300)
#
# ONLY_WINDOWS=1 measures the Windows program alone; KEEP=1 keeps the work
# folder in /tmp with a screenshot of each window at the end.
# Use release builds (the bench preset; scripts/build-windows.sh) and a quiet
# machine. Needs Xvfb, xdotool, ImageMagick, ffmpeg and Wine.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
linux=$(realpath "$1") exe=$(realpath "$2") count=${3:-300}
tmp=$(mktemp -d /tmp/orvantis-steprate-XXXXXX)
xvfb=""
cleanup() {
  WINEPREFIX=$tmp/wineprefix wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT
export WINEPREFIX=$tmp/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" QT_QPA_PLATFORM=xcb
if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; else wine=wine; fi

mkdir -p "$tmp/S001" "$tmp/work"
ffmpeg -v error -f lavfi -i "testsrc2=size=1920x1080:rate=30" -frames:v "$count" -start_number 0 -q:v 2 "$tmp/S001/clip_%05d.jpg"
last=$(printf '%s/S001/clip_%05d.jpg' "$tmp" $((count - 1)))
convert -size 1920x1080 xc:'rgb(220,30,30)' -quality 90 "$last"
ln -s "$(command -v ffmpeg)" "$tmp/work/ffmpeg"
cp "$exe" "$tmp/work/ORVANTIS.exe"
: >"$tmp/work/ffmpeg.exe"

start_xvfb 2560x1440
timeout 120 "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1

red() { # WINDOW X Y
  import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null | tail -n1 |
    grep -qE '\((2[01][0-9]|22[0-9]|23[0-9]),[0-9]?[0-9],[0-9]?[0-9]\)'
}
# measure NAME COMMAND...: starts the program, waits for its window, sends the
# presses and prints the rate.
measure() {
  local name=$1 win="" t0 t1
  shift
  (cd "$tmp/work" && exec "$@" >"$tmp/out-$name.txt" 2>&1 </dev/null) &
  local pid=$!
  for _ in $(seq 300); do
    grep -qa "OOO" "$tmp/out-$name.txt" 2>/dev/null && break # the help screen's last banner
    sleep 0.1
  done
  sleep 2 # the first frame
  win=$(xdotool search --onlyvisible --name '^ORVANTIS  Ver.1.2$' 2>/dev/null | tail -n1 || true)
  [ -n "$win" ] || { echo "$name: no window"; kill "$pid"; return 1; }
  xdotool windowfocus "$win"
  sleep 0.3
  xdotool key a # the first key after focusing can be lost; a does nothing
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$win")"
  local x=$((WIDTH / 2)) y=$((HEIGHT / 2))
  t0=$EPOCHREALTIME
  if [ "$name" = linux ]; then
    xdotool type --delay 1 "$(printf "%${count}s" | tr ' ' x)"
  else # Wine ignores the key codes xdotool type maps on the fly
    xdotool key --delay 1 $(printf 'x %.0s' $(seq "$count"))
  fi
  local sent=$EPOCHREALTIME
  until red "$win" "$x" "$y"; do
    sleep 0.02
    awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { exit !(b - a > 120) }' && { echo "$name: the last frame never came"; break; }
  done
  t1=$EPOCHREALTIME
  awk -v n=$((count - 1)) -v a="$t0" -v b="$t1" -v s="$sent" -v name="$name" \
    'BEGIN { printf "%s: %d frames in %.2f s, %.1f frames/s (presses sent in %.2f s)\n", name, n, b - a, n / (b - a), s - a }'
  [ -n "${KEEP:-}" ] && import -window root "$tmp/shot-$name.png"
  xdotool key Escape Escape
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
[ -n "${ONLY_WINDOWS:-}" ] || measure linux "$linux"
measure windows timeout 300 "$wine" ORVANTIS.exe
