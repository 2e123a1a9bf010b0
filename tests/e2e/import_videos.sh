#!/usr/bin/env bash
# The import with the real ffmpeg: videos out of order, a name starting with
# '-' (a file, never an option), one full of shell characters, and a file
# ffmpeg cannot read, whose failure does not stop the import.
. "$(dirname "$0")/lib.sh"
setup
video() { # video NAME SECONDS
  ffmpeg -nostdin -loglevel error -f lavfi -i "testsrc2=size=160x120:rate=10:duration=$2" -pix_fmt yuv420p \
    "file:$TMP/work/$1"
}
frames() { find "$TMP/$1" -maxdepth 1 -name 'clip_*.jpg' | wc -l; }

NASTY='c $(touch pwned) `touch pwned2`; "q" '"'"'x'"'"' @ *.mp4'
video -a.mp4 2
for name in b.mp4 "$NASTY" y.mp4; do video "$name" 1; done
echo "not a video" >"$TMP/work/x.mp4"

start_player y.mp4 b.mp4 "$NASTY" x.mp4 -a.mp4
wait_for_player
quit

for folder_frames in S001:20 S002:10 S003:10 S004:0 S005:10; do # sorted: -a b c... x y
  folder=${folder_frames%:*}
  [ "$(frames "$folder")" = "${folder_frames#*:}" ] || fail "$folder has $(frames "$folder") frames"
done
[ -z "$(find "$TMP" -name 'pwned*')" ] || fail "a shell ran the name"
grep -qE -- '^\[ NG \] ffmpeg Failed : \[ x\.mp4 \] \(exit status [1-9][0-9]*\)$' "$ERR" || fail "x.mp4's failure not shown"
echo "import_videos: ok"
