#!/usr/bin/env bash
# The release archive of scripts/package-windows.sh as a user unpacks it, with ffmpeg.exe
# added and a contents folder beside it: ORVANTIS.exe shows the frame (a PNG under its .jpg
# name, then a JPEG), the pause the packed key screen; its log-on task's definition is
# written. Fails when no archive was made.
. "$(dirname "$0")/lib.sh"
archive=$(ls "$(dirname "$PROGRAM")"/ORVANTIS-*-win64.zip 2>/dev/null | tail -n1 || true)
[ -n "$archive" ] || fail "no release archive beside $PROGRAM (scripts/package-windows.sh makes it)"
unzip -q "$archive" -d "$TMP/unpacked"
packed=$TMP/unpacked/ORVANTIS_120
# The packed bridge starts: all it links is built in.
[ -z "${BRIDGE:-}" ] || wine_run 60 "$WINE" "$packed/ApplicationData/orvantis_bridge.exe" --help </dev/null |
  grep -q "^usage: orvantis_bridge" || fail "the packed orvantis_bridge.exe does not start"

# install-autostart.cmd writes the log-on task's definition, well-formed, with the folder, and
# says whether Task Scheduler took it: Wine's service takes it or refuses, as it has started or not.
# Wine's loader now and then fails to start cmd itself ("ShellExecuteEx failed"): then once more.
autostart() { (cd "$packed" && wine_run 60 "$WINE" cmd /c install-autostart.cmd) >"$OUT" 2>&1; }
said="Task Scheduler did not take"
{ autostart || { grep -q "ShellExecuteEx failed" "$OUT" && autostart; }; } && said="ORVANTIS.exe\" at log-on"
grep -qF "$said" "$OUT" && xmllint --noout "$packed/autostart-task.xml" &&
  grep -qF "<WorkingDirectory>Z:$(tr / '\\' <<<"$packed")\\ApplicationData<" "$packed/autostart-task.xml" ||
  fail "install-autostart.cmd: $(cat "$OUT")"

# $TMP stands for ORVANTIS_120: ApplicationData is the working folder.
mv "$packed/ApplicationData" "$TMP/work"
cp "$TESTS_BIN/win_helper.exe" "$TMP/work/ffmpeg.exe"
make_frames S001 3 0=$GREEN 1=$BLUE
convert "$TMP/S001/clip_00000.jpg" "png:$TMP/S001/clip_00000.jpg" # PNG, as some converters write

start_player
wait_for_player
shows "start-up, a PNG frame" "$GREEN"
key x
shows "x, a JPEG frame" "$BLUE"
key Escape
poll eval '! looks "$GREEN" "$PALE"' || fail "the pause should show the key screen"
key Escape
wait_exit 0 "ESC in the pause"
echo "package: ok"
