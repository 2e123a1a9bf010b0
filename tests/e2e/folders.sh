#!/usr/bin/env bash
# The contents folders in a real run: S001's own settings file starts it at
# frame 2 with wrap on; Space lists the folders (S005 only by probing its
# frames, which leaves a marker file there) and switches to one at random.
. "$(dirname "$0")/lib.sh"
setup
make_frames S001 4 0=$RED 1=$BLUE 2=$GREEN 3=$YELLOW
make_frames S003 2 0=$CYAN
# S005 starts at frame 5, five in a row so that the probe's gaps cannot step over them.
make_frames S005 10 5=$MAGENTA
rm "$TMP"/S005/clip_0000[0-4].jpg
{
  # DiffStep ContentsIndex MaxCount frame_no VR_threshold PlayDirection VR_step
  # TurnCount RestCount KeyFrameMode SteerCounter SteerLimit DISP_WEB_CAM_INFO
  # CamLogMode WrapFlag SteerType KeyFrameIndex, 1280 key frames, then
  # StartFrameNum EndFrameNum MouseReverseFlag MouseVertFlag flip_mode
  echo "4 0 4 2.000000 9600 1 1.000000 5 2 0 0 108000 0 0 1 0 0"
  printf "0\n%.0s" $(seq 1280)
  echo "2 3 0 0 0"
} >"$TMP/work/zep_env0001.dat"

# shows_pick: the folder Space switched to shows its first frame (S001 the
# frame its settings name).
shows_pick() {
  take_window new
  local folder
  folder=$(grep -oE 'Changed Contents Folder to \[ S00[0-9] \]' "$OUT" | tail -n1 | grep -oE 'S00[0-9]')
  case $folder in
  S001) shows "Space: S001" "$GREEN" ;;
  S003) shows "Space: S003" "$CYAN" ;;
  S005) shows "Space: S005" "$MAGENTA" ;;
  *) fail "switched to an unlisted folder '$folder'" ;;
  esac
}

start_player
wait_for_player
shows "the settings' frame 2" "$GREEN"
key x
shows "x" "$YELLOW"
key x
shows "wrap on: one step past the last frame" "$RED"
grep -qxF "Finished Reading ZEP Parameters from File : zep_env0001.dat" "$OUT" || fail "settings file not read"

key space
wait_for_text "That's all."
grep -A1 -xF "[S  1] FILE [ zep_env0001.dat ] exists!" "$OUT" | grep -qxF "       <<< You Are Here Now >>>" ||
  fail "S001 should be listed by its settings file, with the viewer's place"
grep -qE '^\[S  5\] FILE \[ \.\./S005/clip_0000[5-9]\.jpg \] exists!$' "$OUT" || fail "S005 not probed"
grep -qxE "FOUND: clip_0000[5-9]\.jpg" "$TMP/S005/check_result.txt" || fail "no marker file in S005"
shows_pick

# The probe was needed, so the second press lists again and finds S005 by its marker.
key space
wait_for_text "That's all." 2
grep -qxF "[S  5] FILE [ ../S005/check_result.txt ] exists!" "$OUT" || fail "S005 not found by its marker"
[ "$(count_of "*** Created a file")" = 1 ] || fail "a marker was written twice"
shows_pick
quit
[ ! -s "$ERR" ] || fail "unexpected errors"
echo "folders: ok"
