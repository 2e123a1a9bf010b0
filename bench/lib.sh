# shellcheck shell=bash
# Shared by the benchmark scripts that run a real window: sourced, not run.

# start_xvfb WIDTHxHEIGHT: a private X server of that screen size, its
# number found by the server itself; sets $xvfb (its pid, for the caller's
# cleanup) and exports DISPLAY. Uses the caller's $tmp.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"${tmp:?}/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$tmp/display")
}
