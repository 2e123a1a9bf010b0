#!/usr/bin/env bash
# The import under Wine: the names given, sorted by their code page 932 bytes, each reach
# .\ffmpeg.exe (the stand-in, started without a shell) as the wide command line gave them,
# also where code page 932 has no character for them; its frames are then played.
. "$(dirname "$0")/lib.sh"
setup
make_frames seed 1 0=$BLUE
mv "$TMP/seed/clip_00000.jpg" "$TMP/work/frame.jpg"
names=("動画 ファイル.mp4" "my movie.mp4" "%PATH%&x.mp4" "café.mp4" "한글.mp4" "z😀.mp4")
sorted=(2 4 3 1 5 0) # % < ? (한글) < c < m < z < 0x93 (動)

start_player "${names[@]}"
wait_for_player
shows "the first imported folder" "$BLUE"
quit

want=""
for i in 1 2 3 4 5 6; do want+="-i"$'\n'"${names[${sorted[i - 1]}]}"$'\n'"-q:v"$'\n'"1"$'\n'"..\\S00$i\\clip_%05d.jpg"$'\n'; done
[ "$(cat "$TMP/work/args.txt")" = "${want%$'\n'}" ] || fail "ffmpeg.exe got: $(cat "$TMP/work/args.txt")"
[ ! -s "$ERR" ] || fail "unexpected errors"
echo "import: ok"
