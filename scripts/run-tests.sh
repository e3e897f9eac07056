#!/usr/bin/env bash
# Runs the whole suite of one build directory through ctest. A throwaway PostgreSQL server is
# started for the PostgreSQL tests when the machine has one (scripts/pg-test-server.sh) and stopped
# on every way out.
set -euo pipefail
BUILD=${1:-build}
cd "$(dirname "$0")/.."

if [ -x scripts/pg-test-server.sh ] && [ -z "${SUMORA_PG_TEST_URL:-}" ]; then
  # shellcheck source=/dev/null
  source scripts/pg-test-server.sh
  pg_test_server_start || echo "run-tests: no PostgreSQL test server; its tests will be skipped" >&2
fi

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" --timeout 600
