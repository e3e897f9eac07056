#!/usr/bin/env bash
# The main job on the bundled sample: the summary and the class table of ORDERS.AMOUNT.
set -euo pipefail
BUILD=${1:-build}
cd "$(dirname "$0")/.."
SUMORA="$BUILD/bin/sumora"
echo "== sumora describe --db data/orders.sqlite --table ORDERS"
"$SUMORA" describe --db data/orders.sqlite --table ORDERS
