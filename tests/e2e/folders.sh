#!/usr/bin/env bash
# The contents folders in a real run: Space lists them (S005 only by probing
# its frames, leaving a marker) and switches to one at random in a new
# window; the next press lists again and finds S005's marker.
. "$(dirname "$0")/lib.sh"
setup
make_frames S001 1 0=$RED
make_frames S003 2 0=$CYAN
# S005 starts at frame 5, five in a row so that the probe's gaps cannot step over them.
make_frames S005 10 5=$MAGENTA
rm "$TMP"/S005/clip_0000[0-4].jpg

shows_pick() { # the new window shows the first frame of the folder Space switched to
  take_window new
  case $(grep -oE 'Changed Contents Folder to \[ S00[0-9] \]' "$OUT" | tail -n1) in
  *S001*) shows "Space: S001" "$RED" ;;
  *S003*) shows "Space: S003" "$CYAN" ;;
  *S005*) shows "Space: S005" "$MAGENTA" ;;
  *) fail "switched to an unlisted folder" ;;
  esac
}

start_player
wait_for_player
key space
wait_for_text "That's all."
grep -qxE "FOUND: clip_0000[5-9]\.jpg" "$TMP/S005/check_result.txt" || fail "no marker file in S005"
shows_pick

key space
wait_for_text "That's all." 2
grep -qxF "[S  5] FILE [ ../S005/check_result.txt ] exists!" "$OUT" || fail "S005 not found by its marker"
[ "$(count_of "*** Created a file")" = 1 ] || fail "a marker was written twice"
shows_pick
quit
[ ! -s "$ERR" ] || fail "unexpected errors"
echo "folders: ok"
