#!/usr/bin/env bash
# Two copies of ORVANTIS.exe in one folder share ZEP_THRESHOLD.dat, and the
# second re-reads it every pass: every one of 30 presses of V in the first
# lands in the file, and none reports a failed write.
. "$(dirname "$0")/lib.sh"
setup
make_frames S001 3 0=$RED
printf 1000 >"$TMP/work/ZEP_THRESHOLD.dat"

# The second copy first: its window is the one that is not the first's.
(cd "$TMP/work" && wine_run 120 "$WINE" ORVANTIS.exe >"$TMP/second.txt" 2>&1 </dev/null) &
second=$!
trap 'kill $second 2>/dev/null || true; cleanup' EXIT
poll grep -qF "$(cp932 以下のキーを入力してください)" "$TMP/second.txt" || fail "the second copy did not start"
take_window
second_win=$WIN
start_player
wait_for_text "$(cp932 以下のキーを入力してください)"
other_window() {
  WIN=$(xdotool search --onlyvisible --name "^${WINDOW_TITLE}\$" 2>/dev/null | grep -vx "$second_win" | tail -n1)
  [ -n "$WIN" ]
}
poll other_window || fail "no window of the first copy"
xdotool windowfocus "$WIN" 2>/dev/null || true
sleep 0.3
key a
xdotool key --delay 100 $(printf 'V %.0s' $(seq 30))
wait_for_text "SET: ZEP_threshold = " 30
sleep 1
first=$(grep -m1 -aoE 'SET: ZEP_threshold = \[ [0-9]+ \]' "$OUT" | grep -oE '[0-9]+')
step=$((first - 1000))
[ "$step" -gt 0 ] || fail "V did not raise the threshold (first value $first)"
[ "$(cat "$TMP/work/ZEP_THRESHOLD.dat")" = $((1000 + 30 * step)) ] ||
  fail "the file holds $(cat "$TMP/work/ZEP_THRESHOLD.dat"), not 1000 + 30 x $step"
grep -aF "[ NG ]" "$OUT" "$ERR" "$TMP/second.txt" && fail "a failure was reported"
quit
WIN=$second_win
xdotool windowfocus "$WIN" 2>/dev/null || true
sleep 0.3
key Escape Escape
poll eval '! kill -0 $second 2>/dev/null' || fail "the second copy did not end"
echo "threshold: ok"
