#!/usr/bin/env bash
# What the exact quantiles cost on top of the summary: `sumora summarize` alone against
# `summarize --quantiles` (the quartiles and the median of every value) on the peers' data, SQLite
# and CSV, side by side in one run. Prints seconds (median of REPEAT runs), peak memory, the time
# ratio (target <= 1.8) and the extra peak memory (target <= 8 MB), then checks the quartiles against
# numpy.percentile on the same values.
#
#   bench/quantile-compare.sh [BUILD=build] [ROWS...=10000000]
#
# Data goes to $SUMORA_BENCH_DATA (default /tmp/sumora-peers); it is generated once per size.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
shift || true
ROWS=("$@")
[ ${#ROWS[@]} -eq 0 ] && ROWS=(10000000)
REPEAT=${REPEAT:-3}
DATA=${SUMORA_BENCH_DATA:-/tmp/sumora-peers}
PEERS=../shared/peers
PY=/usr/bin/python3

bash scripts/setup.sh bench
mkdir -p "$DATA"

source bench/measure.sh
# The last run's output (the JSON the quantiles are checked from).
MEASURE_OUT=$(mktemp)
trap 'rm -f "$MEASURE_OUT"' EXIT

printf '%-10s %-40s %9s %10s\n' rows program seconds peak_MB
for n in "${ROWS[@]}"; do
  csv="$DATA/orders_$n.csv"
  db="$DATA/orders_$n.sqlite"
  [ -f "$csv" ] && [ -f "$db" ] || "$PY" "$PEERS/gen_data.py" --rows "$n" --out "$DATA" >/dev/null
  for source in SQLite CSV; do
    if [ "$source" = SQLite ]; then bind=(--db "$db" --table ORDERS); else bind=(--db "$DATA" --table "orders_$n.csv"); fi
    base=("$BUILD/bin/sumora" summarize "${bind[@]}" --field amount --progress never)
    read -r s0 k0 _ < <(measure "${base[@]}")
    printf '%-10s %-40s %9s %10.1f\n' "$n" "summarize ($source)" "$s0" "$(echo "$k0 / 1024" | bc -l)"
    read -r s1 k1 _ < <(measure "${base[@]}" --quantiles --format json)
    printf '%-10s %-40s %9s %10.1f\n' "$n" "summarize --quantiles ($source)" "$s1" "$(echo "$k1 / 1024" | bc -l)"
    echo "  $source: time ratio $(echo "scale=2; $s1 / $s0" | bc -l) (target <= 1.8), extra peak $(echo "scale=1; ($k1 - $k0) / 1024" | bc -l) MB (target <= 8)"
  done
  # The last run printed the CSV source's JSON; numpy reads the same values from the SQLite file.
  "$PY" - "$db" "$MEASURE_OUT" <<'PYEOF'
import json, sqlite3, sys
import numpy as np
con = sqlite3.connect(sys.argv[1])
x = np.array([r[0] for r in con.execute("SELECT amount FROM ORDERS WHERE amount IS NOT NULL")], dtype=float)
got = json.load(open(sys.argv[2]))
want = np.percentile(x, [25, 50, 75])
worst = max(abs(q["value"] - w) / abs(w) for q, w in zip(got["quantiles"], want))
print(f"  numpy.percentile {list(want)} vs sumora {[q['value'] for q in got['quantiles']]}: "
      f"worst relative difference {worst:.3g} (target <= 1e-15)")
PYEOF
done
