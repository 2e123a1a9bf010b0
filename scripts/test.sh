#!/usr/bin/env bash
# Sets up, builds from scratch (with AddressSanitizer and UBSan) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DORVANTIS_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j2 --timeout 600
