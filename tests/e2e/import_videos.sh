#!/usr/bin/env bash
# The import with the real ffmpeg: videos given in reverse order, a name full
# of shell characters, a file ffmpeg cannot read, a folder in the way and one
# that cannot be emptied; then a start position given by a file name.
. "$(dirname "$0")/lib.sh"
start_x
make_installation

video() { # video NAME SECONDS
  ffmpeg -nostdin -loglevel error -f lavfi -i "testsrc2=size=160x120:rate=10:duration=$2" -pix_fmt yuv420p \
    "file:$TMP/work/$1"
}
frames() { find "$TMP/$1" -maxdepth 1 -name 'clip_*.jpg' | wc -l; }

NASTY='c $(touch pwned) `touch pwned2`; "q" '"'"'x'"'"' @ *.mp4'
video b.mp4 1
video a.mp4 2
video "$NASTY" 1
video -lead.mp4 1
echo "not a video" >"$TMP/work/x.mp4"
video y.mp4 1
video z.mp4 1
# Old frames of an earlier import go, other files stay.
mkdir -p "$TMP/S002"
echo old >"$TMP/S002/clip_00050.jpg"
chmod 444 "$TMP/S002/clip_00050.jpg"
echo keep >"$TMP/S002/zep_env.dat"
# Sorted: -lead a b c... x y z, so S006 (y) is blocked by a plain file and
# S007 (z) holds a folder named like a frame, which cannot be deleted.
echo "in the way" >"$TMP/S006"
mkdir -p "$TMP/S007/odd.jpg"

start_player b.mp4 a.mp4 "$NASTY" x.mp4 -lead.mp4 z.mp4 y.mp4
wait_for_text "以下のキーを入力してください"
win=$(window_id)
focus "$win"
key Escape Escape
wait_exit
[ "$STATUS" = 0 ] || fail "exit status $STATUS"

[ "$(frames S001)" = 10 ] || fail "S001 (-lead.mp4) has $(frames S001) frames"
[ "$(frames S002)" = 20 ] || fail "S002 (a.mp4) has $(frames S002) frames"
[ "$(frames S003)" = 10 ] || fail "S003 (b.mp4) has $(frames S003) frames"
[ "$(frames S004)" = 10 ] || fail "S004 (the shell-character name) has $(frames S004) frames"
[ "$(frames S005)" = 0 ] || fail "S005 (x.mp4, not a video) has frames"
[ -f "$TMP/S002/zep_env.dat" ] || fail "the settings file of S002 was deleted"
[ ! -e "$TMP/S002/clip_00050.jpg" ] || fail "the old read-only frame of S002 is still there"
[ -f "$TMP/S006" ] || fail "the file in S006's way was touched"
[ "$(frames S007)" = 10 ] || fail "S007 (z.mp4) has $(frames S007) frames"
[ -z "$(find "$TMP" -name 'pwned*')" ] || fail "a shell ran the name"

out=$TMP/out.txt
grep -qxF -- "----------> EXECUTING: mkdir  \"../S004\"" "$out" || fail "no mkdir line"
grep -qxF -- "----------> EXECUTING: rm  -f   \"../S004/*.jpg\"" "$out" || fail "no rm line"
grep -qxF -- "----------> EXECUTING: ./ffmpeg  -i \"$NASTY\"                      -q:v 1  ../S004/clip_%05d.jpg" \
  "$out" || fail "no ffmpeg line for the shell-character name"
grep -qxF -- "----------> EXECUTING: ./ffmpeg  -i \"-lead.mp4\"                      -q:v 1  ../S001/clip_%05d.jpg" \
  "$out" || fail "the leading-dash name is not first"
[ "$(grep -c -- '---> ffmpeg exit status = 0' "$out")" -ge 5 ] || fail "ffmpeg statuses missing"
grep -qE -- '---> ffmpeg exit status = [1-9]' "$out" || fail "x.mp4's failure not shown"
grep -qF "[ NG ] Folder Not Created : [ ../S006 ]" "$TMP/err.txt" || fail "no message for S006"
grep -qF "[ NG ] Folder Not Emptied : [ ../S007 ]" "$TMP/err.txt" || fail "no message for S007"

# A given file named like S00003_00120.jpg opens S003 at frame 120. Being a
# given file it is also imported (into S001, as it sorts first).
rm -rf "$TMP"/S00*
mkdir -p "$TMP/S003"
ffmpeg -nostdin -loglevel error -f lavfi -i "color=c=blue:size=160x120:rate=10:duration=13" \
  "$TMP/S003/clip_%05d.jpg"
# ffmpeg numbers from 1, and the scan closes up the numbering: frame 120 is file 121.
convert -size 160x120 'xc:rgb(230,20,20)' -quality 95 "$TMP/S003/clip_00121.jpg"
convert -size 160x120 'xc:rgb(20,200,20)' -quality 95 "$TMP/work/S00003_00120.jpg"
start_player S00003_00120.jpg
wait_for_player
centre=$(centre_pixel)
near "$centre" "230,20,20" || fail "frame 120 of S003 should be red, got $centre"
focus "$win"
key Escape Escape
wait_exit
[ "$STATUS" = 0 ] || fail "start position: exit status $STATUS"
[ "$(frames S001)" = 1 ] || fail "the given frame file was not imported into S001"
grep -qF "DirNumString=[ 00003 ]   FrameNumString=[ 00120 ]" "$TMP/out.txt" || fail "no DirNumString line"
grep -qF "***** Changed current frame_no = 120.000000" "$TMP/out.txt" || fail "no frame_no line"
grep -qF "SET REPLAY PERIOD : [      0 ] <-> [   129]" "$TMP/out.txt" || fail "no replay period"
echo "import_videos: ok"
