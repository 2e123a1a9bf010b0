#!/usr/bin/env bash
# The house checks on the program's own code (not tests, benchmarks or
# tools): the layers (scripts/check-layers.sh), no function over 50 lines
# (scripts/check-function-size.sh, tools/ included), formatting by the
# committed .clang-format, clang-tidy by the committed .clang-tidy, and
# cppcheck. Every check must come out clean.
#
#   scripts/lint.sh [build-folder]   (default: build; needs its compile_commands.json)
#
# Compiler warnings are the build's business: scripts/test.sh builds with
# ORVANTIS_WERROR, which turns them into errors.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
folders=(app common console contents gesture motion player state platform bridge)

scripts/check-layers.sh
scripts/check-function-size.sh

mapfile -t sources < <(git ls-files "${folders[@]/%//*.cpp}" "${folders[@]/%//*.h}")
clang-format --dry-run --Werror "${sources[@]}"
echo "format: ${#sources[@]} files as .clang-format has them"

# The files this build compiles: the other system's platform code and the
# build without the image library are checked by the builds that use them.
[ -f "$build/compile_commands.json" ] || { echo "lint: no $build/compile_commands.json" >&2; exit 1; }
mapfile -t compiled < <(printf '%s\n' "${sources[@]}" | grep -E '\.cpp$' |
  while read -r f; do grep -q "\"file\": \"$PWD/$f\"" "$build/compile_commands.json" && echo "$f"; done)
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${compiled[@]/#/$PWD/}" >"$build/clang-tidy.log" 2>&1 ||
  { grep -E "(warning|error):" -A3 "$build/clang-tidy.log" >&2; exit 1; }
echo "clang-tidy: ${#compiled[@]} files clean"

cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability --std=c++17 --inline-suppr \
  -I . "${compiled[@]}"
echo "cppcheck: ${#compiled[@]} files clean"
