# Helpers of the camera tests, on Linux and under Wine, sourced after lib.sh:
# the virtual camera (tools/vcam) preloaded, its control file and call log.
export VCAM_CONTROL=$TMP/camera-state VCAM_LOG=$TMP/camera.log
ON_LINE=" O   O  O   O  OO   OO  O     O   O  O   O    OO    O     O   OO    O   "
OFF_LINE=" O   O  O   O  OO   OO  O     O   O  O   O    OO    O    O   O      O     "
NO_FRAME="cvQueryFrame() failed in ZEP_Capture()."

camera() { echo "$1" >"$VCAM_CONTROL"; }
# errors_say TEXT: standard error holds TEXT, its line ends written as |.
errors_say() { tr '\n' '|' <"$ERR" | grep -qF -- "$1"; }

# stays_on_in_the_dark: one identical picture at the device's own 5 frames
# per second, whatever rate was asked, keeps the camera on for 10 s.
stays_on_in_the_dark() {
  camera "dark 5" && sleep 1 # the last frames at the old rate
  local frames="(DQBUF|read) [0-9]+ " from failed=$(grep -c "$NO_FRAME" "$OUT")
  from=$(log_count "$frames") && sleep 10
  [ "$(grep -c "$NO_FRAME" "$OUT")" = "$failed" ] || fail "a dark camera at 5 frames per second was switched off"
  local n=$(($(log_count "$frames") - from))
  [ "$n" -ge 30 ] && [ "$n" -le 60 ] || fail "the dark camera delivered $n frames in 10 s, not 5 a second"
}

# The Linux program on the virtual camera gets a private /dev/shm: in the
# machine's own pool its motion would steer every other player (tests too).
private_pool_or_skip() { needs namespaces "needs unshare --mount" unshare --mount true; }
# setup_camera_run: a Linux run on the virtual camera, with S001 of 200
# frames and its settings for the status line.
setup_camera_run() {
  VCAM=${VCAM:?VCAM must name the virtual camera library}
  private_pool_or_skip
  setup
  make_frames S001 200
  settings 1 2
}
# start_camera_player [NAME=VALUE]...: the program (or the command LAUNCH) on
# the virtual camera, in that environment, with a pool of its own.
start_camera_player() {
  (cd "$TMP/work" && exec unshare --mount sh -c 'mount -t tmpfs -o size=1m,mode=1777 tmpfs /dev/shm && exec "$0" "$@"' \
    env LD_PRELOAD="$VCAM" ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0" "$@" ${LAUNCH:-"$PROGRAM"} >"$OUT" 2>"$ERR" </dev/null) &
  PLAYER_PID=$!
}
camera still

# logged PATTERN [N]: until N lines (one by default) of the call log match PATTERN.
log_count() { grep -cE -- "$1" "$VCAM_LOG" 2>/dev/null || true; }
log_has() { [ "$(log_count "$1")" -ge "$2" ]; }
logged() { poll log_has "$1" "${2:-1}" || fail "the camera log never had (${2:-1} times): $1"; }

# frames_since LINE: the frame numbers of the status lines after line LINE of
# the console, one a line.
frames_since() { tail -n +"$1" "$OUT" | tr -d '\r' | sed -nE 's/^\[S *[0-9]+\] \[ *([0-9]+) \/.*/\1/p'; }
console_lines() { wc -l <"$OUT"; }
# moves LINE up|down|still: the frames shown since LINE went that way
# (over at least ten status lines, the last frame against the first).
moves() {
  local frames first last
  frames=$(frames_since "$1")
  [ "$(wc -l <<<"$frames")" -ge 10 ] || return 1
  first=$(head -n1 <<<"$frames") last=$(tail -n1 <<<"$frames")
  case $2 in
  up) [ "$last" -gt $((first + 3)) ] ;;
  down) [ "$last" -lt $((first - 3)) ] ;;
  still) [ "$last" = "$first" ] ;;
  esac
}
# steers WHAT up|down|still: the camera is set to WHAT (moving or still) and
# the frames go that way.
steers() {
  camera "$1"
  sleep 0.2 # the passes of the change itself
  local from
  from=$(($(console_lines) + 1))
  poll moves "$from" "$2" || fail "camera $1: the frames should go $2, went $(frames_since "$from" | sed -n '1p;$p' | tr '\n' ' ')"
}

# settings DISP CAMLOG [N]: folder N's (1's) settings file, loaded on a folder
# change: 200 frames from 0, forward, threshold 9600, step 1, turning after 3
# motion passes and resting after 1, no wrap; that display level and log mode.
settings() {
  local n=${3:-1}
  {
    echo "4 $((n - 1)) 200 0.000000 9600 1 1.000000 3 1 0 0 108000 $1 $2 0 0 0"
    printf "0\n%.0s" $(seq 1280)
    echo "0 199 0 0 0"
  } >"$TMP/work/$(printf 'zep_env%04d.dat' "$n")"
}
