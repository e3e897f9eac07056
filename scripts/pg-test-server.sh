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

# --- A sharded cluster: three servers ---------------------------------------------------------------------
#
#   pg_test_cluster_start [ROWS]
#
# Starts three more throwaway servers on 127.0.0.1 (a coordinator and two shards, each on a free port with
# its own data directory), and loads ROWS rows (default 1000000) of (id int8, amount float8), half on each
# shard. On the coordinator, database sumora_test holds
#   - measurements: a table partitioned by id range whose two partitions are postgres_fdw foreign tables on
#     the shards, with async_capable on, so per-partition aggregates run on both shards at once;
#   - measurements_local: the same rows in one local table.
# The coordinator logs the plan of every statement (auto_explain, VERBOSE) to $SUMORA_PG_CLUSTER_LOG, which
# shows where each aggregate ran. Exports SUMORA_PG_CLUSTER_URL; pg_test_cluster_stop (also run on EXIT)
# stops all three and removes their folder.

_PG_CLUSTER_DIR=
_PG_CLUSTER_PORT=

pg_test_cluster_stop() {
  [ -n "${_PG_CLUSTER_DIR:-}" ] || return 0
  local node
  for node in coordinator shard1 shard2; do
    if [ -f "$_PG_CLUSTER_DIR/$node/postmaster.pid" ]; then
      _pg_test_as_owner "$PG_TEST_BIN/pg_ctl" -D "$_PG_CLUSTER_DIR/$node" -m immediate -w stop >/dev/null 2>&1 || true
    fi
  done
  rm -rf "$_PG_CLUSTER_DIR"
  _PG_CLUSTER_DIR=
  unset SUMORA_PG_CLUSTER_URL SUMORA_PG_CLUSTER_LOG
}

# _pg_test_cluster_node NAME [SERVER OPTIONS]: one server of the cluster; its port in _PG_CLUSTER_PORT.
_pg_test_cluster_node() {
  local node=$1 data="$_PG_CLUSTER_DIR/$1" port attempt
  shift
  _pg_test_as_owner "$PG_TEST_BIN/initdb" -D "$data" -U postgres -A trust -E UTF8 --locale=C --no-sync \
    --no-instructions >"$_PG_CLUSTER_DIR/$node-initdb.log" 2>&1 || { echo "pg-test-server: initdb of $node failed" >&2; return 1; }
  for attempt in 1 2 3 4 5 6 7 8; do
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    _pg_test_port_free "$port" || continue
    if _pg_test_as_owner "$PG_TEST_BIN/pg_ctl" -D "$data" -l "$_PG_CLUSTER_DIR/$node.log" -w -t 30 \
      -o "-p $port -c listen_addresses=127.0.0.1 -c unix_socket_directories='$_PG_CLUSTER_DIR' -c fsync=off \
          -c synchronous_commit=off -c full_page_writes=off $*" start >/dev/null 2>&1; then
      _PG_CLUSTER_PORT=$port
      return 0
    fi
  done
  echo "pg-test-server: $node did not start" >&2
  tail -n 5 "$_PG_CLUSTER_DIR/$node.log" >&2 2>/dev/null
  return 1
}

pg_test_cluster_start() {
  local rows=${1:-1000000} half
  half=$((rows / 2))
  [ -x "$PG_TEST_BIN/initdb" ] || { echo "pg-test-server: no PostgreSQL 15 in $PG_TEST_BIN" >&2; return 1; }
  _PG_CLUSTER_DIR=$(mktemp -d "${TMPDIR:-/tmp}/sumora-pg-cluster.XXXXXX") || return 1
  trap 'pg_test_cluster_stop' EXIT
  trap 'pg_test_cluster_stop; exit 130' INT
  trap 'pg_test_cluster_stop; exit 143' TERM
  chmod 700 "$_PG_CLUSTER_DIR"
  if [ "$(id -u)" = 0 ]; then chown postgres: "$_PG_CLUSTER_DIR" || { pg_test_cluster_stop; return 1; }; fi

  local shard1 shard2 coordinator
  _pg_test_cluster_node shard1 || { pg_test_cluster_stop; return 1; }
  shard1=$_PG_CLUSTER_PORT
  _pg_test_cluster_node shard2 || { pg_test_cluster_stop; return 1; }
  shard2=$_PG_CLUSTER_PORT
  _pg_test_cluster_node coordinator "-c session_preload_libraries=auto_explain -c auto_explain.log_min_duration=0 \
    -c auto_explain.log_verbose=on -c auto_explain.log_nested_statements=on" || { pg_test_cluster_stop; return 1; }
  coordinator=$_PG_CLUSTER_PORT

  local psql=("$PG_TEST_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -U postgres)
  local port first last
  for port in "$shard1" "$shard2"; do
    if [ "$port" = "$shard1" ]; then first=1; last=$half; else first=$((half + 1)); last=$rows; fi
    "${psql[@]}" -p "$port" -d postgres -c "CREATE DATABASE sumora_test" >/dev/null &&
      "${psql[@]}" -p "$port" -d sumora_test >/dev/null <<SQL || { echo "pg-test-server: loading a shard failed" >&2; pg_test_cluster_stop; return 1; }
CREATE TABLE measurements_shard (id int8, amount float8);
INSERT INTO measurements_shard
SELECT i, CASE WHEN i % 50 = 0 THEN NULL ELSE exp(((i * 7919) % 10007) / 2000.0) - 50 END
FROM generate_series($first::int8, $last) AS i;
ANALYZE measurements_shard;
SQL
  done
  "${psql[@]}" -p "$coordinator" -d postgres -c "CREATE DATABASE sumora_test" >/dev/null &&
    "${psql[@]}" -p "$coordinator" -d sumora_test >/dev/null <<SQL || { echo "pg-test-server: setting up the coordinator failed" >&2; pg_test_cluster_stop; return 1; }
CREATE EXTENSION postgres_fdw;
CREATE SERVER shard1 FOREIGN DATA WRAPPER postgres_fdw
  OPTIONS (host '127.0.0.1', port '$shard1', dbname 'sumora_test', async_capable 'true', fetch_size '10000');
CREATE SERVER shard2 FOREIGN DATA WRAPPER postgres_fdw
  OPTIONS (host '127.0.0.1', port '$shard2', dbname 'sumora_test', async_capable 'true', fetch_size '10000');
CREATE USER MAPPING FOR PUBLIC SERVER shard1 OPTIONS (user 'postgres');
CREATE USER MAPPING FOR PUBLIC SERVER shard2 OPTIONS (user 'postgres');
CREATE TABLE measurements (id int8, amount float8) PARTITION BY RANGE (id);
CREATE FOREIGN TABLE measurements_p1 PARTITION OF measurements FOR VALUES FROM (MINVALUE) TO ($((half + 1)))
  SERVER shard1 OPTIONS (table_name 'measurements_shard');
CREATE FOREIGN TABLE measurements_p2 PARTITION OF measurements FOR VALUES FROM ($((half + 1))) TO (MAXVALUE)
  SERVER shard2 OPTIONS (table_name 'measurements_shard');
ANALYZE measurements_p1;
ANALYZE measurements_p2;
CREATE TABLE measurements_local AS SELECT * FROM measurements ORDER BY id;
ANALYZE measurements_local;
SQL
  export SUMORA_PG_CLUSTER_URL="postgresql://postgres@127.0.0.1:$coordinator/sumora_test"
  export SUMORA_PG_CLUSTER_LOG="$_PG_CLUSTER_DIR/coordinator.log"
  echo "pg-test-server: cluster coordinator 127.0.0.1:$coordinator, shards $shard1 and $shard2 ($rows rows)" >&2
}
