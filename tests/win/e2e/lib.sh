# The end-to-end helpers under Wine: tests/e2e/lib.sh's, with the X server,
# Wine prefix and loader of scripts/test-windows.sh (DISPLAY, WINEPREFIX,
# WINE). Console texts are code page 932 with CRLF, compared as bytes.
[ -n "${WINE:-}" ] && [ -n "${DISPLAY:-}" ] || { echo "run through scripts/test-windows.sh (WINE, DISPLAY)" >&2; exit 1; }
TESTS_BIN=${TESTS_BIN:?TESTS_BIN must name the folder of win_helper.exe and pool_peer.exe}
. "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib.sh"
export LC_ALL=C
# Wine reads the Unix command line in the Unix locale's encoding.
wine_run() { LC_ALL=C.UTF-8 exec timeout "$@"; }
# cp932 TEXT: the bytes the console writes for TEXT.
cp932() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
READY_TEXT=$(cp932 "$READY_TEXT")

# setup: $TMP/work with ORVANTIS.exe and win_helper.exe as ffmpeg.exe, contents folders beside it.
setup() {
  mkdir -p "$TMP/work"
  cp "$PROGRAM" "$TMP/work/ORVANTIS.exe"
  cp "$TESTS_BIN/win_helper.exe" "$TMP/work/ffmpeg.exe"
}

launch() { wine_run 120 "$WINE" ORVANTIS.exe "$@"; }

# run_to_end INPUT [ARGUMENT]...: a run from INPUT that must end by itself; STATUS (124: it hung).
run_to_end() {
  STATUS=0
  (cd "$TMP/work" && wine_run 60 "$WINE" ORVANTIS.exe "${@:2}" >"$OUT" 2>"$ERR" <"$1") || STATUS=$?
}

# has_green_mark: the last screenshot has the green position mark in the
# bottom-left corner of the window's picture (inside Wine's frame).
has_green_mark() {
  convert "$TMP/shot.png" -crop "24x24+$X+$((Y + HEIGHT - 24))" -depth 8 txt:- |
    grep -oE '\(([0-9]+),([0-9]+),([0-9]+)' | tr -d '(' |
    awk -F, '$2 > 180 && $1 < 120 && $3 < 120 { n++ } END { exit !(n > 0) }'
}

# vcam_for_wine: tools/vcam built as $TMP/libvcam.so for Wine's loader
# (LD_PRELOAD=$TMP/libvcam.so start_player), with tests/e2e/camera.bash.
vcam_for_wine() {
  cc -shared -fPIC -O2 -o "$TMP/libvcam.so" "$(dirname "${BASH_SOURCE[0]}")/../../../tools/vcam/vcam.c" -ldl ||
    fail "the virtual camera does not build"
  . "$(dirname "${BASH_SOURCE[0]}")/../../e2e/camera.bash"
}
