#!/usr/bin/env bash
# Makes the Windows release archive, build-windows/ORVANTIS-<version>-win64.zip:
#
#   ORVANTIS_120/README.txt                      where ffmpeg.exe goes, how to start
#   ORVANTIS_120/ApplicationData/ORVANTIS.exe    stripped, static, no DLLs beside it
#   ORVANTIS_120/ApplicationData/keyallocation_01.jpg
#   ORVANTIS_120/licenses/...                    what ORVANTIS.exe links statically
#
# The contents folders S001, S002, ... go into ORVANTIS_120, beside
# ApplicationData, the program's working folder. ORVANTIS.exe comes from
# scripts/build-windows.sh (built when missing), the key screen from the Linux
# build's drawer (build/keyallocation_01.jpg, else drawn in build-keyscreen/),
# the licence notices from the library prefix of scripts/build-windows-deps.sh.
#
#   scripts/package-windows.sh [build-folder]     (default: build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-windows}
case $build in /*) ;; *) build=$root/$build ;; esac
version=$(sed -n 's/^set(ORVANTIS_VERSION \([0-9.]*\))$/\1/p' cmake/install.cmake)
[ -n "$version" ] || { echo "package-windows: no version in cmake/install.cmake" >&2; exit 1; }

prefixes=$(scripts/build-windows-deps.sh)
prefix=$(tail -n1 <<<"$prefixes")
png_prefix=$(tail -n2 <<<"$prefixes" | head -n1)
case $prefix in /*) ;; *) echo "package-windows: no Windows libraries ($prefix)" >&2; exit 1 ;; esac
[ -f "$build/ORVANTIS.exe" ] || scripts/build-windows.sh "$build" >/dev/null
key_screen=$root/build/keyallocation_01.jpg
if [ ! -f "$key_screen" ]; then
  cmake -S "$root" -B "$root/build-keyscreen" -DORVANTIS_TESTS=OFF >/dev/null
  nice cmake --build "$root/build-keyscreen" -j2 --target key_screen >/dev/null
  key_screen=$root/build-keyscreen/keyallocation_01.jpg
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/ORVANTIS_120
mkdir -p "$top/ApplicationData" "$top/licenses"
x86_64-w64-mingw32-strip -o "$top/ApplicationData/ORVANTIS.exe" "$build/ORVANTIS.exe"
cp "$key_screen" "$top/ApplicationData/keyallocation_01.jpg"
for lib in opencv opencv4 libjpeg-turbo zlib mingw-w64-runtime libpng; do
  for p in "$prefix" "$png_prefix"; do
    [ -d "$p/share/licenses/$lib" ] && cp -r "$p/share/licenses/$lib" "$top/licenses/"
  done
done
for lib in opencv libjpeg-turbo libpng zlib mingw-w64-runtime; do
  [ -d "$top/licenses/$lib" ] || { echo "package-windows: no licence notice of $lib in $prefix or $png_prefix" >&2; exit 1; }
done
# UTF-8 with a byte-order mark and CRLF line ends, as Notepad reads it.
{ printf '\xef\xbb\xbf'
  sed 's/$/\r/' <<TEXT
ORVANTIS $version for 64-bit Windows (Windows 10 or later: Windows 10, Windows 11)

ffmpeg.exe is not included, and ORVANTIS.exe does not start without it:
download ffmpeg for Windows and copy ffmpeg.exe (from the bin folder of its
archive) into the folder ApplicationData, beside ORVANTIS.exe.

Put the contents folders S001, S002, ... into this folder, beside
ApplicationData, and start ApplicationData\\ORVANTIS.exe (a double click starts
it there; from a command prompt, cd into ApplicationData first).

The folder licenses holds the licence notices of the libraries built into
ORVANTIS.exe: OpenCV, libjpeg-turbo, libpng, zlib and the MinGW-w64 runtime
(with GCC's runtime library).

ffmpeg.exe は同梱されていません。ffmpeg.exe がないと ORVANTIS.exe は起動しません。
Windows 用の ffmpeg をダウンロードし、その bin フォルダにある ffmpeg.exe を
フォルダ ApplicationData の中（ORVANTIS.exe と同じ場所）にコピーしてください。
コンテンツフォルダ S001, S002, ... はこのフォルダ（ApplicationData と同じ場所）に置きます。
動作環境: 64 ビット版 Windows 10 以降（Windows 10, Windows 11）。
TEXT
} >"$top/README.txt"

zip_file=$build/ORVANTIS-$version-win64.zip
rm -f "$zip_file"
(cd "$stage" && find ORVANTIS_120 -exec touch -d "@${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}" {} + &&
  find ORVANTIS_120 -type f | LC_ALL=C sort | zip -q -X -9 "$zip_file" -@)
echo "$zip_file"
