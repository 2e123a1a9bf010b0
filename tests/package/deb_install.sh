#!/usr/bin/env bash
# The Debian package as a user gets it: built by scripts/package-deb.sh,
# unpacked with dpkg-deb into a root of its own, and run from a fresh working
# folder without a key-allocation screen. Frame 0 shows, ESC shows the screen
# installed with the program, a second ESC ends with status 0.
PROGRAM=unpacked # set once the package is unpacked
. "$(dirname "$0")/../e2e/lib.sh"
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)

deb=$("$SOURCE/scripts/package-deb.sh" | tail -n1) || fail "scripts/package-deb.sh failed"
[[ $deb =~ build-deb/orvantis_[0-9.]+_amd64\.deb$ ]] || fail "unexpected package name: $deb"
depends=$(dpkg-deb -f "$SOURCE/$deb" Depends)
for needed in ffmpeg libopencv-highgui libturbojpeg0 libqt5core5a; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

ROOT=$TMP/root
dpkg-deb -x "$SOURCE/$deb" "$ROOT"
PROGRAM=$ROOT/usr/bin/orvantis SCREEN=$ROOT/usr/share/orvantis/keyallocation_01.jpg
unit=/usr/lib/systemd/user/orvantis-bridge.service
for file in "$PROGRAM" "$ROOT/usr/bin/orvantis_bridge" "$SCREEN" "$ROOT$unit" "$ROOT"/usr/share/doc/orvantis/{README.md,copyright,changelog.gz} \
  "$ROOT"/usr/share/orvantis/web/{index.html,pool.js,mqtt.min.js,mqtt.LICENSE.md}; do
  [ -s "$file" ] || fail "the package lacks ${file#"$ROOT"}"
done
for page in orvantis orvantis_bridge; do
  manual=$(zcat "$ROOT/usr/share/man/man1/$page.1.gz" | groff -ww -man -Tutf8 -z 2>&1) || fail "groff failed on $page.1"
  [ -z "$manual" ] || fail "the manual page $page.1: $manual"
done

# The bridge's user unit, checked by systemd with the package in place: /usr
# seen through an overlay of the unpacked package in a mount namespace of its
# own (verify finds the program and the manual page the unit names).
if left_out namespaces; then
  echo "deb_install: the unit not verified (namespaces left out on purpose)"
else
  command -v systemd-analyze >/dev/null || fail "needs systemd-analyze (Debian: systemd)"
  needs namespaces "needs unshare --mount" unshare --mount true
  verify=$(unshare --mount sh -c "mount -t overlay overlay -o lowerdir=$ROOT/usr:/usr /usr &&
    systemd-analyze --user verify $unit" 2>&1) || fail "systemd-analyze verify: $verify"
  [ -z "$verify" ] || fail "systemd-analyze verify: $verify"
fi

setup
make_frames S001 3 0=$RED
start_player
wait_for_player
shows "frame 0" "$RED"
key Escape # the working folder has no key screen: the installed one replaces the frame
poll eval '! looks "$RED" "$PALE"' || fail "ESC should show the installed key screen"
key Escape
wait_exit 0 "the second ESC"
