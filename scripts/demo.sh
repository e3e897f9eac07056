#!/usr/bin/env bash
# The main job on the bundled sample: the summary and the class table of ORDERS.AMOUNT, then the plot
# windows (axes, title and buttons) as pictures.
set -euo pipefail
BUILD=${1:-build}
cd "$(dirname "$0")/.."
SUMORA="$BUILD/bin/sumora"
run() {
  echo
  echo "\$ sumora $*"
  "$SUMORA" "$@"
}
run summarize --db data/orders.sqlite --table ORDERS --field AMOUNT --progress never
run classes --db data/orders.sqlite --table ORDERS --field AMOUNT --progress never
run summarize --db data/orders.sqlite --table ORDERS --all-numeric --format table --progress never
run summarize --db data/orders.sqlite --table ORDERS --all-numeric --group-by REGION --format table --progress never
mkdir -p out
run report --db data/orders.sqlite --table ORDERS --progress never --out out/orders-report.html &&
  echo "report: out/orders-report.html"
if "$SUMORA" --help | grep -q '^  plot '; then
  mkdir -p out
  for kind in histogram cumulative polygon input-order; do
    if "$SUMORA" plot --db data/orders.sqlite --table ORDERS --field AMOUNT --progress never --kind "$kind" \
        --seed 1 --window --out "out/plot-$kind.png" 2>/dev/null; then
      echo "plot: out/plot-$kind.png"
    fi
  done
fi
