#!/usr/bin/env bash
# Space in a real window: the listing with its probe and marker file, the
# random switch to a listed folder, the second listing that finds the folder
# by its marker, and a third press that reuses the list.
. "$(dirname "$0")/lib.sh"
start_x
make_installation
make_frames S001 4 'rgb(220,30,30)'
make_frames S003 4 'rgb(30,30,220)'
# S005 starts at frame 5: only the probe finds it (five in a row, so that
# gaps of at most five cannot step over them).
make_frames S005 10 'rgb(30,200,30)'
rm -f "$TMP"/S005/clip_0000[0-4].jpg

count() { grep -cF -- "$1" "$TMP/out.txt" || true; }
wait_count() { # wait_count TEXT N
  for _ in $(seq 150); do
    [ "$(count "$1")" -ge "$2" ] && return 0
    sleep 0.1
  done
  fail "expected '$1' $2 times"
}
# The colour the current folder's first frame must show.
check_shown_folder() {
  local folder colour
  folder=$(grep -oE 'Changed Contents Folder to \[ S00[0-9] \]' "$TMP/out.txt" | tail -n1 | grep -oE 'S00[0-9]')
  case $folder in
  S001) colour="220,30,30" ;;
  S003) colour="30,30,220" ;;
  S005) colour="30,200,30" ;;
  *) fail "switched to an unlisted folder '$folder'" ;;
  esac
  sleep 1
  # The switch made the window anew: find it again and give it the keys.
  win=$(window_id)
  read -r wx wy < <(window_origin "$win")
  read -r ww wh < <(window_size "$win")
  focus "$win"
  local got
  got=$(pixel $((wx + ww / 2)) $((wy + wh / 2)))
  near "$got" "$colour" || fail "$folder should show $colour, got $got"
}

start_player
wait_for_player
focus "$win"

key space
wait_count "That's all." 1
grep -qF "*** Following is the list of contents with associated file: " "$TMP/out.txt" || fail "no listing header"
grep -qxF "[S  1] FILE [ ../S001/clip_00000.jpg ] exists!" "$TMP/out.txt" || fail "S001 not listed"
grep -A1 -xF "[S  1] FILE [ ../S001/clip_00000.jpg ] exists!" "$TMP/out.txt" |
  grep -qxF "       <<< You Are Here Now >>>" || fail "the viewer's place is not shown after S001"
grep -qxF "[S  3] FILE [ ../S003/clip_00000.jpg ] exists!" "$TMP/out.txt" || fail "S003 not listed"
grep -qE '^\[S  5\] FILE \[ \.\./S005/clip_0000[5-9]\.jpg \] exists!$' "$TMP/out.txt" || fail "S005 not probed"
grep -qxF "*** Created a file[ ../S005/check_result.txt ] ***" "$TMP/out.txt" || fail "no marker line"
grep -qxE "FOUND: clip_0000[5-9]\.jpg" "$TMP/S005/check_result.txt" || fail "marker content wrong"
grep -qF "<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>" "$TMP/out.txt" || fail "no selection banner"
check_shown_folder

# The probe was needed, so the second press lists again and finds S005 by its marker.
key space
wait_count "That's all." 2
[ "$(count "*** Following is the list")" = 2 ] || fail "the second press did not list again"
grep -qxF "[S  5] FILE [ ../S005/check_result.txt ] exists!" "$TMP/out.txt" || fail "S005 not found by its marker"
[ "$(count "*** Created a file")" = 1 ] || fail "a marker was written twice"
check_shown_folder

# Now the list is reused: no third listing.
key space
wait_count "That's all." 3
[ "$(count "*** Following is the list")" = 2 ] || fail "the third press listed again"
[ "$(count "<<<<<<<< RANDOM CONTENTS SELECTION >>>>>>>>")" = 3 ] || fail "no third selection"
check_shown_folder

key Escape Escape
wait_exit
[ "$STATUS" = 0 ] || fail "exit status $STATUS"
[ ! -s "$TMP/err.txt" ] || fail "unexpected errors"
echo "space_listing: ok"
