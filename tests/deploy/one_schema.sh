#!/usr/bin/env bash
# One schema: a new database made from schema.sql and an older database brought up to
# date by every numbered change (migrations/) end with the same catalog, compared line
# by line (catalog.sql): tables, columns, constraints, indexes, functions with their
# bodies and settings, triggers, policies, grants, owners, default privileges. Both are
# made the way a plant makes them, by tabel-setup-server. The older databases are the
# two an office may have: one made by hand from the schema that came before the numbered
# changes, and the one the set-up test upgrades (today's schema up to its access block,
# without the first change's indexes), each owned by the account the workstations shared.
set -uo pipefail
SOURCE=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/lib.sh"
need_test_server
SETUP=$SOURCE/scripts/tabel-setup-server
WORK=$(mktemp -d /tmp/tabel-one-schema.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
chmod 755 "$WORK"

catalog() { psql -X -q -v ON_ERROR_STOP=1 -d "$1" -f "$HERE/catalog.sql"; }
setup() {   # setup ARGS...: tabel-setup-server, its output shown only when it fails
  "$SETUP" "$@" >"$WORK/out" 2>&1 || { sed 's/^/    | /' "$WORK/out"; return 1; }
}
same_catalog() {   # same_catalog DATABASE: its catalog is the new database's, or the lines that differ
  catalog "$1" >"$WORK/$1.catalog" || return 1
  diff -U0 --label "new database (schema.sql)" --label "upgraded database ($1)" \
    "$WORK/new.catalog" "$WORK/$1.catalog" | grep -v '^@@' >"$WORK/diff"
  [ ! -s "$WORK/diff" ] && return 0
  echo "    the catalogs differ (- only in the new database, + only in the upgraded one):"
  sed 's/^/    /' "$WORK/diff"
  return 1
}

drop_db schema_new
check "a new database is made from schema.sql" setup --database schema_new
catalog schema_new >"$WORK/new.catalog"
check "its catalog is read" [ "$(grep -c '^table | accounts_dep.smena |' "$WORK/new.catalog")" = 1 ]

# The older databases: name and the way its schema is made.
sed '/^-- Access enforced by the server/,$d' "$SOURCE/sql/schema.sql" >"$WORK/before_access.sql"
echo "drop index accounts_dep.smena_data_smena, accounts_dep.smena_w_id_data, accounts_dep.oper_i_id, accounts_dep.norm_o_id;" \
  >>"$WORK/before_access.sql"
OLD_BASES=(
  "schema_first  $HERE/schema_before_changes.sql"
  "schema_cut    $WORK/before_access.sql"
)
# The account the workstations shared before the server enforced access.
sql postgres "do \$\$ begin
    if not exists (select 1 from pg_roles where rolname = 'schema_shared') then create role schema_shared; end if;
  end \$\$"
sql postgres "alter role schema_shared login password 'plomvux'"
sql postgres "grant set on parameter session_replication_role to schema_shared"
for base in "${OLD_BASES[@]}"; do
  read -r db file <<<"$base"
  echo "== $db: made from $(basename "$file"), then upgraded"
  drop_db "$db"
  sql postgres "create database $db owner schema_shared template template0 encoding 'UTF8' locale_provider icu icu_locale 'ru-RU'"
  check "the older schema loads under the shared account" \
    env PGPASSWORD=plomvux psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -U schema_shared -d "$db" -f "$file" -o /dev/null
  check "the upgrade applies every change" setup --database "$db" --upgrade
  check "the upgraded catalog is the new database's" same_catalog "$db"
  drop_db "$db"
done
drop_db schema_new
finish
