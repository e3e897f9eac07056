#!/usr/bin/env bash
# Summarizes a large CSV file and a large SQLite table with the `sumora` command and reports elapsed
# time and peak memory for each, next to an input ten times smaller, to show that memory does not
# grow with the size of the data (the engine keeps 10000 values; the drivers stream).
#
#   bench/large-inputs.sh [BUILD=build] [CSV_GB=2] [SQLITE_ROWS=50000000]
#
# Data goes to $SUMORA_LARGE_DATA (default /tmp/sumora-large); each file is generated once and kept
# for later runs (delete the directory to regenerate). The full sizes need about 3.5 GB of disk.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
CSV_GB=${2:-2}
SQLITE_ROWS=${3:-50000000}
DATA=${SUMORA_LARGE_DATA:-/tmp/sumora-large}
SUMORA=$BUILD/bin/sumora
[ -x "$SUMORA" ] || { echo "large-inputs: build $SUMORA first (make build)" >&2; exit 1; }
command -v sqlite3 >/dev/null || { echo "large-inputs: needs the sqlite3 command" >&2; exit 1; }
mkdir -p "$DATA"

# A CSV of about `bytes` bytes: ID,AMOUNT,NOTE with AMOUNT spread over 0..10000 with two decimals,
# written by awk straight to the file (nothing is held in memory).
make_csv() {
  local file=$1 bytes=$2
  [ -s "$file" ] && return
  echo "generating $file (~$((bytes / 1000000)) MB)" >&2
  awk -v limit="$bytes" 'BEGIN {
    srand(7); print "ID,AMOUNT,NOTE"; size = 15
    for (i = 1; size < limit; i++) {
      line = i "," sprintf("%.2f", rand() * 10000) ",n" (i % 97)
      print line; size += length(line) + 1
    }
  }' >"$file.tmp"
  mv "$file.tmp" "$file"
}

# An SQLite table T(ID INTEGER, AMOUNT REAL) of `rows` rows, generated inside sqlite3.
make_sqlite() {
  local file=$1 rows=$2
  [ -s "$file" ] && return
  echo "generating $file ($rows rows)" >&2
  rm -f "$file.tmp"
  sqlite3 "$file.tmp" "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;
    CREATE TABLE T (ID INTEGER, AMOUNT REAL);
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
    INSERT INTO T SELECT i, (abs(random()) % 1000000) / 100.0 FROM n;" >/dev/null
  mv "$file.tmp" "$file"
}

# Runs one summary under /usr/bin/time -v; prints "label  size  seconds  peak-MB  records".
measure() {
  local label=$1 size=$2; shift 2
  local timing out
  timing=$(mktemp)
  out=$(/usr/bin/time -v "$SUMORA" summarize "$@" --progress never 2>"$timing")
  local seconds peak records
  seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s}' "$timing")
  peak=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$timing")
  records=$(printf '%s\n' "$out" | sed -n 's/^Record Count: //p')
  rm -f "$timing"
  printf '%-8s %12s %10s s %10s MB %12s\n' "$label" "$size" "$seconds" "$peak" "$records"
}

CSV_BYTES=$((CSV_GB * 1000 * 1000 * 1000))
mkdir -p "$DATA/csv-small" "$DATA/csv-large"
make_csv "$DATA/csv-small/orders.csv" $((CSV_BYTES / 10))
make_csv "$DATA/csv-large/orders.csv" "$CSV_BYTES"
make_sqlite "$DATA/small.sqlite" $((SQLITE_ROWS / 10))
make_sqlite "$DATA/large.sqlite" "$SQLITE_ROWS"

printf '%-8s %12s %12s %13s %12s\n' input size elapsed peak records
measure csv "$(du -h "$DATA/csv-small/orders.csv" | cut -f1)" --db "$DATA/csv-small" --table orders.csv --field AMOUNT
measure csv "$(du -h "$DATA/csv-large/orders.csv" | cut -f1)" --db "$DATA/csv-large" --table orders.csv --field AMOUNT
measure sqlite "$((SQLITE_ROWS / 10)) rows" --db "$DATA/small.sqlite" --table T --field AMOUNT
measure sqlite "$SQLITE_ROWS rows" --db "$DATA/large.sqlite" --table T --field AMOUNT
