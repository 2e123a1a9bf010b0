# Shared helpers of the end-to-end tests: a private X server, the program in
# a fresh installation folder, keys through xdotool, pixels from screenshots.
set -euo pipefail

PROGRAM=${PROGRAM:?PROGRAM must name build/orvantis}
KEY_SCREEN=${KEY_SCREEN:-}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/orvantis-xdg-XXXXXX)
WINDOW_TITLE="ORVANTIS  Ver.1.2"
RED=220,30,30 GREEN=30,200,30 BLUE=30,30,220 YELLOW=220,220,30 MAGENTA=220,30,220 CYAN=30,220,220
GREY=70,70,70 PALE=240,240,240

TMP=$(mktemp -d /tmp/orvantis-e2e-XXXXXX)
OUT=$TMP/out.txt ERR=$TMP/err.txt
XVFB_PID="" PLAYER_PID="" WIN="" SEEN=""
cleanup() {
  [ -n "$PLAYER_PID" ] && kill "$PLAYER_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$TMP" "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -f "$OUT" ]; then echo "--- console:" >&2; tail -n 40 "$OUT" >&2; fi
  if [ -f "$ERR" ]; then echo "--- errors:" >&2; tail -n 20 "$ERR" >&2; fi
  exit 1
}

# poll COMMAND...: runs it every tenth of a second until it succeeds, for 15 s at most.
poll() {
  for _ in $(seq 150); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# setup: a private X server and an installation, $TMP/work, with the
# contents folders to be made beside it.
setup() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$TMP/display" 2>/dev/null &
  XVFB_PID=$!
  poll test -s "$TMP/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$TMP/display")"
  mkdir -p "$TMP/work"
  if [ -n "$KEY_SCREEN" ]; then cp "$KEY_SCREEN" "$TMP/work/keyallocation_01.jpg"; fi
  ln -s "$(command -v ffmpeg)" "$TMP/work/ffmpeg"
}

# make_frames FOLDER COUNT [INDEX=R,G,B]...: frames whose left half has the
# colour given for their index (grey otherwise) and whose right half is pale,
# so that a mirrored frame is told apart from a plain one.
make_frames() {
  local folder=$1 count=$2 pair colour i
  shift 2
  local -A given=()
  for pair in "$@"; do given[${pair%%=*}]=${pair#*=}; done
  mkdir -p "$TMP/$folder"
  for ((i = 0; i < count; i++)); do
    colour=${given[$i]:-$GREY}
    [ -f "$TMP/tile-$colour.jpg" ] || convert -size 160x240 "xc:rgb($colour)" -size 160x240 "xc:rgb($PALE)" \
      +append -quality 95 "$TMP/tile-$colour.jpg"
    cp "$TMP/tile-$colour.jpg" "$TMP/$folder/$(printf 'clip_%05d.jpg' "$i")"
  done
}

# turn_by_exif FILE: splices an Exif block asking for a quarter turn
# (orientation 6) in after the JFIF block; a player shows the image as stored.
turn_by_exif() {
  { head -c 20 "$1"
    printf '\xff\xe1\x00\x22Exif\0\0II\x2a\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0'
    tail -c +21 "$1"; } >"$TMP/turned.jpg"
  mv "$TMP/turned.jpg" "$1"
}

start_player() {
  (cd "$TMP/work" && exec "$PROGRAM" "$@" >"$OUT" 2>"$ERR" </dev/null) &
  PLAYER_PID=$!
}

# run_to_end [NAME=VALUE]...: a run that must end by itself, in that
# environment; STATUS is its exit status.
run_to_end() {
  STATUS=0
  (cd "$TMP/work" && ulimit -c 0 && exec env "$@" "$PROGRAM" >"$OUT" 2>"$ERR" </dev/null) || STATUS=$?
}

count_of() { grep -cF -- "$1" "$OUT" 2>/dev/null || true; }
said() { [ "$(count_of "$2")" -ge "$1" ]; }
# wait_for_text TEXT [N]: until N lines (one by default) of the console hold TEXT.
wait_for_text() { poll said "${2:-1}" "$1" || fail "the console never said (${2:-1} times): $1"; }

# take_window [new]: finds the player's window and focuses it. With "new" it
# waits for a window other than the last one taken: folder changes make the
# window anew.
find_window() {
  local id
  id=$(xdotool search --onlyvisible --name "^${WINDOW_TITLE}\$" 2>/dev/null | tail -n1) || return 1
  [ -n "$id" ] && [ "$id" != "$1" ] && WIN=$id
}
take_window() {
  poll find_window "${1:+$WIN}" || fail "no ${1:-} window named '$WINDOW_TITLE'"
  xdotool windowfocus "$WIN" 2>/dev/null || true
  sleep 0.3
  xdotool key a # the first key after focusing can be lost; 'a' does nothing
  sleep 0.3
}
wait_for_player() {
  wait_for_text "以下のキーを入力してください"
  take_window
}

# key NAME...: sends keys to the focused window, a pause after each.
key() {
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.3
  done
}

# colour_at X Y: "R,G,B" of a pixel of the last screenshot.
colour_at() {
  local hex
  hex=$(convert "$TMP/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- | tail -n1 | grep -oE '#[0-9A-Fa-f]{6}')
  echo "$((16#${hex:1:2})),$((16#${hex:3:2})),$((16#${hex:5:2}))"
}

# near "R,G,B" "R,G,B" [tolerance]
near() {
  local IFS=,
  read -r r1 g1 b1 <<<"$1"
  read -r r2 g2 b2 <<<"$2"
  local t=${3:-24}
  [ $((r1 > r2 ? r1 - r2 : r2 - r1)) -le "$t" ] && [ $((g1 > g2 ? g1 - g2 : g2 - g1)) -le "$t" ] &&
    [ $((b1 > b2 ? b1 - b2 : b2 - b1)) -le "$t" ]
}

# looks LEFT RIGHT: takes a screenshot (window geometry in X Y WIDTH HEIGHT);
# true when the middles of the window's left and right halves have these
# colours. SEEN tells what they had.
looks() {
  local geometry left right
  geometry=$(xdotool getwindowgeometry --shell "$WIN" 2>/dev/null) || return 1
  eval "$geometry"
  import -window root "$TMP/shot.png"
  left=$(colour_at $((X + WIDTH / 4)) $((Y + HEIGHT / 2)))
  right=$(colour_at $((X + 3 * WIDTH / 4)) $((Y + HEIGHT / 2)))
  SEEN="$left | $right"
  near "$left" "$1" && near "$right" "$2"
}
# shows WHAT LEFT [RIGHT]: waits until the window shows LEFT | RIGHT (pale by default).
shows() { poll looks "$2" "${3:-$PALE}" || fail "$1: the window should show $2 | ${3:-$PALE}, shows $SEEN"; }

player_ended() { ! kill -0 "$PLAYER_PID" 2>/dev/null; }
# wait_exit: waits for the player to end and sets STATUS to its exit status.
wait_exit() {
  poll player_ended || fail "the player did not end"
  STATUS=0
  wait "$PLAYER_PID" || STATUS=$?
  PLAYER_PID=""
}
# Scenarios both systems' tests run. ends_without_frames: with no frames even
# in S001 the player says so, waits for a key and ends with status 1.
ends_without_frames() {
  start_player
  wait_for_text "---> ERROR: No image file exists! Bye!"
  take_window
  key space
  wait_exit
  [ "$STATUS" = 1 ] || fail "no frames: exit status $STATUS"
}
# changes_folders: keys 2 and p each make the window anew, showing S002's
# first frame (cyan) and S001's (red), mirrored.
changes_folders() {
  key 2
  take_window new
  shows "2: S002" "$PALE" "$CYAN"
  key p
  take_window new
  shows "p: S001" "$PALE" "$RED"
}

# quit: the user's own ending, ESC twice, with status 0.
quit() {
  key Escape Escape
  wait_exit
  [ "$STATUS" = 0 ] || fail "exit status $STATUS"
}

# close_window: the window manager's close request on the player's window
# (tests/e2e/send_close.c, built on first use).
close_window() {
  [ -x "$TMP/send_close" ] || cc -O -o "$TMP/send_close" "$(dirname "${BASH_SOURCE[0]}")/send_close.c" -lX11 ||
    fail "could not build send_close"
  "$TMP/send_close" "$WIN" || fail "send_close $WIN"
}
# ends_on_close WHAT: the close request ends the player as the second ESC
# does: the farewell banner, status 0, and no pause banner unless ESC was
# pressed before (WHAT is "playing" or "paused").
PAUSE_LINE=" OOOO    OOO   O   O   OOOO  OOOOO  O "
FAREWELL_LINE="  OOOO  O   O  O   O       O    O   O  O    O     O "
ends_on_close() {
  close_window
  wait_exit
  [ "$STATUS" = 0 ] || fail "$1, window closed: exit status $STATUS"
  [ "$(count_of "$FAREWELL_LINE")" = 1 ] || fail "$1, window closed: no farewell banner"
  [ "$(count_of "$PAUSE_LINE")" = "$([ "$1" = paused ] && echo 1 || echo 0)" ] || fail "$1, window closed: pause banners"
}
# closes_on_request: the close request ends the player while it plays (after
# BackSpace made the window anew, which is no close request) and in the
# pause. S001 needs green as frame 1.
closes_on_request() {
  start_player
  wait_for_player
  key BackSpace
  take_window new
  key x
  shows "x after BackSpace" "$GREEN"
  ends_on_close playing
  start_player
  wait_for_player
  key Escape
  wait_for_text "$PAUSE_LINE"
  ends_on_close paused
  [ ! -s "$ERR" ] || fail "unexpected errors"
}
