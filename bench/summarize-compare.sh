#!/usr/bin/env bash
# Whole-process comparison of `sumora summarize` with its floors and peers on the same data, side by
# side in one run: two bare sqlite3_step passes, two bare mmap + from_chars passes over the CSV, and
# pandas reading the CSV and computing the same statistics. Prints seconds (median of REPEAT runs),
# peak memory and the ratios the targets are stated in.
#
#   bench/summarize-compare.sh [BUILD=build] [ROWS...=1000000 10000000]
#
# Data goes to $SUMORA_BENCH_DATA (default /tmp/sumora-peers); it is generated once per size.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
shift || true
ROWS=("$@")
[ ${#ROWS[@]} -eq 0 ] && ROWS=(1000000 10000000)
REPEAT=${REPEAT:-3}
DATA=${SUMORA_BENCH_DATA:-/tmp/sumora-peers}
PEERS=../shared/peers
PY=/usr/bin/python3

bash scripts/setup.sh bench
mkdir -p "$DATA"
source bench/measure.sh
build_probes "$BUILD" "$PEERS" sqlite_scan csv_scan

printf '%-10s %-34s %9s %9s %10s\n' rows program seconds cpu_s peak_MB
for n in "${ROWS[@]}"; do
  csv="$DATA/orders_$n.csv"
  db="$DATA/orders_$n.sqlite"
  [ -f "$csv" ] && [ -f "$db" ] || "$PY" "$PEERS/gen_data.py" --rows "$n" --out "$DATA" >/dev/null
  declare -A secs=() mem=() cpu=()
  run() {
    local name=$1
    shift
    read -r s k c < <(measure "$@")
    secs[$name]=$s
    mem[$name]=$k
    cpu[$name]=$c
    printf '%-10s %-34s %9s %9s %10.1f\n' "$n" "$name" "$s" "$c" "$(echo "$k / 1024" | bc -l)"
  }
  run "bare sqlite3_step x2" "$BUILD/peers/sqlite_scan" "$db" 2 amount ORDERS
  run "sumora summarize (SQLite)" "$BUILD/bin/sumora" summarize --db "$db" --table ORDERS --field amount --progress never
  run "bare mmap+from_chars x2" "$BUILD/peers/csv_scan" "$csv" 2 amount
  run "sumora summarize (CSV)" "$BUILD/bin/sumora" summarize --db "$DATA" --table "orders_$n.csv" --field amount --progress never
  run "pandas (CSV)" "$PY" "$PEERS/pandas_stats.py" csv "$csv"
  ratio() { echo "scale=2; $1 / $2" | bc -l; }
  echo "  SQLite: sumora / bare = $(ratio "${secs[sumora summarize (SQLite)]}" "${secs[bare sqlite3_step x2]}")  (target <= 1.5)"
  echo "  CSV:    sumora / bare = $(ratio "${secs[sumora summarize (CSV)]}" "${secs[bare mmap+from_chars x2]}")  (target <= 2.5)"
  echo "  pandas / sumora (CSV) = $(ratio "${secs[pandas (CSV)]}" "${secs[sumora summarize (CSV)]}")  (target >= 4)"
  echo "  CPU time: SQLite $(ratio "${cpu[sumora summarize (SQLite)]}" "${cpu[bare sqlite3_step x2]}"), CSV $(ratio "${cpu[sumora summarize (CSV)]}" "${cpu[bare mmap+from_chars x2]}"), pandas / CSV $(ratio "${cpu[pandas (CSV)]}" "${cpu[sumora summarize (CSV)]}")"
  unset secs mem cpu
done
