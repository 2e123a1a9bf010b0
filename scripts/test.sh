#!/usr/bin/env bash
# Sets up and builds from scratch, then runs every test: the unit and
# end-to-end tests (AddressSanitizer + UBSan build in build/), the fuzz
# targets for a bounded time (Clang, build-fuzz/), and the Windows core under
# Wine (MinGW-w64, build-windows/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DORVANTIS_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
(cd build && ctest --output-on-failure -j2 --timeout 600)
scripts/fuzz.sh "${FUZZ_SECONDS:-10}"
scripts/test-windows.sh
