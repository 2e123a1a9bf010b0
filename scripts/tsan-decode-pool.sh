#!/usr/bin/env bash
# The decoding pool under ThreadSanitizer, apart from scripts/test.sh (it needs
# a build of its own): builds the unit tests in build-tsan/ and runs the pool's
# own test and the on/off comparison. Reports from libraries built without
# the sanitizer are suppressed by name below; anything else fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS=-fsanitize=thread \
  -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build build-tsan -j2 --target unit_tests >/dev/null
suppressions=$(mktemp)
trap 'rm -f "$suppressions"' EXIT
# GDAL (loaded by the image library's codecs) takes its own two locks in both
# orders while it registers its drivers, on the main thread.
echo "deadlock:libgdal.so" >"$suppressions"
TSAN_OPTIONS="suppressions=$suppressions halt_on_error=1 exitcode=66" \
  build-tsan/tests/unit_tests --gtest_filter='DecodePool.*:ShownSize.DecodingAhead*'
