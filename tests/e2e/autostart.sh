#!/usr/bin/env bash
# Start at log-on: the player's user unit (this build's program) under a `systemd --user` of
# our own, in a mount namespace whose /run/systemd/system lets it run: it starts the player in
# the instance's folder, restarts it after a SIGKILL, not after ESC ESC. The menu entry has Path=.
. "$(dirname "$0")/lib.sh"
SOURCE=$(cd "$(dirname "$0")/../.." && pwd)
needs namespaces "needs unshare --mount" unshare --mount true
command -v desktop-file-validate >/dev/null || fail "needs desktop-file-validate (Debian: desktop-file-utils)"
desktop-file-validate "$SOURCE/packaging/orvantis.desktop" && grep -qx 'Path=/srv/orvantis/work' "$SOURCE/packaging/orvantis.desktop" ||
  fail "packaging/orvantis.desktop: not valid, or without Path=/srv/orvantis/work"
setup
make_frames S001 3 0=$RED
units=$XDG_RUNTIME_DIR/systemd/user
mkdir -p "$units/orvantis@.service.d"
sed "s|@ORVANTIS_BINDIR@|$(dirname "$PROGRAM")|" "$SOURCE/packaging/orvantis@.service.in" >"$units/orvantis@.service"
printf '[Service]\nStandardOutput=append:%s\nStandardError=append:%s\n' "$OUT" "$ERR" >"$units/orvantis@.service.d/console.conf"
unshare --mount sh -c 'mount -t tmpfs tmpfs /run/systemd && mkdir /run/systemd/system && exec systemd --user' 2>"$TMP/manager.txt" &
PLAYER_PID=$! # the manager, ended at the end with its units
needs usermanager "systemd --user did not start: $(cat "$TMP/manager.txt")" poll test -S "$XDG_RUNTIME_DIR/systemd/private"
ctl() { systemctl --user "$@"; }
ctl set-environment DISPLAY="$DISPLAY" ASAN_OPTIONS="$ASAN_OPTIONS" QT_QPA_PLATFORM=xcb
unit=$(systemd-escape --path --template=orvantis@.service "$TMP/work")
ctl start "$unit" || fail "systemctl --user start $unit"
wait_for_player
shows "started by its unit" "$RED"
kill -KILL "$(ctl show -p MainPID --value "$unit")"
wait_for_text "$READY_TEXT" 2
take_window # not "new": the X server may reuse a departed client's window id
shows "started again after SIGKILL" "$RED"
key Escape Escape
ended() { [ "$(ctl is-active "$unit")" = inactive ]; }
poll ended && sleep 3 && ended && [ "$(count_of "$READY_TEXT")" = 2 ] || fail "ESC ESC should leave the unit ended: $(ctl status "$unit")"
