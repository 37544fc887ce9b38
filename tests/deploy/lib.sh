# Shared by the deployment tests: checks that say what went wrong, and the test server.
FAILURES=0
check() {   # check DESCRIPTION COMMAND...: runs the command, notes a failure
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; FAILURES=$((FAILURES + 1)); fi
}
finish() {
  if [ "$FAILURES" -gt 0 ]; then echo "$FAILURES check(s) failed"; exit 1; fi
  echo "all checks passed"
}
need_test_server() {
  if [ -z "${TABEL_TEST_PORT:-}" ] || [ -z "${ODBCSYSINI:-}" ]; then
    echo "no test server: run through scripts/test, which starts one" >&2
    exit 1
  fi
  # Never the plant's own server.
  [ "$TABEL_TEST_PORT" != 5432 ] || { echo "refusing to work on port 5432" >&2; exit 1; }
  # The superuser through the socket folder of the throwaway cluster.
  export PGHOST=$(dirname "$ODBCSYSINI") PGPORT=$TABEL_TEST_PORT PGUSER=postgres
}
sql() { psql -X -q -tA -v ON_ERROR_STOP=1 -d "$1" -c "$2"; }   # sql DATABASE STATEMENT
drop_db() { psql -X -q -v ON_ERROR_STOP=1 -d postgres -c "drop database if exists $1 with (force)"; }

# Starts a virtual display of the given size and makes it the display of what follows
# (DISPLAY, and XDG_RUNTIME_DIR in $WORK); its server's process is $XVFB.
start_display() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
  XVFB=$!
  for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
  [ -s "$WORK/display" ] || { echo "Xvfb did not start"; return 1; }
  export DISPLAY=:$(cat "$WORK/display")
  export XDG_RUNTIME_DIR=$WORK/run
  mkdir -m 700 "$XDG_RUNTIME_DIR"
}
