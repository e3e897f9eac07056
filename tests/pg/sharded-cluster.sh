#!/usr/bin/env bash
# Starts the three-server cluster of scripts/pg-test-server.sh (1,000,000 rows over two shards) and runs the
# sharded tests against it; stops the cluster on every way out.
#   sharded-cluster.sh TEST_PROGRAM [ROWS]
set -euo pipefail
PROGRAM=$1
ROWS=${2:-1000000}
cd "$(dirname "$0")/../.."
# shellcheck source=/dev/null
source scripts/pg-test-server.sh
started=$(date +%s)
pg_test_cluster_start "$ROWS" || { echo "sharded-cluster: no cluster could be started" >&2; exit 1; }
echo "sharded-cluster: cluster ready in $(($(date +%s) - started)) s" >&2
"$PROGRAM"
echo "sharded-cluster: done in $(($(date +%s) - started)) s" >&2
