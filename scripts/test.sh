#!/usr/bin/env bash
# Sets up and builds from scratch, then runs every test: the unit and
# end-to-end tests (AddressSanitizer + UBSan build in build/, warnings as
# errors), the house checks on the program's code (scripts/lint.sh), the fuzz
# targets for a bounded time (Clang, build-fuzz/), and the Windows build under
# Wine (MinGW-w64, build-windows/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset test
cmake --build build -j"$(nproc)"
(cd build && ctest --output-on-failure -j2 --timeout 600)
scripts/lint.sh build
scripts/fuzz.sh "${FUZZ_SECONDS:-10}"
scripts/test-windows.sh
