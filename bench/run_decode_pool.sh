#!/usr/bin/env bash
# The decoding pool's figures, each beside its baseline, run interleaved
# (figure, baseline, figure, baseline), two rounds, in the default 400x300
# window under an Xvfb of its own:
#   8K noisy automatic replay: the pool (a worker per processor) / one worker;
#   4K noisy unpaced motion stepping: the pool / the plain loop;
#   8K noisy unpaced motion stepping on two processors / on one (taskset);
#   4K noisy automatic replay, passes over 33.3 ms: the pool / one worker;
#   resident memory over 22000 4K frames: the pool / one worker.
# Each run ends with where each thread's time went (decoding, marking and
# shrinking, drawing, waiting).
#
#   bench/run_decode_pool.sh [frame_pipeline_bench [earlier_frame_pipeline_bench]]
#                                (default build-rel/bench/...)
#
# With a second program (an earlier build, say), every run is repeated with it
# at once, marked "[earlier]": the two builds' figures interleaved.
#
# SECONDS_4K (default 30) and SECONDS_8K (10) set the replay lengths;
# NO_MEMORY=1 leaves out the memory runs (about 2 minutes each). Use the
# release build (the bench preset) on a quiet machine; needs Xvfb, ffmpeg and
# taskset.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
bench=$(realpath "${1:-build-rel/bench/frame_pipeline_bench}")
earlier=${2:+$(realpath "$2")}
tmp=$(mktemp -d /tmp/orvantis-pool-XXXXXX)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
start_xvfb 1920x1080
export QT_QPA_PLATFORM=xcb ORVANTIS_BENCH_DIR=$tmp/frames
unset ORVANTIS_DECODE_WORKERS ORVANTIS_DECODE_AHEAD
cpus=$(nproc)
echo "$cpus processors; $(uname -r); load $(cut -d' ' -f1-3 /proc/loadavg)"

one() { # LABEL [VAR=VALUE...] [taskset -c LIST] -- ARGS...
  local label=$1
  shift
  echo "== $label"
  local prefix=()
  while [ "$1" != -- ]; do prefix+=("$1"); shift; done
  shift
  env "${prefix[@]}" "$bench" one "$@" | sed 's/^/   /'
  if [ -n "$earlier" ]; then
    echo "== $label [earlier]"
    env "${prefix[@]}" "$earlier" one "$@" | sed 's/^/   /'
  fi
}
for round in 1 2; do
  echo "##### round $round"
  one "8K noisy replay, pool" -- replay 8 "${SECONDS_8K:-10}"
  one "8K noisy replay, one worker (baseline)" ORVANTIS_DECODE_WORKERS=1 -- replay 8 "${SECONDS_8K:-10}"
  one "4K noisy motion stepping, pool" -- step 4 120
  one "4K noisy plain loop (baseline)" -- plain 4 120
  one "8K noisy motion stepping, processors 0,1" taskset -c 0,1 -- step 8 40
  one "8K noisy motion stepping, processor 0 (baseline)" taskset -c 0 -- step 8 40
  one "4K noisy replay, pool" -- replay 4 "${SECONDS_4K:-30}"
  one "4K noisy replay, one worker (baseline)" ORVANTIS_DECODE_WORKERS=1 -- replay 4 "${SECONDS_4K:-30}"
  if [ -z "${NO_MEMORY:-}" ]; then
    one "memory over 22000 4K frames, pool" -- memory 3 0
    one "memory over 22000 4K frames, one worker (baseline)" ORVANTIS_DECODE_WORKERS=1 -- memory 3 0
  fi
done
