#!/usr/bin/env bash
# Whole tables summed by the PostgreSQL server: the peers' wide table (gen_wide.py: 20 numeric fields,
# `grp` of 5 values) loaded as float8 columns and a text `grp`, then, side by side in one run, one field
# server-side, all 20 server-side, all 20 per `grp` server-side and all 20 streaming. The runs are
# alternated (one of each, then again) and each figure is the median of REPEAT runs (default 3), because
# the machine is shared. Prints seconds, peak memory, the bytes the client received (strace: the sum of
# what recvfrom returned, a run of its own) and the targets:
#   all 20 fields server-side <= 2x one field server-side, at 10,000,000 rows;
#   bytes received independent of the row count.
#
#   bench/pg-wide.sh [BUILD=build] [ROWS...=1000000]      (add 10000000 for the large run)
#
# Data (CSV) comes from, or is generated into, $SUMORA_BENCH_DATA (default /tmp/sumora-wide).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/measure.sh
BUILD=${1:-build}
shift || true
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(1000000)
REPEAT=${REPEAT:-3}
DATA=${SUMORA_BENCH_DATA:-/tmp/sumora-wide}
PEERS=../shared/peers
SUMORA="$BUILD/bin/sumora"
[ -x "$SUMORA" ] || { echo "pg-wide: build $SUMORA first (cmake --build $BUILD --target sumora)" >&2; exit 1; }

bash scripts/setup.sh bench
mkdir -p "$DATA"
SQL=$(mktemp "${TMPDIR:-/tmp}/sumora-pg-wide.XXXXXX.sql")
trap 'rm -f "$SQL"' EXIT
columns=$(for i in $(seq -w 0 19); do printf 'c%s float8, ' "$i"; done)
for rows in "${SIZES[@]}"; do
  csv="$DATA/wide_${rows}x20.csv"
  [ -f "$csv" ] || /usr/bin/python3 "$PEERS/gen_wide.py" --rows "$rows" --out "$DATA" >/dev/null
  cat >>"$SQL" <<SQLTEXT
CREATE TABLE wide_$rows (${columns}grp text);
\\copy wide_$rows FROM '$csv' WITH (FORMAT csv, HEADER true)
VACUUM ANALYZE wide_$rows;
SQLTEXT
done
chmod 644 "$SQL"

source scripts/pg-test-server.sh
echo "pg-wide: loading ${SIZES[*]} rows" >&2
pg_test_server_start "$SQL" || { echo "pg-wide: no PostgreSQL server" >&2; exit 1; }
trap 'rm -f "$SQL"; pg_test_server_stop' EXIT
URL=$SUMORA_PG_TEST_URL



NAMES=("1 field server-side" "20 fields server-side" "20 fields by grp server-side" "20 fields streaming")
printf '%-10s %-30s %9s %9s %14s\n' rows program seconds peak_MB bytes_received
declare -A BYTES
for rows in "${SIZES[@]}"; do
  # program I: CMD becomes the command line of NAMES[I].
  program() {
    local base=("$SUMORA" summarize --db "$URL" --table "wide_$rows" --progress never --format json)
    case $1 in
      0) CMD=("${base[@]}" --field c00 --server-side) ;;
      1) CMD=("${base[@]}" --all-numeric --server-side) ;;
      2) CMD=("${base[@]}" --all-numeric --group-by grp --server-side) ;;
      3) CMD=("${base[@]}" --all-numeric) ;;
    esac
  }
  declare -A times=() peaks=()
  timing=$(mktemp)
  for ((run = 0; run < REPEAT; run++)); do
    for i in "${!NAMES[@]}"; do
      program "$i"
      /usr/bin/time -f "%e %M" -o "$timing" "${CMD[@]}" >/dev/null 2>&1 || { echo "pg-wide: failed: ${CMD[*]}" >&2; exit 1; }
      read -r e kb < <(tail -1 "$timing")
      times[$i]="${times[$i]:-} $e"
      [ "${peaks[$i]:-0}" -ge "$kb" ] || peaks[$i]=$kb
    done
  done
  rm -f "$timing"
  declare -A secs=()
  for i in "${!NAMES[@]}"; do
    # shellcheck disable=SC2086
    secs[$i]=$(_measure_median ${times[$i]})
    program "$i"
    bytes=$(bytes_received "${CMD[@]}")
    [ "$i" != 1 ] || BYTES[$rows]=$bytes
    awk -v r="$rows" -v n="${NAMES[$i]}" -v t="${secs[$i]}" -v m="${peaks[$i]}" -v b="$bytes" \
      'BEGIN { printf "%-10s %-30s %9.2f %9.1f %14s\n", r, n, t, m / 1024, b }'
  done
  awk -v one="${secs[0]}" -v all="${secs[1]}" -v grouped="${secs[2]}" -v streamed="${secs[3]}" 'BEGIN {
    printf "           20 fields / 1 field server-side: %.2f (target <= 2); by grp / 1 field: %.2f; streaming / server-side: %.2f\n",
      all / one, grouped / one, streamed / all }'
done
if [ -n "${BYTES[1000000]:-}" ] && [ -n "${BYTES[10000000]:-}" ] && [ "${BYTES[1000000]}" != "-" ]; then
  echo "20 fields server-side, bytes received 10,000,000 rows vs 1,000,000: ${BYTES[10000000]} vs ${BYTES[1000000]} (target: independent of the row count)"
fi
