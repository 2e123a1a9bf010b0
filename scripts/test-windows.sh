#!/usr/bin/env bash
# Cross-builds the program for Windows, ORVANTIS.exe, with its unit tests
# (scripts/build-windows.sh) and the release archive
# (scripts/package-windows.sh), and runs the tests under Wine: the unit
# tests, and the end-to-end tests of tests/win/e2e/ with ORVANTIS.exe in a
# Wine window on a private Xvfb, driven by xdotool.
#
#   scripts/test-windows.sh [build-folder]     (default: build-windows)
#
# Installs the toolchain, Wine, Xvfb, xdotool, ImageMagick, zip, unzip,
# OpenSSL and the GoogleTest sources with apt-get when they are missing; when
# that is not possible, or the libraries cannot be built, it fails and says
# why (scripts/test.sh leaves this part out only when ORVANTIS_LEAVE_OUT has
# "windows").
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-windows}
case $build in /*) ;; *) build=$root/$build ;; esac

# zip packs the release archive and unzip unpacks it in its test; openssl
# makes the mixed pool's test CA.
packages=(cmake g++-mingw-w64-x86-64-posix wine wine64 googletest xvfb xdotool imagemagick gcc libx11-dev
  zip unzip openssl)
have_tools() {
  command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
    command -v wineserver >/dev/null &&
    { [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || command -v wine >/dev/null; } &&
    [ -f /usr/src/googletest/googletest/CMakeLists.txt ] &&
    command -v cmake >/dev/null && command -v Xvfb >/dev/null && command -v xdotool >/dev/null &&
    command -v convert >/dev/null && command -v zip >/dev/null && command -v unzip >/dev/null &&
    command -v openssl >/dev/null &&
    command -v cc >/dev/null && [ -f /usr/include/X11/Xlib.h ] # the close request's sender
}
cannot_run() {
  echo "test-windows: FAILED: the Windows build cannot be tested here: $1" \
    "(ORVANTIS_LEAVE_OUT=windows leaves it out of scripts/test.sh on purpose)" >&2
  exit 1
}

if ! have_tools; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null && sudo -n true 2>/dev/null || cannot_run "MinGW-w64 or Wine missing and no root to install them"
    sudo="sudo -n"
  fi
  command -v apt-get >/dev/null || cannot_run "MinGW-w64 or Wine missing and no apt-get"
  echo "Installing: ${packages[*]}"
  { $sudo apt-get update -q &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q \
      --no-install-recommends "${packages[@]}"; } || cannot_run "could not install ${packages[*]}"
  have_tools || cannot_run "MinGW-w64 or Wine still missing after the install"
fi

t=$SECONDS
scripts/build-windows.sh "$build" >/dev/null # its failures, on standard error, end this script
echo "Windows build: $((SECONDS - t)) s"
scripts/package-windows.sh "$build" >/dev/null # tested by tests/win/e2e/package.sh
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2

# A fresh Wine prefix of our own, quiet, without the Mono and Gecko installs.
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# A server left over from an earlier run of this prefix goes first.
if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1 || true; fi
rm -rf "$WINEPREFIX" "$build/display"
mkdir -p "$WINEPREFIX"

# A private X server for the windows of the end-to-end tests.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$build/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$build/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$build/display")
unset WAYLAND_DISPLAY

# Wine starts helper processes (services, device manager) with the first
# program and keeps them while its server lives. Started under a persistent
# server by a first run whose output goes nowhere, they hold no pipe of CTest's
# (else CTest would wait for them after every test).
wineserver -p >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true; kill $xvfb 2>/dev/null || true' EXIT
if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; elif command -v wine64 >/dev/null; then wine=wine64; else wine=wine; fi
export WINE=$wine
t=$SECONDS
timeout 120 "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
# Without a window manager, Wine keeps a program that had a window alive for
# 2 s after its end unless it draws its windows' frames itself (Managed=N).
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
echo "Wine prefix: $((SECONDS - t)) s"
timeout 60 "$wine" "$build/tests/unit_tests.exe" --gtest_list_tests </dev/null >/dev/null 2>&1 || true

# The Linux bridge of the mixed pool test (tests/win/e2e/mixed_pool.sh), when
# the Linux build has one.
if [ -x "$root/build/orvantis_bridge" ]; then export LINUX_BRIDGE=$root/build/orvantis_bridge; fi
# The Linux frames that PNG frames on Windows must equal (tests/win/e2e/png_frames.sh).
if [ -x "$root/build/tests/frame_dump" ]; then export LINUX_FRAME_DUMP=$root/build/tests/frame_dump; fi

cd "$build"
ctest --output-on-failure --timeout 120 -j"$jobs"
