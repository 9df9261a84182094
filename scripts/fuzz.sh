#!/usr/bin/env bash
# Builds the fuzzer of the executable-image reader (fuzz/) with clang and
# libFuzzer into build-fuzz/ and runs it on its seeds:
#   scripts/fuzz.sh [seconds]      (default 60; scripts/setup.sh installs clang and libFuzzer)
# The corpus grows in a temporary folder that goes away afterwards. An input
# that crashes the reader, leaks, runs out of memory or hangs fails the run and
# is kept in build-fuzz/findings/: copy it to tests/Files/regression, where
# tst_uPE32Image walks it through the same steps.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DZANDRELL_FUZZ=ON -DZANDRELL_WITH_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzz_pe pe_seeds -j"$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" build-fuzz/findings
build-fuzz/fuzz/pe_seeds "$work/seeds"
# New inputs go to the first folder; the seeds are only read.
build-fuzz/fuzz/fuzz_pe -dict=fuzz/pe.dict -max_total_time="$seconds" -timeout=20 \
  -artifact_prefix="$PWD/build-fuzz/findings/" -print_final_stats=1 "$work/corpus" "$work/seeds"
