#!/usr/bin/env bash
# A real run in a real window: the start-up transcript, the window, frame 0
# with its green mark, then ESC, Enter, ESC, ESC and exit status 0.
. "$(dirname "$0")/lib.sh"
start_x
make_installation
make_frames S001 4 'rgb(220,30,30)' 'rgb(30,30,220)'
start_player
wait_for_player
centre=$(centre_pixel)
near "$centre" "220,30,30" || fail "frame 0 should be red in the middle, got $centre"
# Frame 0 of 4: the mark sits at the left end of the bottom edge.
mark=$(pixel $((wx + 2)) $((wy + wh - 2)))
near "$mark" "200,255,200" 60 || near "$mark" "0,255,0" 60 || fail "no green mark at the bottom left, got $mark"
focus "$win"
key Escape
wait_for_text " O      O   O   OOO   OOOO   OOOOO  O "
key Return
wait_for_text "  OOO    OOOO    O "
sleep 0.5
centre=$(centre_pixel)
near "$centre" "220,30,30" || fail "frame 0 should be shown again after Enter, got $centre"
key Escape Escape
wait_exit
[ "$STATUS" = 0 ] || fail "exit status $STATUS"
head -n 9 "$TMP/out.txt" | grep -qF "//           O    R    V    A    N    T    I    S          //" || fail "no start-up banner"
grep -qxF "$TMP/work" "$TMP/out.txt" || fail "working folder not printed"
grep -qxF "[0]$PROGRAM" "$TMP/out.txt" || fail "argument echo missing"
grep -qF "Total length of file name strings = ${#PROGRAM}" "$TMP/out.txt" || fail "length line missing"
grep -qF "*** START CHECKING IMAGE FILES. WAIT A MOMENT! ***" "$TMP/out.txt" || fail "scan message missing"
tail -n 9 "$TMP/out.txt" | grep -qF " OOOOO   OOO    OOO        O     OOO    OOO O     O " || fail "no farewell banner"
[ ! -s "$TMP/err.txt" ] || fail "unexpected errors"
echo "startup_window: ok"
