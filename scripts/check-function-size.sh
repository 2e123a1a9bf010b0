#!/usr/bin/env bash
# Checks that no function of the program's own code (tools/ included) is
# longer than 50 lines, from the line that names it to its closing brace.
# Universal Ctags finds the functions of the C and C++ files (Debian:
# universal-ctags, which scripts/setup.sh installs). Prints every breach and
# fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
limit=50
folders=(app common console contents gesture motion player state platform bridge tools)

command -v ctags >/dev/null || { echo "function size: no ctags (Debian: universal-ctags)" >&2; exit 1; }
mapfile -t files < <(git ls-files "${folders[@]/%//*.cpp}" "${folders[@]/%//*.h}" "${folders[@]/%//*.c}")
breaches=$(printf '%s\n' "${files[@]}" |
  ctags -L - -x --_xformat='%n %{end} %F %N' --languages=C,C++ --kinds-C=f --kinds-C++=f -o - |
  awk -v limit="$limit" '$2 - $1 + 1 > limit { printf "%s:%d: %s has %d lines\n", $3, $1, $4, $2 - $1 + 1 }')
if [ -n "$breaches" ]; then
  echo "$breaches" >&2
  echo "function size: $(wc -l <<<"$breaches") function(s) over $limit lines" >&2
  exit 1
fi
echo "function size: ${#files[@]} files, no function over $limit lines"
