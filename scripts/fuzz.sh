#!/usr/bin/env bash
# Fuzzes the readers of the files the program takes from outside (settings,
# key frames, the four knowledge-base files, the frame table, the camera
# settings, the threshold file, the frames themselves) with libFuzzer under
# AddressSanitizer and UBSan. Configures a Clang build of its own in
# build-fuzz, writes a seed corpus made in code, then runs every target for
# a bounded time.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target: the first argument, else FUZZ_SECONDS, else 20.
# Inputs found worth keeping stay in build-fuzz/corpus/<target>, so later and
# longer runs go on from there; a crash leaves its input in
# build-fuzz/artifacts/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
all=(fuzz_settings fuzz_keyframes fuzz_kb_parameters fuzz_kb_tables fuzz_kb_calibration fuzz_kb_samples
  fuzz_frame_table fuzz_camera_settings fuzz_threshold fuzz_frame)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
build=${FUZZ_BUILD_DIR:-build-fuzz}

mkdir -p "$build"
build=$(cd "$build" && pwd) # the targets that read files by name work in a folder of their own
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANTIS_TESTS=OFF \
  -DORVANTIS_SANITIZE=OFF -DORVANTIS_BENCH=OFF -DORVANTIS_FUZZ=ON >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 --target fuzz_seeds "${targets[@]}"

seeds=$build/seeds
rm -rf "$seeds"
"$build/fuzz/fuzz_seeds" "$seeds"
mkdir -p "$build/artifacts"
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t"
  echo "=== $t: ${seconds}s"
  if ! "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" "$seeds/$t" 2>"$build/$t.log"; then
    tail -n 60 "$build/$t.log"
    failed+=("$t")
  else
    grep -E "^stat::number_of_executed_units|^Done" "$build/$t.log" || true
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found failures in: ${failed[*]} (logs in $build/, inputs in $build/artifacts/)" >&2
  exit 1
fi
echo "fuzzing: all ${#targets[@]} targets ran ${seconds}s each without a failure"
