#!/usr/bin/env bash
# Whole tables: `sumora summarize --all-numeric` (and per group) against its floors and peers on the
# same wide data, side by side in one run: two bare wide passes splitting every row once (CSV) or
# stepping every column (SQLite), pandas' describe + skew + kurt + histograms, and, when a DuckDB
# folder is given in $DUCKDB_DIR (holding node_modules/@duckdb), DuckDB's SUMMARIZE for the record.
# Prints seconds (median of REPEAT runs), CPU seconds, peak memory and the target ratios.
#
#   bench/wide-compare.sh [BUILD=build] [ROWS...=1000000]
#
# Data (gen_wide.py: 20 numeric fields, 5 groups) goes to $SUMORA_BENCH_DATA (default /tmp/sumora-wide).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
shift || true
ROWS=("$@")
[ ${#ROWS[@]} -eq 0 ] && ROWS=(1000000)
REPEAT=${REPEAT:-3}
DATA=${SUMORA_BENCH_DATA:-/tmp/sumora-wide}
PEERS=../shared/peers
PY=/usr/bin/python3

bash scripts/setup.sh bench
mkdir -p "$DATA"
source bench/measure.sh
build_probes "$BUILD" "$PEERS" csv_scan_wide sqlite_scan_wide

printf '%-10s %-40s %9s %9s %10s\n' rows program seconds cpu_s peak_MB
for n in "${ROWS[@]}"; do
  csv="$DATA/wide_${n}x20.csv"
  db="$DATA/wide_${n}x20.sqlite"
  [ -f "$csv" ] && [ -f "$db" ] || "$PY" "$PEERS/gen_wide.py" --rows "$n" --out "$DATA" >/dev/null
  declare -A secs=() mem=()
  names=()
  commands=()
  add() {
    names+=("$1")
    shift
    commands+=("$(printf '%q ' "$@")")
  }
  S="$BUILD/bin/sumora"
  add "bare wide CSV x2" "$BUILD/peers/csv_scan_wide" "$csv" 2 all
  add "sumora --all-numeric (CSV)" "$S" summarize --db "$csv" --all-numeric --progress never --format json
  add "sumora --all-numeric --group-by grp (CSV)" "$S" summarize --db "$csv" --all-numeric --group-by grp --progress never --format json
  add "sumora report (CSV)" "$S" report --db "$csv" --progress never --out "$DATA/report.html"
  add "sumora --all-numeric --quantiles (CSV)" "$S" summarize --db "$csv" --all-numeric --quantiles 0.05,0.25,0.5,0.75,0.95 --progress never --format json
  add "pandas (CSV)" "$PY" "$PEERS/pandas_wide.py" "$csv"
  add "pandas by grp (CSV)" "$PY" "$PEERS/pandas_wide.py" "$csv" grp
  if [ -n "${DUCKDB_DIR:-}" ]; then
    add "DuckDB SUMMARIZE (CSV)" node "$DUCKDB_DIR/wide.mjs" "$csv"
  fi
  add "bare wide sqlite3_step x2" "$BUILD/peers/sqlite_scan_wide" "$db" 2 WIDE all
  add "sumora --all-numeric (SQLite)" "$S" summarize --db "$db" --table WIDE --all-numeric --progress never --format json
  # Rounds of one run of every program, so that a busy moment of a shared machine falls on all of them
  # alike rather than on the runs of one.
  declare -A times=() cpus=()
  for ((round = 0; round < REPEAT; round++)); do
    for i in "${!names[@]}"; do
      read -r s k c < <(eval "REPEAT=1 measure ${commands[$i]}")
      times[$i]+="$s "
      cpus[$i]+="$c "
      [ "${mem[${names[$i]}]:-0}" -ge "$k" ] || mem[${names[$i]}]=$k
    done
  done
  for i in "${!names[@]}"; do
    name=${names[$i]}
    # shellcheck disable=SC2086
    secs[$name]=$(_measure_median ${times[$i]})
    # shellcheck disable=SC2086
    printf '%-10s %-40s %9s %9s %10.1f\n' "$n" "$name" "${secs[$name]}" "$(_measure_median ${cpus[$i]})" \
      "$(echo "${mem[$name]} / 1024" | bc -l)"
  done
  ratio() { printf "%.2f" "$(echo "$1 / $2" | bc -l)"; }
  echo "  CSV: sumora / bare = $(ratio "${secs[sumora --all-numeric (CSV)]}" "${secs[bare wide CSV x2]}") (target <= 1.2)"
  echo "  CSV: sumora / pandas = $(ratio "${secs[sumora --all-numeric (CSV)]}" "${secs[pandas (CSV)]}") (target <= 0.5)"
  echo "  CSV: grouped / ungrouped = $(ratio "${secs[sumora --all-numeric --group-by grp (CSV)]}" "${secs[sumora --all-numeric (CSV)]}") (target <= 1.25)"
  echo "  CSV: report / summarize --quantiles = $(ratio "${secs[sumora report (CSV)]}" "${secs[sumora --all-numeric --quantiles (CSV)]}") (target <= 1.5)"
  echo "  CSV: report / pandas = $(ratio "${secs[sumora report (CSV)]}" "${secs[pandas (CSV)]}") (target <= 0.5)"
  echo "  SQLite: sumora / bare = $(ratio "${secs[sumora --all-numeric (SQLite)]}" "${secs[bare wide sqlite3_step x2]}") (target <= 1.3)"
done
