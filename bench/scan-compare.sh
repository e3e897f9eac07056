#!/bin/sh
# Runs ScanBench at two table sizes: the full comparison at 1,000,000 rows, then the dataset scans alone
# in fresh processes at 100,000 and 1,000,000 rows, so their peak memory can be compared.
# usage: bench/scan-compare.sh [BUILD_DIR]   (default: build)
set -eu
build=${1:-build}
bench="$build/bench/ScanBench"
[ -x "$bench" ] || { echo "error: $bench not found; build the ScanBench target first" >&2; exit 1; }
export SUMORA_BENCH_DIR="${SUMORA_BENCH_DIR:-${TMPDIR:-/tmp}/sumora-scanbench-$(id -u)}"

for rows in 100000 1000000; do
  # Generate the files first (no benchmark runs), so generating does not count towards peak memory.
  SUMORA_BENCH_ROWS=$rows "$bench" --benchmark_filter='^$' >/dev/null
done

echo "== full comparison, 1,000,000 rows"
SUMORA_BENCH_ROWS=1000000 "$bench" 2>/dev/null

echo "== peak memory of the dataset scans alone"
for rows in 100000 1000000; do
  for driver in Sqlite Csv; do
    printf '%-7s %8s rows: ' "$driver" "$rows"
    SUMORA_BENCH_ROWS=$rows "$bench" --benchmark_filter="BM_Dataset$driver\$" 2>/dev/null | grep 'peak RSS'
  done
done
