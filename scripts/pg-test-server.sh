#!/usr/bin/env bash
# A throwaway PostgreSQL 15 server for the PostgreSQL tests and benchmarks. Source this file, then call
#
#   pg_test_server_start [SQL_FILE...]
#
# It starts a server on 127.0.0.1 on a free high port with its data directory under a fresh temporary
# folder, creates the database sumora_test, loads tests/pg/fixtures.sql (or the given SQL files) and
# exports SUMORA_PG_TEST_URL. A trap stops the server and removes the folder on every way out (EXIT, INT,
# TERM). It returns non-zero, without exiting, when no server could be started, so callers can go on
# without the PostgreSQL tests.

PG_TEST_BIN=${PG_TEST_BIN:-/usr/lib/postgresql/15/bin}
_PG_TEST_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
_PG_TEST_DIR=

# The server refuses to run as root: as root, run its tools as the postgres user.
_pg_test_as_owner() {
  if [ "$(id -u)" = 0 ] && command -v runuser >/dev/null 2>&1; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

_pg_test_fail() {
  echo "pg-test-server: $1" >&2
  local log
  for log in "$_PG_TEST_DIR/initdb.log" "$_PG_TEST_DIR/server.log"; do
    if [ -n "$_PG_TEST_DIR" ] && [ -f "$log" ]; then tail -n 5 "$log" >&2; fi
  done
  pg_test_server_stop
  return 1
}

# Stops the server (fast: its data is thrown away anyway) and removes its folder. Safe to call twice.
pg_test_server_stop() {
  [ -n "${_PG_TEST_DIR:-}" ] || return 0
  if [ -f "$_PG_TEST_DIR/data/postmaster.pid" ]; then
    _pg_test_as_owner "$PG_TEST_BIN/pg_ctl" -D "$_PG_TEST_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$_PG_TEST_DIR"
  _PG_TEST_DIR=
  unset SUMORA_PG_TEST_URL
}

_pg_test_port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

pg_test_server_start() {
  [ -x "$PG_TEST_BIN/initdb" ] || { echo "pg-test-server: no PostgreSQL 15 in $PG_TEST_BIN" >&2; return 1; }
  if [ "$(id -u)" = 0 ] && ! id postgres >/dev/null 2>&1; then
    echo "pg-test-server: running as root needs the postgres user" >&2
    return 1
  fi
  _PG_TEST_DIR=$(mktemp -d "${TMPDIR:-/tmp}/sumora-pg.XXXXXX") || { echo "pg-test-server: no temporary folder" >&2; return 1; }
  trap 'pg_test_server_stop' EXIT
  trap 'pg_test_server_stop; exit 130' INT
  trap 'pg_test_server_stop; exit 143' TERM
  chmod 700 "$_PG_TEST_DIR"
  if [ "$(id -u)" = 0 ]; then chown postgres: "$_PG_TEST_DIR" || { _pg_test_fail "cannot hand $_PG_TEST_DIR to postgres"; return 1; }; fi

  # No fsync anywhere: the cluster lives for one run.
  _pg_test_as_owner "$PG_TEST_BIN/initdb" -D "$_PG_TEST_DIR/data" -U postgres -A trust -E UTF8 --locale=C \
    --no-sync --no-instructions >"$_PG_TEST_DIR/initdb.log" 2>&1 || { _pg_test_fail "initdb failed"; return 1; }
  # One role needs a password, so that a wrong one can be tested; everyone else is trusted on loopback.
  cat >"$_PG_TEST_DIR/data/pg_hba.conf" <<'HBA'
local all all trust
host all sumora_password_check 127.0.0.1/32 scram-sha-256
host all all 127.0.0.1/32 trust
HBA

  local port attempt started=
  for attempt in 1 2 3 4 5 6 7 8; do
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    _pg_test_port_free "$port" || continue
    if _pg_test_as_owner "$PG_TEST_BIN/pg_ctl" -D "$_PG_TEST_DIR/data" -l "$_PG_TEST_DIR/server.log" -w -t 30 \
      -o "-p $port -c listen_addresses=127.0.0.1 -c unix_socket_directories='$_PG_TEST_DIR' -c fsync=off \
          -c synchronous_commit=off -c full_page_writes=off -c synchronize_seqscans=off -c max_connections=200" \
      start >/dev/null 2>&1; then
      started=yes
      break
    fi
  done
  [ -n "$started" ] || { _pg_test_fail "the server did not start"; return 1; }

  local psql=("$PG_TEST_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres)
  "${psql[@]}" -d postgres -c "CREATE DATABASE sumora_test" >/dev/null || { _pg_test_fail "CREATE DATABASE failed"; return 1; }
  local fixtures=("$@")
  [ ${#fixtures[@]} -gt 0 ] || fixtures=("$_PG_TEST_ROOT/tests/pg/fixtures.sql")
  local file
  for file in "${fixtures[@]}"; do
    "${psql[@]}" -d sumora_test -f "$file" >/dev/null || { _pg_test_fail "loading $file failed"; return 1; }
  done

  export SUMORA_PG_TEST_URL="postgresql://postgres@127.0.0.1:$port/sumora_test"
  echo "pg-test-server: PostgreSQL test server on 127.0.0.1:$port" >&2
}
