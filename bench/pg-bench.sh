#!/usr/bin/env bash
# Summarize over a PostgreSQL table against the floor, a bare libpq cursor loop making the same two passes
# over the same column, and the server-side mode (--server-side) against streaming. Starts its own
# throwaway server, loads one table per size with generate_series, and prints time, rows/s, client peak
# memory, bytes the client received, and the ratios the driver must meet:
#   streaming: throughput >= 70 % of the bare loop; peak memory < 64 MB and within 10 % of the 1,000,000-row run;
#   server-side: >= 4x faster than streaming at 10,000,000 rows; bytes received independent of the row count
#   (only the first 10000 values travel); peak memory <= 16 MB.
# Bytes received are counted with strace (the sum of what recvfrom returned), in a run of their own.
#
# usage: bench/pg-bench.sh [BUILD_DIR] [ROWS...]      (default: build 1000000; add 10000000 for the large run)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/measure.sh
BUILD=${1:-build}
shift || true
SIZES=("$@")
[ ${#SIZES[@]} -gt 0 ] || SIZES=(1000000)
REPEAT=${PG_BENCH_REPEAT:-3}
SUMORA="$BUILD/bin/sumora"
[ -x "$SUMORA" ] || { echo "pg-bench: build $SUMORA first (cmake --build $BUILD --target sumora)" >&2; exit 1; }

# The floor program, built beside our binaries from the peers' source.
PEERS=${SUMORA_PEERS_DIR:-../shared/peers/c}
SCAN="$BUILD/bench/pg_scan"
if [ ! -x "$SCAN" ] || [ "$PEERS/pg_scan.cpp" -nt "$SCAN" ]; then
  mkdir -p "$BUILD/bench"
  g++ -O2 -std=c++17 -I"$PEERS" -I"$(pg_config --includedir)" -o "$SCAN" "$PEERS/pg_scan.cpp" -lpq
fi

# Log-normal-ish amounts with 2 % nulls, and an id column the bare loop never reads.
SQL=$(mktemp "${TMPDIR:-/tmp}/sumora-pg-bench.XXXXXX.sql")
trap 'rm -f "$SQL"' EXIT
for rows in "${SIZES[@]}"; do
  cat >>"$SQL" <<SQLTEXT
CREATE TABLE orders_$rows (id int8, amount float8);
INSERT INTO orders_$rows
SELECT i, CASE WHEN i % 50 = 0 THEN NULL ELSE exp(((i * 7919) % 10007) / 2000.0) END
FROM generate_series(1::int8, $rows) AS i;
VACUUM ANALYZE orders_$rows;
SQLTEXT
done
chmod 644 "$SQL"

source scripts/pg-test-server.sh
echo "pg-bench: loading ${SIZES[*]} rows" >&2
pg_test_server_start "$SQL" || { rm -f "$SQL"; echo "pg-bench: no PostgreSQL server" >&2; exit 1; }
trap 'rm -f "$SQL"; pg_test_server_stop' EXIT
URL=$SUMORA_PG_TEST_URL
PORT=${URL##*:}
CONNINFO="host=127.0.0.1 port=${PORT%%/*} user=postgres dbname=sumora_test"

# Best of REPEAT runs: "seconds peak_kB".
measure() {
  local best_time="" best_rss="" run out
  for ((run = 0; run < REPEAT; run++)); do
    out=$( { /usr/bin/time -f "TIME %e %M" "$@" >/dev/null; } 2>&1 | grep '^TIME') || { echo "pg-bench: failed: $*" >&2; exit 1; }
    read -r _ t m <<<"$out"
    if [ -z "$best_time" ] || awk -v a="$t" -v b="$best_time" 'BEGIN { exit !(a < b) }'; then best_time=$t; fi
    if [ -z "$best_rss" ] || [ "$m" -gt "$best_rss" ]; then best_rss=$m; fi
  done
  echo "$best_time $best_rss"
}


# The program's own footprint (its shared libraries; `sumora` links no Qt), which every run below carries.
read -r _ base_m < <(measure "$SUMORA" --version)
awk -v m="$base_m" 'BEGIN { printf "baseline: sumora --version peaks at %.1f MB\n", m / 1024 }'
printf '%-10s %-24s %8s %12s %9s %14s\n' rows program seconds rows/s peak_MB bytes_received
declare -A RSS SERVER_RSS BYTES
for rows in "${SIZES[@]}"; do
  read -r floor_t floor_m < <(measure "$SCAN" "$CONNINFO" 2 10000 text amount "orders_$rows")
  read -r query_t query_m < <(measure "$SUMORA" summarize --db "$URL" --sql "SELECT amount FROM orders_$rows" \
                                --field amount --progress never)
  read -r table_t table_m < <(measure "$SUMORA" summarize --db "$URL" --table "orders_$rows" --field amount \
                                --progress never)
  server=("$SUMORA" summarize --db "$URL" --table "orders_$rows" --field amount --progress never --server-side)
  read -r server_t server_m < <(measure "${server[@]}")
  table_bytes=$(bytes_received "$SUMORA" summarize --db "$URL" --table "orders_$rows" --field amount --progress never)
  server_bytes=$(bytes_received "${server[@]}")
  for entry in "bare libpq loop:$floor_t:$floor_m:" "summarize (query):$query_t:$query_m:" \
               "summarize (table):$table_t:$table_m:$table_bytes" "summarize --server-side:$server_t:$server_m:$server_bytes"; do
    IFS=: read -r name t m b <<<"$entry"
    awk -v r="$rows" -v n="$name" -v t="$t" -v m="$m" -v b="${b:--}" \
      'BEGIN { printf "%-10s %-24s %8.2f %12.0f %9.1f %14s\n", r, n, t, r / t, m / 1024, b }'
  done
  awk -v f="$floor_t" -v q="$query_t" -v t="$table_t" \
    'BEGIN { printf "           throughput vs bare loop: query %.0f %%, table %.0f %% (target >= 70 %%)\n", 100 * f / q, 100 * f / t }'
  awk -v t="$table_t" -v s="$server_t" -v m="$server_m" -v b="$base_m" \
    'BEGIN { printf "           server-side vs streaming: %.1fx faster (target >= 4x at 10,000,000 rows); peak %.1f MB, %.1f MB above the baseline (target <= 16 MB)\n", t / s, m / 1024, (m - b) / 1024 }'
  RSS[$rows]=$query_m
  SERVER_RSS[$rows]=$server_m
  BYTES[$rows]=$server_bytes
done
if [ -n "${RSS[1000000]:-}" ] && [ -n "${RSS[10000000]:-}" ]; then
  awk -v a="${RSS[1000000]}" -v b="${RSS[10000000]}" \
    'BEGIN { printf "peak memory 10,000,000 rows vs 1,000,000: %.1f MB vs %.1f MB (%+.1f %%; target < 64 MB, within 10 %%)\n", b / 1024, a / 1024, 100 * (b - a) / a }'
fi
if [ -n "${BYTES[1000000]:-}" ] && [ -n "${BYTES[10000000]:-}" ] && [ "${BYTES[1000000]}" != "-" ]; then
  echo "server-side bytes received 10,000,000 rows vs 1,000,000: ${BYTES[10000000]} vs ${BYTES[1000000]} (target: independent of the row count)"
fi
