#!/usr/bin/env bash
# Checks the cached Windows libraries end to end: builds deps_check.exe with
# MinGW-w64 against the prefix of scripts/build-windows-deps.sh (-static),
# makes sure it needs only Windows system DLLs, and runs it under Wine in
# Xvfb: the image decoded by TurboJPEG and OpenCV alike, the window drawn
# (read back from a screenshot), the key codes of a, Shift+a, Tab and ESC
# typed with xdotool, and the absent camera.
#
#   tools/windows/check-deps.sh [work-folder]   (default: build-windows-check)
#
# Exits 1 when the libraries, Wine or Xvfb cannot be had, saying why, and on
# any failed check.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$root/build-windows-check}
mkdir -p "$work"
work=$(cd "$work" && pwd)

prefix=$("$root/scripts/build-windows-deps.sh" | tail -n1)
case $prefix in /*) ;; *) exit 1 ;; esac
missing=()
for p in wine wine64 xvfb xdotool imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null || { echo "FAILED: no ${missing[*]}, no root to install it"; exit 1; }
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q \
    --no-install-recommends "${missing[@]}" >/dev/null || { echo "FAILED: could not install ${missing[*]}"; exit 1; }
fi

failed=0
since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }'; }
check() { # check <description> <command...>
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}

cmake -S "$root/tools/windows" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DOpenCV_DIR="$prefix/lib/cmake/opencv4" -Dlibjpeg-turbo_DIR="$prefix/lib/cmake/libjpeg-turbo" >/dev/null
nice cmake --build "$work/build" -j2 >/dev/null
exe=$work/build/deps_check.exe
echo "deps_check.exe: $(stat -c %s "$exe") bytes"

system_dlls=" kernel32.dll user32.dll gdi32.dll comdlg32.dll comctl32.dll msvcrt.dll ole32.dll oleaut32.dll advapi32.dll setupapi.dll ws2_32.dll shell32.dll shlwapi.dll "
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "DLLs: $(echo $dlls)"
only_system() { local d; for d in $dlls; do [[ $system_dlls == *" $d "* ]] || return 1; done; }
check "only Windows system DLLs" only_system

# A fresh prefix, without the Mono/Gecko dialogs; Managed=N makes windowed
# programs exit at once without a window manager.
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; else wine=wine; fi
[ -d "$WINEPREFIX" ] && { wineserver -k >/dev/null 2>&1 || true; }
rm -rf "$WINEPREFIX" "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
xdotool getdisplaygeometry >/dev/null || { echo "FAILED: no Xvfb display"; exit 1; }
t=$EPOCHREALTIME
timeout 120 "$wine" wineboot -i </dev/null >"$work/wineboot.log" 2>&1 || true
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >"$work/reg.log" 2>&1
echo "Wine prefix made in $(since "$t") s"

convert -size 320x240 xc:'#2060c0' -fill '#e02020' -draw 'rectangle 80,60 240,180' "$work/check.jpg"
out=$work/deps_check.out
rm -f "$out"
t=$EPOCHREALTIME
(cd "$work" && exec timeout 90 "$wine" "$exe" check.jpg </dev/null >"$out" 2>"$work/deps_check.err") &
run=$!
for _ in $(seq 300); do grep -q 'window shown' "$out" 2>/dev/null && break; sleep 0.1; done
echo "window after $(since "$t") s"
win="" pixel=""
for _ in $(seq 20); do
  win=$(xdotool search --name '^deps check$' 2>/dev/null | head -n1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
if [ -n "$win" ]; then
  xdotool windowfocus "$win"
  sleep 0.5
  import -window root "$work/screen.png"
  eval "$(xdotool getwindowgeometry --shell "$win")"
  pixel=$(convert "$work/screen.png" -crop "1x1+$((X + WIDTH / 2))+$((Y + HEIGHT / 2))" -depth 8 txt:- | tail -n1)
  echo "window ${WIDTH}x${HEIGHT} at $X,$Y; its middle: $pixel"
  for k in a shift+a Tab Escape; do xdotool key "$k"; sleep 0.3; done
fi
status=0
wait $run || status=$?
tr -d '\r' <"$out" >"$out.txt"
sed 's/^/  exe: /' "$out.txt"
check "window found" test -n "$win"
red() { [[ $pixel =~ \(([0-9]+),([0-9]+),([0-9]+) ]] && ((BASH_REMATCH[1] > 180 && BASH_REMATCH[2] < 90 && BASH_REMATCH[3] < 90)); }
check "image drawn (red middle on the screenshot)" red
check "TurboJPEG and imread decode alike" grep -Eq '^decoded 320x240, largest difference [0-2]$' "$out.txt"
check "absent camera not opened" grep -qx 'camera opened 0' "$out.txt"
check "key codes a 97, Shift+a 65, Tab 9, ESC 27" \
  test "$(sed -n 's/^key //p' "$out.txt" | tr '\n' ' ')" = "97 65 9 27 "
check "exit status 0 after ESC" test "$status" -eq 0
exit $failed
