#!/usr/bin/env bash
# Three copies pool their motion: copies A and B watch virtual cameras 0 and
# 1 (CamChan 0 and 1 in their SetCamera3.txt), copy C has none and follows
# the pooled sum. The pooled line of A lists both slots while the cameras
# move; C's frames go on while they move and halt while they are still.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/camera.bash"
setup_camera_run
# One private /dev/shm for the three: a mount namespace kept by a sleeper.
unshare --mount sh -c 'mount -t tmpfs -o size=1m,mode=1777 tmpfs /dev/shm && exec sleep 600' &
NS=$!
PIDS=()
cleanup_pool() { kill "${PIDS[@]}" "$NS" 2>/dev/null || true; cleanup; }
trap cleanup_pool EXIT
sleep 0.5
# copy NAME CAMCHAN DISP: a copy in the folder NAME beside $TMP/work.
copy() {
  mkdir -p "$TMP/$1"
  ln -sf "$(command -v ffmpeg)" "$TMP/$1/ffmpeg"
  printf '0\n0\n%s\n1\n0\n' "$2" >"$TMP/$1/SetCamera3.txt"
  settings "$3" 2
  cp "$TMP/work/zep_env0001.dat" "$TMP/$1/"
  (cd "$TMP/$1" && exec nsenter --mount="/proc/$NS/ns/mnt" --wd="$TMP/$1" -- env LD_PRELOAD="$VCAM" VCAM_DEVICES=2 \
    ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0" "$PROGRAM" >"$TMP/$1/out.txt" 2>&1 </dev/null) &
  PIDS+=($!)
  OUT=$TMP/$1/out.txt
  wait_for_text "以下のキーを入力してください"
}
# focus PID: the window of that copy.
focus() {
  WIN=$(poll xdotool search --onlyvisible --pid "$1" --name "^${WINDOW_TITLE}\$" | tail -n1)
  [ -n "$WIN" ] || fail "no window of copy $1"
  xdotool windowfocus "$WIN" 2>/dev/null || true
  sleep 0.3
  xdotool key a
  sleep 0.3
}
copy A 0 0
focus "${PIDS[0]}"
key q
sleep 1.5 # keys in the second after switching on are swallowed
key i
copy B 1 0
focus "${PIDS[1]}"
key q
copy C 5 1 # no camera
OUT=$TMP/A/out.txt
camera moving
wait_for_text "[WebCam(  0 ) ="
wait_for_text "[WebCam(  1 ) ="
line=$(grep -F "[WebCam(  1 ) =" "$OUT" | tail -n1)
[ "$(echo "$line" | grep -oE '=[ 0-9]+ \]' | wc -l)" -ge 3 ] || fail "A's pooled line should show the sum and both slots: $line"
OUT=$TMP/C/out.txt
steers moving up
steers still still
steers moving down # C's own count of motion turned it, as the pool's stillness came
grep -q "open" "$VCAM_LOG" && ! grep -qE "^[0-9.]+ ${PIDS[2]} " "$VCAM_LOG" || fail "copy C touched a camera"
grep -qE "^[0-9.]+ ${PIDS[1]} video1 open" "$VCAM_LOG" || fail "copy B did not open camera 1"
echo "camera_pool: ok"
