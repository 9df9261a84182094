#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then runs the whole test suite.
#   --sanitize   the same suite built with AddressSanitizer and
#                UndefinedBehaviorSanitizer in build-sanitize/; any report fails
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh "$@"
# The unit programs run side by side; the acceptance journeys run after them on
# their own, since they drive a real desktop (an X server, a window manager,
# several console processes) whose timing a busy machine disturbs. A program
# that fails is run once more; the first run's output stays in the log, and a
# failure that comes back fails the suite.
suite() {
  local dir=$1; shift
  local failed=0
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" -E '^tst_Acceptance$' --repeat until-pass:2 "$@" || failed=1
  ctest --test-dir "$dir" --output-on-failure -R '^tst_Acceptance$' --repeat until-pass:2 "$@" || failed=1
  return $failed
}
if [ "${1:-}" = "--sanitize" ]; then
  # Leaks of the system's font and display libraries are theirs, not ours.
  export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0"
  export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  suite build-sanitize --timeout 900
else
  suite build
fi
