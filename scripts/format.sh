#!/usr/bin/env bash
# Formats the project's C and C++ files with clang-format and the house
# .clang-format.
#   scripts/format.sh          rewrite every file that differs
#   scripts/format.sh --check  change nothing; list the files that differ and
#                              fail (CI runs this)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format.sh: clang-format is not installed (apt-get install clang-format)" >&2; exit 2; }
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
if [ "${1:-}" = "--check" ]; then
  differ=()
  for f in "${files[@]}"; do
    clang-format --style=file "$f" | cmp -s - "$f" || differ+=("$f")
  done
  if [ ${#differ[@]} -gt 0 ]; then
    printf 'not formatted: %s\n' "${differ[@]}" >&2
    echo "format.sh: run scripts/format.sh (or the build's format target) and commit the result" >&2
    exit 1
  fi
  echo "format.sh: ${#files[@]} files formatted"
else
  clang-format --style=file -i "${files[@]}"
fi
