#!/usr/bin/env bash
# The two Debian packages of scripts/package-deb.sh as a user gets them: installed with
# apt (purged at the end), each with its own files only; the player without a key screen
# in its working folder; the user units, as systemd reads them and as a CMake install
# under /usr/local writes them.
PROGRAM=/usr/bin/orvantis SCREEN=/usr/share/orvantis/keyallocation_01.jpg
. "$(dirname "$0")/../e2e/lib.sh"
SOURCE=$(cd "$(dirname "$0")/../.." && pwd) SUDO=$([ "$(id -u)" = 0 ] || echo sudo)

debs=$("$SOURCE/scripts/package-deb.sh" | tail -n2) || fail "scripts/package-deb.sh failed"
player=$SOURCE/$(head -n1 <<<"$debs") bridge=$SOURCE/$(tail -n1 <<<"$debs")
[[ $(dpkg-deb -f "$bridge" Depends) == *libmosquitto1* ]] || fail "the bridge's Depends lacks libmosquitto1"
for needed in ffmpeg libopencv-highgui libturbojpeg0 libqt5core5a; do
  [[ $(dpkg-deb -f "$player" Depends) == *"$needed"* ]] || fail "the player's Depends lacks $needed"
  [[ $(dpkg-deb -f "$bridge" Depends) != *"$needed"* ]] || fail "the bridge depends on $needed"
done
trap '$SUDO apt-get -y -q purge orvantis orvantis-bridge >/dev/null 2>&1; cleanup' EXIT
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -q install "$player" "$bridge" >"$TMP/apt.txt" 2>&1 ||
  fail "apt-get install: $(tail -n5 "$TMP/apt.txt")"
holds() { for file in "${@:2}"; do [ -s "$file" ] && grep -qxF "$file" <(dpkg -L "$1") || fail "$1 lacks $file"; done; }
holds orvantis "$PROGRAM" "$SCREEN" /usr/bin/orvantis-rehearse "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/orvantis/libvcam.so" \
  /usr/share/man/man1/orvantis.1.gz /usr/share/doc/orvantis/{README.md,copyright,changelog.gz} \
  "${player_unit:=/usr/lib/systemd/user/orvantis@.service}" /usr/share/applications/orvantis.desktop
holds orvantis-bridge /usr/bin/orvantis_bridge "${unit:=/usr/lib/systemd/user/orvantis-bridge.service}" /usr/share/man/man1/orvantis_bridge.1.gz \
  /usr/share/doc/orvantis-bridge/{copyright,changelog.gz} $(cd "$SOURCE/bridge/web" && printf '/usr/share/orvantis-bridge/web/%s ' *)
! dpkg -L orvantis | grep -e bridge -e /web || fail "the player's package holds the bridge's files (above)"
for pair in orvantis:orvantis_bridge orvantis_bridge:orvantis; do
  page=/usr/share/man/man1/${pair%:*}.1.gz
  manual=$(zcat "$page" | groff -ww -man -Tutf8 -z 2>&1) && [ -z "$manual" ] || fail "the manual page $page: $manual"
  zcat "$page" | sed -n '/^\.SH SEE ALSO/,$p' | grep -q "^\.BR ${pair#*:} (1)" || fail "$page does not name ${pair#*:}(1)"
done
version=$(orvantis_bridge --version 2>&1) && [ "$version" = "orvantis_bridge $(dpkg-query -W -f '${Version}' orvantis-bridge)" ] ||
  fail "orvantis_bridge --version: $version"
command -v systemd-analyze >/dev/null || fail "needs systemd-analyze (Debian: systemd)"
verify=$(systemd-analyze --user verify "$unit" "$player_unit" 2>&1) && [ -z "$verify" ] ||
  fail "systemd-analyze verify (it checks the program and the manual page the unit names): $verify"
DESTDIR=$TMP/stage cmake --install "$SOURCE/build-deb" --prefix /usr/local --component bridge >/dev/null
grep -q '^ExecStart=/usr/local/bin/orvantis_bridge ' "$TMP/stage/usr/local/lib/systemd/user/orvantis-bridge.service" &&
  [ -x "$TMP/stage/usr/local/bin/orvantis_bridge" ] || fail "cmake --install under /usr/local: the unit starts another program"

setup
make_frames S001 3 0=$RED
start_player
wait_for_player
shows "frame 0" "$RED"
key Escape # the working folder has no key screen: the installed one replaces the frame
poll eval '! looks "$RED" "$PALE"' || fail "ESC should show the installed key screen"
key Escape
wait_exit 0 "the second ESC"
