#!/usr/bin/env bash
# Cross-builds the program for Windows with its unit tests using MinGW-w64 (for
# now without the image library: platform/none/ stands in for it), and runs
# the tests under Wine.
#
#   scripts/test-windows.sh [build-folder]     (default: build-windows)
#
# Installs the toolchain, Wine and the GoogleTest sources with apt-get when
# they are missing; when that is not possible it says "skipped: ..." and
# exits 0, so that scripts/test.sh can always call it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-windows}
case $build in /*) ;; *) build=$root/$build ;; esac

packages=(cmake g++-mingw-w64-x86-64-posix wine wine64 googletest)
have_tools() {
  command -v x86_64-w64-mingw32-g++-posix >/dev/null &&
    command -v wineserver >/dev/null &&
    { [ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null || command -v wine >/dev/null; } &&
    [ -f /usr/src/googletest/googletest/CMakeLists.txt ] &&
    command -v cmake >/dev/null
}
skip() {
  echo "skipped: Windows build not tested ($1)"
  exit 0
}

if ! have_tools; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null && sudo -n true 2>/dev/null || skip "MinGW-w64 or Wine missing and no root to install them"
    sudo="sudo -n"
  fi
  command -v apt-get >/dev/null || skip "MinGW-w64 or Wine missing and no apt-get"
  echo "Installing: ${packages[*]}"
  { $sudo apt-get update -q &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q \
      --no-install-recommends "${packages[@]}"; } || skip "could not install ${packages[*]}"
  have_tools || skip "MinGW-w64 or Wine still missing after the install"
fi

jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2 # the machine is shared: two compilers at most

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DORVANTIS_MEDIA=OFF >/dev/null
cmake --build "$build" -j"$jobs"

# A fresh Wine prefix of our own, quiet, without the Mono and Gecko installs.
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY # the tests open no window; Wine needs none
# A server left over from an earlier run of this prefix goes first.
if [ -d "$WINEPREFIX" ]; then wineserver -k >/dev/null 2>&1 || true; fi
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"

# Wine starts helper processes (services, device manager) with the first
# program and keeps them while its server lives. Started under a persistent
# server by a first run whose output goes nowhere, they hold no pipe of CTest's
# (else CTest would wait for them after every test).
wineserver -p >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; elif command -v wine64 >/dev/null; then wine=wine64; else wine=wine; fi
timeout 120 "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
timeout 60 "$wine" "$build/unit_tests.exe" --gtest_list_tests </dev/null >/dev/null 2>&1 || true

cd "$build"
ctest --output-on-failure --timeout 120 -j"$jobs"
