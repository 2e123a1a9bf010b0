#!/usr/bin/env bash
# Checks that the program's folders stay layers (see the top-level
# CMakeLists.txt): every #include of a program header names a folder the
# including folder may use, which also keeps the include graph free of cycles;
# the image, JPEG and GUI libraries are included only in platform/; and only
# app/ ends the process. Prints every breach and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each folder may include besides itself, lower layers only.
declare -A may=(
  [state]=""
  [platform]=""
  [common]="platform state"
  [console]="common platform state"
  [gesture]="common platform state"
  [contents]="gesture common platform state"
  [motion]="console common platform state"
  [player]="contents motion gesture console common platform state"
  [app]="player contents motion gesture console common platform state"
  [bridge]="common platform state"
)

log=$(mktemp)
trap 'rm -f "$log"' EXIT
breach() { echo "layers: $*" | tee -a "$log" >&2; }

for folder in "${!may[@]}"; do
  while IFS= read -r file; do
    while IFS=: read -r line target; do
      [ "$target" = "$folder" ] && continue
      [[ " ${may[$folder]} " == *" $target "* ]] && continue
      [ -n "${may[$target]+known}" ] || continue # a library's header, not a folder of ours
      breach "$file:$line includes $target/, which $folder/ may not use"
    done < <({ grep -noE '^#include "[a-z_]+/' "$file" || true; } | sed -E 's/^([0-9]+):#include "([a-z_]+)\/$/\1:\2/')
    if [ "$folder" != platform ]; then
      { grep -nE '^#include [<"](opencv2/|turbojpeg|jpeglib|Q[A-Za-z]*[>/.])' "$file" || true; } |
        while IFS= read -r hit; do breach "$file:${hit%%:*} includes a media library outside platform/"; done
    fi
    if [ "$folder" != app ]; then
      { grep -nE '\b(exit|_exit|_Exit|abort|quick_exit|ExitProcess|TerminateProcess)[[:space:]]*\(' "$file" || true; } |
        { grep -vE '^[0-9]+:[[:space:]]*//' || true; } |
        while IFS= read -r hit; do breach "$file:${hit%%:*} ends the process outside app/"; done
    fi
  done < <(git ls-files "$folder/*.cpp" "$folder/*.h")
done
count=$(wc -l <"$log")
if [ "$count" -gt 0 ]; then
  echo "layers: $count breach(es)" >&2
  exit 1
fi
echo "layers: every folder includes only the layers below it"
