#!/usr/bin/env bash
# Cross-builds the whole program for 64-bit Windows with MinGW-w64:
# build-windows/ORVANTIS.exe, static and self-contained (OpenCV's Win32 window,
# libjpeg-turbo decoding, the DirectShow camera), with the unit tests and
# their helper programs when GoogleTest's sources are installed.
#
#   scripts/build-windows.sh [build-folder]     (default: build-windows)
#
# The libraries come from scripts/build-windows-deps.sh, and those of the
# bridge, build-windows/orvantis_bridge.exe, from
# scripts/build-windows-bridge-deps.sh (each built once, cached). When either
# cannot be had it fails, saying why. The last line of a successful run is the
# path of ORVANTIS.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-windows}
case $build in /*) ;; *) build=$root/$build ;; esac

prefixes=$(scripts/build-windows-deps.sh)
prefix=$(tail -n1 <<<"$prefixes")        # OpenCV and libjpeg-turbo
png_prefix=$(tail -n2 <<<"$prefixes" | head -n1) # libpng
case $prefix in
  /*) ;;
  *) echo "build-windows: no library prefix from scripts/build-windows-deps.sh" >&2; exit 1 ;;
esac

bridge_prefixes=$(scripts/build-windows-bridge-deps.sh | tail -n2)
openssl=$(head -n1 <<<"$bridge_prefixes") mosquitto=$(tail -n1 <<<"$bridge_prefixes")
case $mosquitto in
  /*) ;;
  *) echo "build-windows: no library prefixes from scripts/build-windows-bridge-deps.sh" >&2; exit 1 ;;
esac

tests=OFF
[ -f /usr/src/googletest/googletest/CMakeLists.txt ] && tests=ON
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt 2 ] && jobs=2 # the machine is shared: two compilers at most

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DORVANTIS_MEDIA=ON -DORVANTIS_TESTS=$tests \
  -DOpenCV_DIR="$prefix/lib/cmake/opencv4" -Dlibjpeg-turbo_DIR="$prefix/lib/cmake/libjpeg-turbo" \
  -DORVANTIS_PNG_PREFIX="$png_prefix" \
  -DORVANTIS_OPENSSL_PREFIX="$openssl" -DORVANTIS_MOSQUITTO_PREFIX="$mosquitto" >/dev/null
nice cmake --build "$build" -j"$jobs"

# Only Windows system DLLs may be imported: nothing is shipped beside the exe.
exe=$build/ORVANTIS.exe
system_dlls=" kernel32.dll user32.dll gdi32.dll comdlg32.dll comctl32.dll msvcrt.dll ole32.dll oleaut32.dll "
system_dlls+="advapi32.dll setupapi.dll ws2_32.dll shell32.dll shlwapi.dll crypt32.dll bcrypt.dll "
for program in "$exe" "$build/orvantis_bridge.exe"; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u); do
    [[ $system_dlls == *" $dll "* ]] || { echo "build-windows: $(basename "$program") needs $dll" >&2; exit 1; }
  done
done
echo "$exe"
