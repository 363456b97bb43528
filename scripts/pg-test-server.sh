#!/usr/bin/env bash
# A throwaway PostgreSQL server on 127.0.0.1 for the tests that need a
# server database. Source this file, then call pg_test_server_start; it
# exports AGENCY_PG_CONNECT (an ODBC connect text in the programs' form)
# and the server runs until pg_test_server_stop. The data folder is
# temporary and owned by the postgres user, as the server requires.
#
# Outside CI a server that cannot be started only prints a notice (the
# tests that need it then skip); under CI (CI=true) it fails the run.

pg_test_server_start() {
  local bindir
  bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  if [ -z "$bindir" ] || ! id postgres >/dev/null 2>&1; then
    pg_test_server_fail "PostgreSQL is not installed"; return $?
  fi
  PG_TEST_DIR=$(mktemp -d /tmp/agency-pg.XXXXXX)
  PG_TEST_BINDIR=$bindir
  PG_TEST_PORT=${AGENCY_PG_PORT:-55432}
  chown postgres "$PG_TEST_DIR"
  local as_pg=(runuser -u postgres --)
  [ "$(id -u)" -eq 0 ] || as_pg=()
  # Passwords are checked over TCP, so that a wrong one is refused as on a
  # real server; the local socket stays open for the set-up below.
  echo "postgres-admin" >"$PG_TEST_DIR/pwfile"
  chown postgres "$PG_TEST_DIR/pwfile"
  if ! "${as_pg[@]}" "$bindir/initdb" -D "$PG_TEST_DIR/data" -U postgres -E UTF8 --locale=C.UTF-8 \
        --auth-local=trust --auth-host=scram-sha-256 --pwfile="$PG_TEST_DIR/pwfile" >"$PG_TEST_DIR/initdb.log" 2>&1; then
    pg_test_server_fail "initdb failed (see $PG_TEST_DIR/initdb.log)"; return $?
  fi
  # A port that another server (another test run, a developer's) already
  # holds makes the start fail: try the next ones.
  local started=0 attempt
  for attempt in 0 1 2 3 4 5 6 7 8 9; do
    if "${as_pg[@]}" "$bindir/pg_ctl" -D "$PG_TEST_DIR/data" -l "$PG_TEST_DIR/server.log" -w \
          -o "-p $PG_TEST_PORT -k $PG_TEST_DIR -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null 2>&1; then
      started=1
      break
    fi
    PG_TEST_PORT=$((PG_TEST_PORT + 1))
  done
  if [ "$started" != 1 ]; then
    pg_test_server_fail "the server did not start (see $PG_TEST_DIR/server.log)"; return $?
  fi
  "${as_pg[@]}" "$bindir/psql" -q -h "$PG_TEST_DIR" -p "$PG_TEST_PORT" -U postgres -d postgres -v ON_ERROR_STOP=1 \
    -c "CREATE ROLE agenzia LOGIN PASSWORD 'Pr0va-test' CREATEDB" >/dev/null
  export AGENCY_PG_CONNECT="ODBC;DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=$PG_TEST_PORT;DATABASE=postgres;UID=agenzia;PWD=Pr0va-test"
  export AGENCY_PG_PORT=$PG_TEST_PORT
  echo "PostgreSQL test server on 127.0.0.1:$PG_TEST_PORT"
}

pg_test_server_fail() {
  echo "NOTICE: no PostgreSQL test server: $1; the server tests will be skipped" >&2
  if [ "${CI:-}" = true ]; then
    echo "under CI a server that does not start fails the run" >&2
    return 1
  fi
  return 0
}

pg_test_server_stop() {
  if [ -n "${PG_TEST_DIR:-}" ] && [ -n "${PG_TEST_BINDIR:-}" ] && [ -d "$PG_TEST_DIR/data" ]; then
    local as_pg=(runuser -u postgres --)
    [ "$(id -u)" -eq 0 ] || as_pg=()
    "${as_pg[@]}" "${PG_TEST_BINDIR:-}/pg_ctl" -D "$PG_TEST_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$PG_TEST_DIR"
  fi
}
