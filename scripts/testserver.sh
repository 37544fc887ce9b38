# Sourced by scripts/test and bench/run: starts a throwaway PostgreSQL cluster on a free
# port in a temporary folder, loads sql/schema.sql into the template database
# "tabel_template", and stops the cluster when the calling script exits.
# Sets and exports TABEL_TEST_PORT, TABEL_TEST_TEMPLATE, ODBCSYSINI, TABEL_PG_BIN.
# Connections over TCP need a password (scram-sha-256), as on a plant's server; the
# schema is loaded by the superuser through the local socket. Role "sys" is the tests'
# administrator over TCP (it makes and drops the test databases); the client's own
# accounts are the ones the schema makes.

PGBIN=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
WORK=$(mktemp -d /tmp/tabel-test.XXXXXX)
chmod 755 "$WORK"
PGDATA="$WORK/pgdata"
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
if [ "$(id -u)" -eq 0 ]; then chown postgres "$WORK"; fi


cleanup() {
  as_pg "$PGBIN/pg_ctl" -D "$PGDATA" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT

as_pg "$PGBIN/initdb" -D "$PGDATA" -U postgres --encoding=UTF8 --locale=C.UTF-8 --auth-local=trust --auth-host=scram-sha-256 >/dev/null
# A free port other than the plant's 5432; another run may take one at the same moment,
# so a failed start moves on to the next port.
PORT=
for candidate in $(seq 55432 55532); do
  (echo >"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null && continue
  if as_pg "$PGBIN/pg_ctl" -D "$PGDATA" -l "$WORK/server.log" -w \
       -o "-p $candidate -k $WORK -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
       start >/dev/null; then
    PORT=$candidate
    break
  fi
done
[ -n "$PORT" ] || { echo "the test server did not start:" >&2; cat "$WORK/server.log" >&2; exit 1; }

PSQL=(as_pg "$PGBIN/psql" -h "$WORK" -p "$PORT" -U postgres -v ON_ERROR_STOP=1 -q)
"${PSQL[@]}" -d postgres -c "create role sys login superuser password 'plomvux'"
"${PSQL[@]}" -d postgres -c "create database tabel_template template template0 encoding 'UTF8' locale_provider icu icu_locale 'ru-RU'"
"${PSQL[@]}" -d tabel_template -f "$ROOT/sql/schema.sql" >/dev/null
"${PSQL[@]}" -d tabel_template -f "$ROOT/tests/support/testharness.sql" >/dev/null

source "$ROOT/scripts/odbcini.sh"
write_private_odbc_ini "$WORK/odbc"

export ODBCSYSINI="$WORK/odbc"
export TABEL_TEST_PORT="$PORT"
export TABEL_TEST_TEMPLATE=tabel_template
export TABEL_SOURCE_DIR="$ROOT"
# Tests that stop and start a server run one of their own from these programs.
export TABEL_PG_BIN="$PGBIN"
