#!/usr/bin/env bash
# All benchmarks of one build: the dataset-layer scan against bare SQLite and CSV loops, then the
# whole-process comparisons of `sumora summarize` with its floors and peers, one field and whole tables,
# and whole tables summed by a PostgreSQL server (1,000,000 rows; pass more sizes to the scripts for the 10,000,000-row figures).
set -euo pipefail
BUILD=${1:-build}
cd "$(dirname "$0")/.."
"$BUILD/bench/ScanBench"
bench/summarize-compare.sh "$BUILD" 1000000
bench/wide-compare.sh "$BUILD" 1000000
bench/pg-wide.sh "$BUILD" 1000000
