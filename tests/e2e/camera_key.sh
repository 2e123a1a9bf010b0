#!/usr/bin/env bash
# The camera key on a machine without a webcam: q switches the camera on
# (messages, ON banner), the first grab finds no frame and switches it off
# again (query failure, messages, OFF banner), and the player goes on.
. "$(dirname "$0")/lib.sh"
start_x
make_installation
make_frames S001 4 'rgb(220,30,30)' 'rgb(30,30,220)'
start_player
wait_for_player
focus "$win"
key q
wait_for_text "cvQueryFrame() failed in ZEP_Capture()."
# The OFF banner's last line: once from the help screen, once now.
off_end="  OOO   O   O  O     O  OOOO  O   O  O   O           OOOO    O      O     "
for _ in $(seq 100); do
  [ "$(grep -acxF -- "$off_end" "$TMP/out.txt")" -ge 2 ] && break
  sleep 0.1
done
[ "$(grep -acxF -- "$off_end" "$TMP/out.txt")" -ge 2 ] || fail "no OFF banner after the query failure"
# The player goes on: x steps to frame 1 (blue).
key x
sleep 0.5
read -r wx wy < <(window_origin "$win")
read -r ww wh < <(window_size "$win")
centre=$(centre_pixel)
near "$centre" "30,30,220" || fail "frame 1 should be blue after x, got $centre"
key Escape Escape
wait_exit
[ "$STATUS" = 0 ] || fail "exit status $STATUS"
cat >"$TMP/expected.txt" <<'TEXT'
NOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...
Done.

  OOO    OOO   O     O  OOOO  OOOO    OOO            OOOOO    O     O   
 O   O  O   O  OO   OO  O     O   O  O   O    OO    O     O   OO    O   
 O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O     O   O  O  O   
 O   O  O   O  O  O  O  O     O  O   O   O    OO    O     O   O    OO   
  OOO   O   O  O     O  OOOO  O   O  O   O           OOOOO    O     O   

cvQueryFrame() failed in ZEP_Capture().

NOW, TURNING OFF THE CAMERA DEVICE. WAIT A MOMENT...
Done.


  OOO    OOO   O     O  OOOO  OOOO    OOO            OOOO    OOOOO  OOOOO 
 O   O  O   O  OO   OO  O     O   O  O   O    OO    O    O   O      O     
 O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O    O   OOOO   OOOO  
 O   O  O   O  O  O  O  O     O  O   O   O    OO    O    O   O      O     
  OOO   O   O  O     O  OOOO  O   O  O   O           OOOO    O      O     

TEXT
sed -n '/^NOW, TURNING ON THE CAMERA DEVICE/,$p' "$TMP/out.txt" | head -n 21 >"$TMP/camera.txt"
diff "$TMP/expected.txt" "$TMP/camera.txt" >&2 || fail "the camera transcript differs"
[ -z "$(grep -B1 -m1 '^NOW, TURNING ON' "$TMP/out.txt" | head -n1)" ] || fail "no line end before the turning-on line"
[ ! -s "$TMP/err.txt" ] || fail "unexpected errors"
grep -c "NOW, TURNING ON THE CAMERA DEVICE" "$TMP/out.txt" | grep -qx 1 || fail "the camera was switched on more than once"
echo "camera_key: ok"
