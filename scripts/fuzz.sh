#!/usr/bin/env bash
# Builds the number-reading fuzzer with clang and runs it for a bounded time.
#   scripts/fuzz.sh [seconds]     (default 60)
# New inputs it finds go to build-fuzz/corpus, not into the seed corpus in
# tests/fuzz/corpus; a crashing input is written to build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/configure.sh fuzz
cmake --build build-fuzz -j "$(nproc 2>/dev/null || echo 2)"

mkdir -p build-fuzz/corpus
build-fuzz/tests/fuzz/number_fuzzer -max_total_time="$seconds" -max_len=4096 -timeout=10 \
  -print_final_stats=1 -artifact_prefix=build-fuzz/ \
  build-fuzz/corpus tests/fuzz/corpus
