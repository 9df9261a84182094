#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then runs the whole test suite.
#   --sanitize   the same suite built with AddressSanitizer and
#                UndefinedBehaviorSanitizer in build-sanitize/; any report fails
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh "$@"
if [ "${1:-}" = "--sanitize" ]; then
  # Leaks of the system's font and display libraries are theirs, not ours.
  export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0"
  export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" --timeout 900
else
  ctest --test-dir build --output-on-failure -j"$(nproc)"
fi
