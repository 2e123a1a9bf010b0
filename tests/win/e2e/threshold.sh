#!/usr/bin/env bash
# Two copies of ORVANTIS.exe in one folder share ZEP_THRESHOLD.dat, the
# second re-reading it every pass: each of 30 presses of V in the first lands
# in the file, and no write fails.
. "$(dirname "$0")/lib.sh"
setup
make_frames S001 3 0=$RED
printf 1000 >"$TMP/work/ZEP_THRESHOLD.dat"

# The second copy first; the first copy's window is then the new one.
OUT=$TMP/second.out ERR=$TMP/second.err start_player
second=$PLAYER_PID
trap 'kill $second 2>/dev/null || true; cleanup' EXIT
OUT=$TMP/second.out wait_for_player
start_player
wait_for_text "$READY_TEXT"
take_window new
xdotool key --delay 100 $(printf 'V %.0s' $(seq 30))
wait_for_text "SET: ZEP_threshold = " 30
sleep 1
first=$(grep -m1 -aoE 'SET: ZEP_threshold = \[ [0-9]+ \]' "$OUT" | grep -oE '[0-9]+')
step=$((first - 1000))
[ "$step" -gt 0 ] || fail "V did not raise the threshold (first value $first)"
[ "$(cat "$TMP/work/ZEP_THRESHOLD.dat")" = $((1000 + 30 * step)) ] ||
  fail "the file holds $(cat "$TMP/work/ZEP_THRESHOLD.dat"), not 1000 + 30 x $step"
grep -aF "[ NG ]" "$OUT" "$ERR" "$TMP"/second.* && fail "a failure was reported"
quit
PLAYER_PID=$second
take_window
quit
echo "threshold: ok"
