#!/usr/bin/env bash
# One run in a real window, as a user would: start-up showing frame 0 with its
# mark, frame keys, mirror, replay, folder keys, the camera key on a machine
# without a webcam, the shared threshold file, the pause, and ESC twice.
. "$(dirname "$0")/lib.sh"
setup
make_frames S001 21 0=$RED 1=$GREEN 2=$BLUE 11=$YELLOW 20=$MAGENTA
make_frames S002 3 0=$CYAN
turn_by_exif "$TMP/S002/clip_00000.jpg"
printf 30 >"$TMP/work/ZEP_THRESHOLD.dat"

start_player
wait_for_player
shows "start-up" "$RED"
# Frame 0 of 21: the mark sits at the left end of the bottom edge.
mark=$(colour_at $((X + 2)) $((Y + HEIGHT - 2)))
near "$mark" 200,255,200 60 || near "$mark" 0,255,0 60 || fail "no green mark at the bottom left, got $mark"

key x
shows "x" "$GREEN"
key X
shows "X: frame 11" "$YELLOW"
key exclam # a tenth of 21 frames: frame 2
shows "Shift+1: frame 2" "$BLUE"
key e
shows "e: mirrored" "$PALE" "$BLUE"
key Tab # automatic replay runs to the last frame and stops there
shows "replay" "$PALE" "$MAGENTA"
key Tab

# Folder keys make the window anew; the mirror stays. S002's first frame asks
# for a quarter turn, and is shown as stored.
changes_folders

# No webcam: q switches the camera on, the first grab fails and switches it
# off again, and the player goes on.
key q
wait_for_text "cvQueryFrame() failed in ZEP_Capture()."
# Switching takes a key wait of its own: the next key waits for the OFF
# banner (its last line, shown once before by the help screen).
wait_for_text "  OOO   O   O  O     O  OOOO  O   O  O   O           OOOO    O      O     " 2
key x
shows "x after the camera" "$PALE" "$GREEN"

# The threshold file: 30 - 48 stops at 0, then 0 + 48; V adds to a negative
# value as it finds it.
holds() { [ "$(cat "$TMP/work/ZEP_THRESHOLD.dat")" = "$1" ]; }
key v
poll holds 0 || fail "v should write 0, the file holds $(cat "$TMP/work/ZEP_THRESHOLD.dat")"
key V
poll holds 48 || fail "V should write 48, the file holds $(cat "$TMP/work/ZEP_THRESHOLD.dat")"
printf -- -500 >"$TMP/work/ZEP_THRESHOLD.dat"
key V
poll holds -452 || fail "V should write -452, the file holds $(cat "$TMP/work/ZEP_THRESHOLD.dat")"

# The pause shows the key screen; Enter brings the frame back.
key Escape
[ -z "$KEY_SCREEN" ] || poll eval '! looks "$PALE" "$GREEN"' || fail "the pause should show the key screen"
key Return
shows "Enter after ESC" "$PALE" "$GREEN"
quit

head -n 9 "$OUT" | grep -qF "//           O    R    V    A    N    T    I    S          //" || fail "no start-up banner"
grep -qxF "[0]$PROGRAM" "$OUT" || fail "argument echo missing"
tail -n 9 "$OUT" | grep -qF " OOOOO   OOO    OOO        O     OOO    OOO O     O " || fail "no farewell banner"
expected="SET: flip_mode = [ LEFT-RIGHT REVERSE ]
SET: AutoReplayFlag = [ ON ]
SET: AutoReplayFlag = [ OFF ]
* Changed Contents Folder to [ S002 ]
* Changed Contents Folder to [ S001 ]
SET: ZEP_threshold = [ 0 ]
SET: ZEP_threshold = [ 48 ]
SET: ZEP_threshold = [ -452 ]"
got=$(grep -E '^(SET: |\* Changed)' "$OUT" || true)
[ "$got" = "$expected" ] || fail "key transcript differs:
$got"
[ "$(count_of "NOW, TURNING ON THE CAMERA DEVICE")" = 1 ] || fail "the camera was switched on more than once"
[ ! -s "$ERR" ] || fail "unexpected errors"
echo "window_keys: ok"
