#!/usr/bin/env bash
# Real key presses in a real window: frame steps, a tenth, flip mode,
# automatic replay, folder keys, the shared threshold, ESC twice. Checked by
# the console transcript, screenshots of the window and ZEP_THRESHOLD.dat.
. "$(dirname "$0")/lib.sh"

# Frames whose left half names the frame and whose right half is pale grey,
# so that a mirrored frame is told apart from a plain one.
PALE="240,240,240"
make_split_frames() {
  local folder=$1 count=$2
  shift 2
  mkdir -p "$TMP/$folder"
  for i in $(seq 0 $((count - 1))); do
    local colour=${COLOURS[$i]:-70,70,70}
    convert -size 160x240 "xc:rgb($colour)" -size 160x240 "xc:rgb($PALE)" +append -quality 95 \
      "$TMP/$folder/$(printf 'clip_%05d.jpg' "$i")"
  done
}

# The current window, focused, with its geometry in WX WY WW WH.
take_window() {
  WIN=$(window_id)
  read -r WX WY < <(window_origin "$WIN")
  read -r WW WH < <(window_size "$WIN")
  focus "$WIN"
}

# colour_at X Y: "R,G,B" of a pixel of the last screenshot (read from the
# hex field, which convert prints for every colour, named or not).
colour_at() {
  local hex
  hex=$(convert "$TMP/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- | tail -n1 | grep -oE '#[0-9A-Fa-f]{6}')
  echo "$((16#${hex:1:2})),$((16#${hex:3:2})),$((16#${hex:5:2}))"
}

# shows LEFT RIGHT [what]: waits until the window shows these colours in the
# middle of its left and right halves.
shows() {
  local left right
  for _ in $(seq 40); do
    import -window root "$TMP/shot.png"
    left=$(colour_at $((WX + WW / 4)) $((WY + WH / 2)))
    right=$(colour_at $((WX + 3 * WW / 4)) $((WY + WH / 2)))
    near "$left" "$1" && near "$right" "$2" && return 0
    sleep 0.25
  done
  fail "${3:-the window} should show $1 | $2, shows $left | $right"
}

# count_of TEXT: how many lines of the transcript hold TEXT.
count_of() { grep -cF -- "$1" "$TMP/out.txt" || true; }
wait_for_scans() {
  for _ in $(seq 100); do
    [ "$(count_of '*** Finished. Thank you for waiting! ***')" -ge "$1" ] && return 0
    sleep 0.1
  done
  fail "expected $1 folder scans"
}

RED=220,30,30 GREEN=30,200,30 BLUE=30,30,220 YELLOW=220,220,30 MAGENTA=220,30,220 CYAN=30,220,220
start_x
make_installation
COLOURS=([0]=$RED [1]=$GREEN [2]=$BLUE [11]=$YELLOW [20]=$MAGENTA)
make_split_frames S001 21
COLOURS=([0]=$CYAN)
make_split_frames S002 3
printf 30 >"$TMP/work/ZEP_THRESHOLD.dat"

start_player
wait_for_text "以下のキーを入力してください"
take_window
shows "$RED" "$PALE" "frame 0"
key z
shows "$RED" "$PALE" "z at frame 0"
key x
shows "$GREEN" "$PALE" "x: frame 1"
key X
shows "$YELLOW" "$PALE" "X: frame 11"
key exclam # a tenth of 21 frames: frame 2
shows "$BLUE" "$PALE" "Shift+1: frame 2"
key e
shows "$PALE" "$BLUE" "e: frame 2 mirrored"

# Automatic replay runs to the last frame and stops there (no wrap).
key Tab
sleep 1
shows "$PALE" "$MAGENTA" "replay: the last frame"
key Tab
sleep 0.5
shows "$PALE" "$MAGENTA" "replay off"

# Folder keys re-create the window: take it again after each.
key 2
wait_for_scans 2
take_window
shows "$PALE" "$CYAN" "2: S002 frame 0, still mirrored"
key n # S003 is missing: back to S002
wait_for_scans 3
take_window
shows "$PALE" "$CYAN" "n: S002 again"
key p
wait_for_scans 4
take_window
shows "$PALE" "$RED" "p: S001 frame 0"

# The threshold: 30 - 48 stops at 0, then 0 + 48.
key i v
wait_for_text "SET: ZEP_threshold = [ 0 ]"
[ "$(cat "$TMP/work/ZEP_THRESHOLD.dat")" = 0 ] || fail "v should write 0"
key V
wait_for_text "SET: ZEP_threshold = [ 48 ]"
[ "$(cat "$TMP/work/ZEP_THRESHOLD.dat")" = 48 ] || fail "V should write 48, file holds: $(cat "$TMP/work/ZEP_THRESHOLD.dat")"

key Escape
wait_for_text " O      O   O   OOO   OOOO   OOOOO  O "
key Escape
wait_exit
[ "$STATUS" = 0 ] || fail "exit status $STATUS"

expected="SET: flip_mode = [ LEFT-RIGHT REVERSE ]
SET: AutoReplayFlag = [ ON ]
SET: AutoReplayFlag = [ OFF ]
* Changed Contents Folder to [ S002 ]
* Changed Contents Folder to [ S003 ]
* Changed Contents Folder to [ S001 ]
SET: DISP_WEB_CAM_INFO = [ ENABLED ]
KEY FUNCTION : [v][ Decrease ZEP_threshold ]
SET: ZEP_threshold = [ 0 ]
SET: ZEP_threshold = [ 48 ]"
got=$(grep -E '^(SET: |KEY FUNCTION|\* Changed)' "$TMP/out.txt" || true)
[ "$got" = "$expected" ] || fail "key transcript differs:
$got"
[ "$(count_of '---> Empty folder is specified!')" = 1 ] || fail "n should fall back once"
[ ! -s "$TMP/err.txt" ] || fail "unexpected errors"
echo "keys_window: ok"
