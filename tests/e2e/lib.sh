# Shared helpers of the end-to-end tests: a private X server, the program in
# a fresh installation folder, keys through xdotool, pixels from screenshots.
set -euo pipefail

PROGRAM=${PROGRAM:?PROGRAM must name build/orvantis}
KEY_SCREEN=${KEY_SCREEN:-}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/orvantis-xdg-XXXXXX)
WINDOW_TITLE="ORVANTIS  Ver.1.2"

TMP=$(mktemp -d /tmp/orvantis-e2e-XXXXXX)
XVFB_PID=""
PLAYER_PID=""
cleanup() {
  [ -n "$PLAYER_PID" ] && kill "$PLAYER_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$TMP" "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -f "$TMP/out.txt" ]; then echo "--- console:" >&2; tail -n 40 "$TMP/out.txt" >&2; fi
  if [ -f "$TMP/err.txt" ]; then echo "--- errors:" >&2; tail -n 20 "$TMP/err.txt" >&2; fi
  exit 1
}

start_x() {
  local fd_file="$TMP/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  [ -s "$fd_file" ] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fd_file")"
}

# An installation: $TMP/work holds the program's files, contents beside it.
make_installation() {
  mkdir -p "$TMP/work"
  [ -n "$KEY_SCREEN" ] && cp "$KEY_SCREEN" "$TMP/work/keyallocation_01.jpg"
  ln -s "$(command -v ffmpeg)" "$TMP/work/ffmpeg"
}

# make_frames FOLDER COUNT COLOUR...: solid frames, frame i takes colour i mod n.
make_frames() {
  local folder=$1 count=$2
  shift 2
  local colours=("$@")
  mkdir -p "$TMP/$folder"
  for i in $(seq 0 $((count - 1))); do
    convert -size 320x240 "xc:${colours[$((i % ${#colours[@]}))]}" -quality 95 \
      "$TMP/$folder/$(printf 'clip_%05d.jpg' "$i")"
  done
}

start_player() {
  (cd "$TMP/work" && exec "$PROGRAM" "$@" >"$TMP/out.txt" 2>"$TMP/err.txt" </dev/null) &
  PLAYER_PID=$!
}

window_id() {
  for _ in $(seq 150); do
    local id
    id=$(xdotool search --name "^${WINDOW_TITLE}\$" 2>/dev/null | tail -n1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  fail "no window named '$WINDOW_TITLE'"
}

# wait_for_player: waits until the player shows its help (so the window is the
# one it keeps), then sets win and the window's place wx wy and size ww wh.
wait_for_player() {
  wait_for_text "以下のキーを入力してください"
  sleep 1
  win=$(window_id)
  read -r wx wy < <(window_origin "$win")
  read -r ww wh < <(window_size "$win")
}

# centre_pixel: the colour in the middle of the window, as "R,G,B".
centre_pixel() {
  pixel $((wx + ww / 2)) $((wy + wh / 2))
}

wait_for_text() {
  local text=$1
  for _ in $(seq 150); do
    grep -qF -- "$text" "$TMP/out.txt" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the console never said: $text"
}

# key NAME...: sends keys to the focused window, a pause after each.
focus() {
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.3
  xdotool key a # the first key after focusing can be lost; 'a' does nothing
  sleep 0.3
}
key() {
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.4
  done
}

# pixel X Y: the colour of a screen pixel as "R,G,B".
pixel() {
  import -window root "$TMP/shot.png"
  convert "$TMP/shot.png" -crop "1x1+$1+$2" -depth 8 txt:- | tail -n1 | sed -E 's/.*srgb\(([0-9]+),([0-9]+),([0-9]+)\).*/\1,\2,\3/'
}

# window_origin ID: "X Y" of the window's top-left corner on the screen.
window_origin() {
  xdotool getwindowgeometry "$1" | awk '/Position/ { split($2, p, ","); print p[1], p[2] }'
}
window_size() {
  xdotool getwindowgeometry "$1" | awk '/Geometry/ { split($2, s, "x"); print s[1], s[2] }'
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

# wait_exit: waits for the player to end and sets STATUS to its exit status.
wait_exit() {
  STATUS=0
  for _ in $(seq 100); do
    kill -0 "$PLAYER_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$PLAYER_PID" 2>/dev/null && fail "the player did not end"
  wait "$PLAYER_PID" || STATUS=$?
  PLAYER_PID=""
}
