#!/usr/bin/env bash
# Makes the Windows release archive, build-windows/ORVANTIS-<version>-win64.zip:
#
#   ORVANTIS_120/README.txt                      where ffmpeg.exe goes, how to start
#   ORVANTIS_120/install-autostart.cmd           start at log-on (packaging/windows/),
#   ORVANTIS_120/remove-autostart.cmd            and no longer
#   ORVANTIS_120/ApplicationData/ORVANTIS.exe    stripped, static, no DLLs beside it
#   ORVANTIS_120/ApplicationData/orvantis_bridge.exe   the same, when it was built
#   ORVANTIS_120/ApplicationData/keyallocation_01.jpg
#   ORVANTIS_120/licenses/...                    what the two programs link statically
#
# The contents folders S001, S002, ... go into ORVANTIS_120, beside
# ApplicationData, the program's working folder. ORVANTIS.exe comes from
# scripts/build-windows.sh (built when missing), the key screen from the Linux
# build's drawer (build/keyallocation_01.jpg, else drawn in build-keyscreen/),
# the licence notices from the library prefixes of scripts/build-windows-deps.sh
# and, with the bridge, scripts/build-windows-bridge-deps.sh.
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

bridge=""
if [ -f "$build/orvantis_bridge.exe" ]; then
  bridge_prefixes=$(scripts/build-windows-bridge-deps.sh | tail -n2)
  [[ $bridge_prefixes == /*/* ]] || { echo "package-windows: no bridge libraries ($bridge_prefixes)" >&2; exit 1; }
  bridge=$build/orvantis_bridge.exe
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/ORVANTIS_120
mkdir -p "$top/ApplicationData" "$top/licenses"
x86_64-w64-mingw32-strip -o "$top/ApplicationData/ORVANTIS.exe" "$build/ORVANTIS.exe"
cp "$key_screen" "$top/ApplicationData/keyallocation_01.jpg"
for script in install-autostart remove-autostart; do sed 's/$/\r/' "packaging/windows/$script.cmd" >"$top/$script.cmd"; done
for lib in opencv opencv4 libjpeg-turbo zlib mingw-w64-runtime libpng; do
  for p in "$prefix" "$png_prefix"; do
    [ -d "$p/share/licenses/$lib" ] && cp -r "$p/share/licenses/$lib" "$top/licenses/"
  done
done
needed=(opencv libjpeg-turbo libpng zlib mingw-w64-runtime)
if [ -n "$bridge" ]; then
  x86_64-w64-mingw32-strip -o "$top/ApplicationData/orvantis_bridge.exe" "$bridge"
  while read -r p; do cp -r "$p/share/licenses/." "$top/licenses/"; done <<<"$bridge_prefixes"
  needed+=(openssl mosquitto)
fi
for lib in "${needed[@]}"; do
  [ -d "$top/licenses/$lib" ] || { echo "package-windows: no licence notice of $lib in $prefix, $png_prefix or the bridge's libraries" >&2; exit 1; }
done
bridge_text="" bridge_licences=""
if [ -n "$bridge" ]; then
  bridge_licences=$', and into orvantis_bridge.exe: the client library\nof mosquitto (EPL-2.0 or EDL-1.0) and OpenSSL (Apache License 2.0)'
  bridge_text=$(cat <<'BRIDGE'

Several computers: ApplicationData\orvantis_bridge.exe joins the motion of the
copies on this computer to that of other computers through an MQTT broker
(for example Mosquitto). Run one on each computer, as the user who runs
ORVANTIS.exe and in that user's session; Ctrl-C or closing its window stops
it cleanly. Its options:

  orvantis_bridge.exe --broker HOST[:PORT] --site NAME [--pool NAME]
      [--keepalive SECONDS] [--rate HZ] [--tls-ca FILE]
      [--username NAME] [--password-file FILE]

The password is never given on the command line: put it alone on the first
line of a file that only this user can read, for example
C:\ORVANTIS_120\broker-password.txt, and name that file with --password-file.

To start it at every log-on of this user, run once in a command prompt opened
with "Run as administrator" (one line; /IT runs it in the user's own session,
where ORVANTIS.exe shares its motion):

  schtasks /Create /TN "ORVANTIS bridge" /SC ONLOGON /RU "%USERDOMAIN%\%USERNAME%" /IT /TR "\"C:\ORVANTIS_120\ApplicationData\orvantis_bridge.exe\" --broker broker.local --site hall-left --username hall-left --password-file \"C:\ORVANTIS_120\broker-password.txt\""

(with this folder's real place instead of C:\ORVANTIS_120). Remove it with
  schtasks /Delete /TN "ORVANTIS bridge" /F
BRIDGE
)
  bridge_text+=$'\n'
fi
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

To start ORVANTIS.exe at every log-on of this user and again after it fails,
double-click install-autostart.cmd (or run it with the installation folder as
its argument): it registers the Task Scheduler task "ORVANTIS <folder>" from
the definition it writes as autostart-task.xml (the log-on, the working folder
ApplicationData, a restart one minute after a failed run, up to 999 times).
remove-autostart.cmd removes it. Several copies of this folder (ORVANTIS_120,
ORVANTIS_120b, ...) are several tasks; the folder's path must not hold the
characters & < > % ^.

The folder licenses holds the licence notices of the libraries built into
ORVANTIS.exe: OpenCV, libjpeg-turbo, libpng, zlib and the MinGW-w64 runtime
(with GCC's runtime library)${bridge_licences}.
${bridge_text}
ffmpeg.exe は同梱されていません。ffmpeg.exe がないと ORVANTIS.exe は起動しません。
Windows 用の ffmpeg をダウンロードし、その bin フォルダにある ffmpeg.exe を
フォルダ ApplicationData の中（ORVANTIS.exe と同じ場所）にコピーしてください。
コンテンツフォルダ S001, S002, ... はこのフォルダ（ApplicationData と同じ場所）に置きます。
ログオン時に自動で起動するには install-autostart.cmd を実行します（解除は remove-autostart.cmd）。
動作環境: 64 ビット版 Windows 10 以降（Windows 10, Windows 11）。
TEXT
} >"$top/README.txt"

zip_file=$build/ORVANTIS-$version-win64.zip
rm -f "$zip_file"
(cd "$stage" && find ORVANTIS_120 -exec touch -d "@${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}" {} + &&
  find ORVANTIS_120 -type f | LC_ALL=C sort | zip -q -X -9 "$zip_file" -@)
echo "$zip_file"
