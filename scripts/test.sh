#!/usr/bin/env bash
# Sets up and builds from scratch, then runs every test: the unit and
# end-to-end tests (AddressSanitizer + UBSan build in build/, warnings as
# errors), the house checks on the program's code (scripts/lint.sh), the fuzz
# targets for a bounded time (Clang, build-fuzz/), and the Windows build under
# Wine (MinGW-w64, build-windows/).
#
# A part that cannot run here fails the run, saying why, unless
# ORVANTIS_LEAVE_OUT names it (words separated by spaces): "windows" (the
# Windows build and its tests under Wine), "page" (the bridge's page in
# headless Chromium), "namespaces" (the tests that need mount namespaces:
# the bridge's sites, the Linux camera runs, the Debian package's user unit),
# "usermanager" (the player's user unit under a `systemd --user` of the test's own).
# The parts left out are listed on the last line.
set -euo pipefail
cd "$(dirname "$0")/.."
read -ra left_out <<<"${ORVANTIS_LEAVE_OUT:-}"
for part in "${left_out[@]}"; do
  case $part in
    windows | page | namespaces | usermanager) ;;
    *) echo "test.sh: ORVANTIS_LEAVE_OUT: no part '$part' (the parts: windows page namespaces usermanager)" >&2; exit 1 ;;
  esac
done
export ORVANTIS_LEAVE_OUT="${left_out[*]}"
scripts/setup.sh
cmake --preset test
cmake --build build -j"$(nproc)"
[ -x build/orvantis_bridge ] || { echo "test.sh: build/orvantis_bridge was not built (libmosquitto-dev)" >&2; exit 1; }
(cd build && ctest --output-on-failure -j2 --timeout 600)
scripts/lint.sh build
scripts/fuzz.sh "${FUZZ_SECONDS:-10}"
if [[ " $ORVANTIS_LEAVE_OUT " == *" windows "* ]]; then
  echo "test.sh: the Windows build and its tests left out on purpose (ORVANTIS_LEAVE_OUT)"
else
  scripts/test-windows.sh
fi
[ ${#left_out[@]} -eq 0 ] || echo "left out on purpose: ${left_out[*]}"
