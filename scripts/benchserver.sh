# Sourced by bench/run: the benchmarks' own PostgreSQL cluster, kept between runs under
# /var/tmp/tabel-bench (TABEL_BENCH_HOME), started when it is not running, on a free
# port other than the plant's 5432. Every statement of a bench database is written to
# the server log with its duration and the connection's application_name, so that the
# benchmarks can read the server's own time for the work they measured.
# Sets and exports TABEL_TEST_PORT, TABEL_TEST_TEMPLATE, ODBCSYSINI, TABEL_PG_BIN,
# BENCH_SERVER_LOG, and the function bench_database ROWS WORKERS OTHERS, which answers
# the name of a plant database of that size, generated once for the schema and the
# generator as they are now.

PGBIN=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
BENCH_HOME=${TABEL_BENCH_HOME:-/var/tmp/tabel-bench}
PGDATA="$BENCH_HOME/pgdata"
BENCH_SERVER_LOG="$BENCH_HOME/server.log"
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }

mkdir -p "$BENCH_HOME"
chmod 755 "$BENCH_HOME"
if [ "$(id -u)" -eq 0 ]; then chown postgres "$BENCH_HOME"; fi

if [ ! -f "$PGDATA/PG_VERSION" ]; then
  as_pg "$PGBIN/initdb" -D "$PGDATA" -U postgres --encoding=UTF8 --locale=C.UTF-8 --auth=trust >/dev/null
fi

if ! as_pg "$PGBIN/pg_ctl" -D "$PGDATA" status >/dev/null 2>&1; then
  # A long log is read from its end only, but a file of gigabytes helps nobody.
  if [ -f "$BENCH_SERVER_LOG" ] && [ "$(stat -c %s "$BENCH_SERVER_LOG")" -gt 1000000000 ]; then
    as_pg truncate -s 0 "$BENCH_SERVER_LOG"
  fi
  started=
  for candidate in $(seq 55700 55799); do
    (echo >"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null && continue
    # log_line_prefix: the application_name between @@ marks, read by bench/serverlog.h.
    if as_pg "$PGBIN/pg_ctl" -D "$PGDATA" -l "$BENCH_SERVER_LOG" -w \
         -o "-p $candidate -k $BENCH_HOME -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=100 -c shared_buffers=256MB -c log_line_prefix=@@%a@@ -c log_checkpoints=off -c log_autovacuum_min_duration=-1" \
         start >/dev/null; then
      echo "$candidate" > "$BENCH_HOME/port"
      started=1
      break
    fi
  done
  [ -n "$started" ] || { echo "the bench server did not start:" >&2; tail -n 20 "$BENCH_SERVER_LOG" >&2; exit 1; }
fi
PORT=$(cat "$BENCH_HOME/port")

source "$ROOT/scripts/odbcini.sh"
write_private_odbc_ini "$BENCH_HOME/odbc"

BENCH_PSQL=(as_pg "$PGBIN/psql" -h "$BENCH_HOME" -p "$PORT" -U postgres -v ON_ERROR_STOP=1 -q -X)
if [ -z "$("${BENCH_PSQL[@]}" -d postgres -tAc "select 1 from pg_roles where rolname='sys'")" ]; then
  "${BENCH_PSQL[@]}" -d postgres -c "create role sys login superuser password 'plomvux'"
fi

# What the generated data depends on: the schema and the generator.
BENCH_KEY=$(cat "$ROOT/sql/schema.sql" "$ROOT"/sql/migrations/*.sql "$ROOT/tests/support/testharness.sql" "$ROOT/bench/plantdata.h" | sha1sum | cut -c1-10)
TEMPLATE="bench_template_$BENCH_KEY"
if [ -z "$("${BENCH_PSQL[@]}" -d postgres -tAc "select 1 from pg_database where datname='$TEMPLATE'")" ]; then
  "${BENCH_PSQL[@]}" -d postgres -c "create database ${TEMPLATE}_new template template0 encoding 'UTF8' locale_provider icu icu_locale 'ru-RU' owner sys"
  PGPASSWORD=plomvux "$PGBIN/psql" -h 127.0.0.1 -p "$PORT" -U sys -d "${TEMPLATE}_new" -v ON_ERROR_STOP=1 -q -X -f "$ROOT/sql/schema.sql" >/dev/null
  "${BENCH_PSQL[@]}" -d "${TEMPLATE}_new" -f "$ROOT/tests/support/testharness.sql" >/dev/null
  "${BENCH_PSQL[@]}" -d postgres -c "alter database ${TEMPLATE}_new rename to $TEMPLATE"
fi

# Databases generated for an older schema or generator are of no further use.
for stale in $("${BENCH_PSQL[@]}" -d postgres -tAc "select datname from pg_database where (datname like 'plant\_%' or datname like 'bench\_template\_%') and datname not like '%$BENCH_KEY%'"); do
  "${BENCH_PSQL[@]}" -d postgres -c "drop database if exists $stale" >/dev/null 2>&1 || true
done

export ODBCSYSINI="$BENCH_HOME/odbc"
export TABEL_TEST_PORT="$PORT"
export TABEL_TEST_TEMPLATE="$TEMPLATE"
export TABEL_SOURCE_DIR="$ROOT"
export TABEL_PG_BIN="$PGBIN"
export BENCH_SERVER_LOG

# bench_database ROWS WORKERS OTHERS GENERATOR [OLDER]: the name of the plant database of
# that size (with OLDER journal rows of the years before, if given), made from the
# template and filled by GENERATOR (bench_plant) when it is missing.
# A database whose filling broke off keeps its temporary name and is made again.
bench_database() {
  local name="plant_${1}_${2}_${3}_$BENCH_KEY"
  if [ -n "${5:-}" ] && [ "${5:-0}" != 0 ]; then name="plant_${1}_${2}_${3}_older$5_$BENCH_KEY"; fi
  if [ -z "$("${BENCH_PSQL[@]}" -d postgres -tAc "select 1 from pg_database where datname='$name'")" ]; then
    "${BENCH_PSQL[@]}" -d postgres -c "drop database if exists ${name}_new" >&2
    "${BENCH_PSQL[@]}" -d postgres -c "create database ${name}_new template $TEMPLATE" >&2
    "${BENCH_PSQL[@]}" -d postgres -c "alter database ${name}_new set datestyle = 'ISO, DMY'" >&2
    "$4" "${name}_new" "$1" "$2" "$3" ${5:+"$5"} >&2
    "${BENCH_PSQL[@]}" -d postgres -c "alter database ${name}_new rename to $name" >&2
    # Every statement of the plant database goes to the log with its duration.
    "${BENCH_PSQL[@]}" -d postgres -c "alter database $name set log_min_duration_statement = 0" >&2
  fi
  echo "$name"
}
