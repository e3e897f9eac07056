#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build directory build-fuzz, AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for a bounded time from its seed corpus.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]     default: 60 seconds, every target
# Prints the executions and findings of each target; exits 1 when any target found a crash.
# Crash inputs are kept in build-fuzz/findings/<target>/ for turning into regression tests.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-60}
shift || true
BUILD=${FUZZ_BUILD:-build-fuzz}
CLANG=${CLANG:-clang-14}
CLANGXX=${CLANGXX:-clang++-14}
ALL_TARGETS=(csv_table csv_oracle form_file format_float pg_value json_text)
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=("${ALL_TARGETS[@]}")

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER="$CLANG" -DCMAKE_CXX_COMPILER="$CLANGXX" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DSUMORA_SANITIZE=ON -DSUMORA_FUZZ=ON \
  -DSUMORA_WITH_QT=OFF -DSUMORA_WITH_POSTGRESQL=OFF -DSUMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target "${TARGETS[@]/#/fuzz_}" >/dev/null

status=0
printf '%-14s %12s %10s %s\n' target executions findings corpus
for target in "${TARGETS[@]}"; do
  corpus="$BUILD/corpus/$target"        # grows during the run; the seeds stay untouched
  findings="$BUILD/findings/$target"
  mkdir -p "$corpus" "$findings"
  log="$BUILD/fuzz-$target.log"
  # -fork keeps fuzzing after a crash so one run reports every distinct finding.
  set +e
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
    "$BUILD/fuzz/fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" -fork=1 -ignore_crashes=1 \
    -max_len=65536 -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/" \
    "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1
  set -e
  # In fork mode the parent's status lines "#N: cov: ..." carry the running total of executions.
  executions=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#' || true)
  found=$(find "$findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  printf '%-14s %12s %10s %s\n' "$target" "${executions:-0}" "$found" "$(find "$corpus" -type f | wc -l) inputs"
  [ "$found" -gt 0 ] && status=1
done
exit $status
