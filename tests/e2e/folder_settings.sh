#!/usr/bin/env bash
# A folder with its own settings file: display level 1 prints a status line
# every pass, the player starts at the file's frame 2, and with wrap on one
# step past the last frame comes back to frame 0.
. "$(dirname "$0")/lib.sh"
start_x
make_installation
make_frames S001 4 'rgb(220,30,30)' 'rgb(30,30,220)' 'rgb(30,200,30)' 'rgb(220,220,30)'
{
  # DiffStep ContentsIndex MaxCount frame_no VR_threshold PlayDirection VR_step
  echo "4 0 4 2.000000 9600 1 1.000000"
  # TurnCount RestCount KeyFrameMode SteerCounter SteerLimit DISP_WEB_CAM_INFO
  # CamLogMode WrapFlag SteerType KeyFrameIndex
  echo "5 2 0 0 108000 1 0 1 0 0"
  for _ in $(seq 128); do echo "0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000"; done
  # StartFrameNum EndFrameNum MouseReverseFlag MouseVertFlag flip_mode
  echo "2 3 0 0 0"
} >"$TMP/work/zep_env0001.dat"

start_player
wait_for_player
wait_for_text "[S1] [    2 /    3] [DifferenceSum="
centre=$(centre_pixel)
near "$centre" "30,200,30" || fail "the settings' frame 2 should be green in the middle, got $centre"
focus "$win"
key x
wait_for_text "[S1] [    3 /    3] [DifferenceSum="
key x
wait_for_text "[S1] [    0 /    3] [DifferenceSum="
sleep 0.5
centre=$(centre_pixel)
near "$centre" "220,30,30" || fail "wrap on: one step past frame 3 should show frame 0 (red), got $centre"
key Escape Escape
wait_exit
[ "$STATUS" = 0 ] || fail "exit status $STATUS"

out="$TMP/out.txt"
[ "$(grep -cxF "Finished Reading ZEP Parameters from File : zep_env0001.dat" "$out")" = 2 ] ||
  fail "the settings file should be read before and after the scan"
grep -qxF "SET(1): StartFrameNum = 2" "$out" || fail "no StartFrameNum line"
grep -qxF "SET(1): EndFrameNum   = 3" "$out" || fail "no EndFrameNum line"
grep -qxF "SET(1): flip_mode = 0" "$out" || fail "no flip_mode line"
grep -qxF "KEY FUNCTION : [x][ Increase frame_no ]" "$out" || fail "display level 1 should name the key"
[ ! -s "$TMP/err.txt" ] || fail "unexpected errors"
echo "folder_settings: ok"
