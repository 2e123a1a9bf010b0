# Shared helpers of the end-to-end tests: a private X server, the program in
# a fresh installation folder, keys through xdotool, pixels from screenshots.
set -euo pipefail

PROGRAM=${PROGRAM:?PROGRAM must name build/orvantis}
KEY_SCREEN=${KEY_SCREEN:-}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/orvantis-xdg-XXXXXX)
WINDOW_TITLE="ORVANTIS  Ver.1.2" READY_TEXT="以下のキーを入力してください"
RED=220,30,30 GREEN=30,200,30 BLUE=30,30,220 YELLOW=220,220,30 MAGENTA=220,30,220 CYAN=30,220,220
GREY=70,70,70 PALE=240,240,240

TMP=$(mktemp -d /tmp/orvantis-e2e-XXXXXX)
OUT=$TMP/out.txt ERR=$TMP/err.txt XVFB_PID="" PLAYER_PID="" WIN="" SEEN=""
cleanup() {
  kill $PLAYER_PID $XVFB_PID 2>/dev/null || true
  rm -rf "$TMP" "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -f "$OUT" ]; then echo "--- console:" >&2; tail -n 40 "$OUT" >&2; fi
  if [ -f "$ERR" ]; then echo "--- errors:" >&2; tail -n 20 "$ERR" >&2; fi
  exit 1
}

# Parts a machine may not run: ORVANTIS_LEAVE_OUT="windows page namespaces"
# leaves them out on purpose; otherwise a part that cannot run fails its test.
left_out() { [[ " ${ORVANTIS_LEAVE_OUT:-} " == *" $1 "* ]]; }
# needs PART WHY COMMAND...: skips (status 77) when PART is left out, fails with WHY when COMMAND does.
needs() {
  ! left_out "$1" || { echo "$(basename "$0" .sh): $1 left out on purpose (ORVANTIS_LEAVE_OUT)"; exit 77; }
  "${@:3}" || fail "$2 (ORVANTIS_LEAVE_OUT=$1 leaves this part out on purpose)"
}

# poll COMMAND...: runs it every tenth of a second until it succeeds, for 15 s at most.
poll() {
  for _ in $(seq 150); do "$@" && return 0 || sleep 0.1; done
  return 1
}

# setup: a private X server and an installation, $TMP/work, the contents folders beside it.
setup() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$TMP/display" 2>/dev/null &
  XVFB_PID=$!
  poll test -s "$TMP/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$TMP/display")"
  mkdir -p "$TMP/work"
  if [ -n "$KEY_SCREEN" ]; then cp "$KEY_SCREEN" "$TMP/work/keyallocation_01.jpg"; fi
  ln -s "$(command -v ffmpeg)" "$TMP/work/ffmpeg"
}

# make_frames FOLDER COUNT [INDEX=R,G,B]...: frames whose left half has the colour
# given for their index (grey otherwise), the right half pale to tell a mirrored one.
make_frames() {
  local -A given=()
  local pair tile i
  for pair in "${@:3}"; do given[${pair%%=*}]=${pair#*=}; done
  mkdir -p "$TMP/$1"
  for ((i = 0; i < $2; i++)); do
    tile=$TMP/tile-${given[$i]:-$GREY}.jpg
    [ -f "$tile" ] || convert -size 160x240 "xc:rgb(${given[$i]:-$GREY})" "xc:rgb($PALE)" +append -quality 95 "$tile"
    cp "$tile" "$TMP/$1/$(printf 'clip_%05d.jpg' "$i")"
  done
}

# start_player [ARGUMENT]...: the program in the background; launch starts it on this system.
launch() { exec "$PROGRAM" "$@"; }
start_player() {
  (cd "$TMP/work" && launch "$@" >"$OUT" 2>"$ERR" </dev/null) &
  PLAYER_PID=$!
}

# run_to_end [NAME=VALUE]...: a run in that environment that must end by itself; STATUS its status.
run_to_end() {
  STATUS=0
  (cd "$TMP/work" && ulimit -c 0 && exec env "$@" "$PROGRAM" >"$OUT" 2>"$ERR" </dev/null) || STATUS=$?
}

count_of() { grep -cF -- "$1" "$OUT" 2>/dev/null || true; }
said() { [ "$(count_of "$2")" -ge "$1" ]; }
# wait_for_text TEXT [N]: until N lines (one by default) of the console hold TEXT.
wait_for_text() { poll said "${2:-1}" "$1" || fail "the console never said (${2:-1} times): $1"; }

# take_window [new]: focuses the player's window; with "new" one other than the last
# taken (a folder change makes the window anew, a second copy has its own).
find_window() { WIN=$(xdotool search --onlyvisible --name "^${WINDOW_TITLE}\$" 2>/dev/null | grep -vx "${1:-}" | tail -n1); }
take_window() {
  poll find_window "${1:+$WIN}" || fail "no ${1:-} window named '$WINDOW_TITLE'"
  xdotool windowfocus "$WIN" 2>/dev/null || true
  sleep 0.3
  key a # the first key after focusing can be lost; 'a' does nothing
}
wait_for_player() { wait_for_text "$READY_TEXT"; take_window; }

# key NAME...: sends keys to the focused window, a pause after each.
key() { for k in "$@"; do xdotool key "$k"; sleep 0.3; done; }

# colour_at X Y: "R,G,B" of a pixel of the last screenshot.
colour_at() {
  local hex
  hex=$(convert "$TMP/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- | tail -n1 | grep -oE '#[0-9A-Fa-f]{6}')
  echo "$((16#${hex:1:2})),$((16#${hex:3:2})),$((16#${hex:5:2}))"
}

# near "R,G,B" "R,G,B" [tolerance]: each channel differs by the tolerance (24) at most.
near() {
  local IFS=, a b i
  read -ra a <<<"$1"
  read -ra b <<<"$2"
  for i in 0 1 2; do (((a[i] - b[i]) ** 2 <= ${3:-24} ** 2)) || return 1; done
}

# looks LEFT RIGHT: a screenshot; true when the middles of the window's left and
# right halves have these colours (SEEN: what they had; X Y WIDTH HEIGHT: the window).
looks() {
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "$WIN" 2>/dev/null) || return 1
  eval "$geometry"
  import -window root "$TMP/shot.png"
  SEEN="$(colour_at $((X + WIDTH / 4)) $((Y + HEIGHT / 2))) | $(colour_at $((X + 3 * WIDTH / 4)) $((Y + HEIGHT / 2)))"
  near "${SEEN% | *}" "$1" && near "${SEEN#* | }" "$2"
}
# shows WHAT LEFT [RIGHT]: waits until the window shows LEFT | RIGHT (pale by default).
shows() { poll looks "$2" "${3:-$PALE}" || fail "$1: the window should show $2 | ${3:-$PALE}, shows $SEEN"; }

# wait_exit [WANTED WHAT]: waits for the player's end; STATUS, its exit status, must be WANTED if given.
wait_exit() {
  poll eval '! kill -0 "$PLAYER_PID" 2>/dev/null' || fail "the player did not end"
  STATUS=0
  wait "$PLAYER_PID" || STATUS=$?
  PLAYER_PID=""
  [ -z "${1:-}" ] || [ "$STATUS" = "$1" ] || fail "${2:-}: exit status $STATUS"
}
# quit: the user's own ending, ESC twice, with status 0.
quit() { key Escape Escape; wait_exit 0 "ESC twice"; }

# Scenarios both systems run. ends_without_frames: no frames even in S001: said, a key, status 1.
ends_without_frames() {
  start_player
  wait_for_text "---> ERROR: No image file exists! Bye!"
  take_window
  key space
  wait_exit 1 "no frames"
}
# steps_frames: on window_keys.sh's S001, x shows frame 1, X frame 11, e mirrors it,
# Tab's replay runs to the last frame and stops; then changes_folders.
steps_frames() {
  key x
  shows "x" "$GREEN"
  key X
  shows "X: frame 11" "$YELLOW"
  key e
  shows "e: mirrored" "$PALE" "$YELLOW"
  key Tab
  shows "replay" "$PALE" "$MAGENTA"
  key Tab
  changes_folders
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
