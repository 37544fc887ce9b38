#!/usr/bin/env bash
# The server set-up script against the throwaway server: a new database (Russian
# collation, schema owned by the owner role, the sign-in account and the roles, every
# schema change recorded), the refusal to touch an existing one, a load that fails part
# way, the upgrade of an older database that keeps its rows, applies each change once and
# takes everything from the account the workstations shared, a changed access code, TLS.
set -uo pipefail
SOURCE=$1
source "$(dirname "$0")/lib.sh"
need_test_server
SETUP=$SOURCE/scripts/tabel-setup-server
WORK=$(mktemp -d /tmp/tabel-deploy-setup.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
for db in deploy_fresh deploy_demo deploy_old deploy_other deploy_broken deploy_steps; do drop_db $db; done

run_setup() {   # run_setup ARGS...: output into $WORK/out, the exit code into $RC
  "$SETUP" "$@" >"$WORK/out" 2>&1
  RC=$?
  sed 's/^/    | /' "$WORK/out"
}
said() { grep -qF -- "$1" "$WORK/out"; }
refused() { ! "$@" >/dev/null 2>&1; }   # refused COMMAND...: the command fails
not_said() { ! said "$1"; }
# The test server's administrator over TCP (a superuser of the throwaway cluster).
as_sys() { PGPASSWORD=plomvux psql -X -q -tA -v ON_ERROR_STOP=1 -h 127.0.0.1 -U sys -d "$1" -c "$2"; }
# A workstation's accounts: the sign-in account, then the login a code hands back.
as_signin() { PGPASSWORD=tabel-vhod psql -X -q -tA -v ON_ERROR_STOP=1 -h 127.0.0.1 -U tabel_signin -d "$1" -c "$2"; }
as_role() {   # as_role DATABASE CODE STATEMENT: signs in with the code, runs the statement as its login
  local answer
  answer=$(as_signin "$1" "select login || ' ' || secret from accounts_dep.sign_in('$2')") || return 1
  [ -n "$answer" ] && [ "$answer" != " " ] || return 1
  PGPASSWORD=${answer#* } psql -X -q -tA -v ON_ERROR_STOP=1 -h 127.0.0.1 -U "${answer%% *}" -d "$1" -c "$3"
}
dump_schema() { pg_dump -s -O -d "$1" | grep -v -e '^--' -e '^$' -e '^\\'; }
MIGRATIONS=$(cd "$SOURCE/sql/migrations" && ls ./*.sql | sed 's|^\./||; s|\.sql$||' | LC_ALL=C sort)

echo "== the schema changes of the source"
check "each is named NNN_what.sql" [ -z "$(ls "$SOURCE/sql/migrations" | grep '\.sql$' | grep -vE '^[0-9]{3}_[a-z0-9_]+\.sql$')" ]
check "no two share a number" [ -z "$(ls "$SOURCE/sql/migrations" | grep '\.sql$' | cut -c1-3 | sort | uniq -d)" ]

echo "== a new database"
run_setup --database deploy_fresh --server-name db.test.local
check "the set-up succeeds" [ "$RC" = 0 ]
check "it says what a workstation writes into its setting file" said "server = db.test.local"
check "and the database name, which is not the default" said "database = deploy_fresh"
check "it finds that the sign-in account logs in" not_said "tabel_signin не входит"
check "it says the server listens only locally (the test server does)" said "listen_addresses = '*'"
check "the database uses the Russian ICU collation" \
  [ "$(sql postgres "select datlocprovider::text || ' ' || daticulocale || ' ' || pg_encoding_to_char(encoding) from pg_database where datname = 'deploy_fresh'")" = "i ru-RU UTF8" ]
check "the database belongs to the owner role" \
  [ "$(sql postgres "select pg_get_userbyid(datdba) from pg_database where datname = 'deploy_fresh'")" = tabel_owner ]
check "which cannot log in" [ "$(sql postgres "select rolcanlogin from pg_roles where rolname = 'tabel_owner'")" = f ]
check "every table of the schema belongs to it" \
  [ "$(sql deploy_fresh "select count(*) from pg_tables where schemaname in ('accounts_dep','cmn_contractor','cmn_gds_and_srv') and tableowner <> 'tabel_owner'")" = 0 ]
check "the sign-in account logs in over TCP and reads the build stamp" [ "$(as_signin deploy_fresh "select count(*) from accounts_dep.ver")" = 0 ]
check "but not the journal" refused as_signin deploy_fresh "select count(*) from accounts_dep.smena"
check "the full-access code opens the journal" [ "$(as_role deploy_fresh 0583 "select count(*) from accounts_dep.smena")" = 0 ]
check "the journal table is there and empty" [ "$(as_sys deploy_fresh "select count(*) from accounts_dep.smena")" = 0 ]
check "dates are read day first" [ "$(as_sys deploy_fresh "select '05.03.2024'::date")" = 2024-03-05 ]
check "Russian names sort as people expect" \
  [ "$(as_sys deploy_fresh "select string_agg(x, ',' order by x) from (values ('Ёлкин'),('Жуков'),('Егоров'),('абрамов')) v(x)")" = "абрамов,Егоров,Ёлкин,Жуков" ]
check "every schema change is recorded as applied" \
  [ "$(sql deploy_fresh "select name from accounts_dep.schema_migration order by name")" = "$MIGRATIONS" ]
check "a change is recorded as applied" [ -n "$MIGRATIONS" ]
check "the legacy import's role may switch the reference checks off, full access itself may not" \
  [ "$(sql postgres "select string_agg(pg_get_userbyid(a.grantee), ',' order by pg_get_userbyid(a.grantee)) from pg_parameter_acl, aclexplode(paracl) a where parname = 'session_replication_role' and pg_get_userbyid(a.grantee) like 'tabel_%' and a.privilege_type = 'SET'")" = tabel_import,tabel_owner ]
check "full access takes the import's role only by asking for it" \
  [ "$(sql postgres "select rolinherit::text from pg_roles where rolname = 'tabel_full'")" = false ]

echo "== an existing database is refused and left as it was"
as_sys deploy_fresh "insert into accounts_dep.vid_oper(vid) values ('ОТМЕТКА')"
BEFORE=$(dump_schema deploy_fresh | md5sum)
for args in "--database deploy_fresh" "--database deploy_fresh --demo"; do
  run_setup $args
  check "the set-up fails on an existing database ($args)" [ "$RC" != 0 ]
  check "it says the database exists and was not changed" said "уже существует на этом сервере; она не изменена"
  check "it names the upgrade instead" said "--upgrade --database deploy_fresh"
done
check "the row written before is still there" [ "$(as_sys deploy_fresh "select count(*) from accounts_dep.vid_oper where vid = 'ОТМЕТКА'")" = 1 ]
check "the schema is unchanged" [ "$(dump_schema deploy_fresh | md5sum)" = "$BEFORE" ]

echo "== the demo plant"
run_setup --database deploy_demo --demo
check "the set-up with the demo succeeds" [ "$RC" = 0 ]
check "the demo plant has workers" [ "$(as_sys deploy_demo "select count(*) > 0 from accounts_dep.person")" = t ]
check "and journal entries with their timesheet" \
  [ "$(as_sys deploy_demo "select (select count(*) from accounts_dep.smena) > 0 and (select count(*) from accounts_dep.h_tabel) > 0")" = t ]

echo "== a load that fails part way leaves no database"
mkdir -p "$WORK/broken/migrations"
{ cat "$SOURCE/sql/schema.sql"; echo "select 1/0;"; } >"$WORK/broken/schema.sql"
run_setup --database deploy_broken --sql-dir "$WORK/broken"
check "the set-up fails" [ "$RC" != 0 ]
check "it says the database was removed" said "база «deploy_broken» удалена"
check "no database is left behind" [ -z "$(sql postgres "select 1 from pg_database where datname = 'deploy_broken'")" ]

echo "== names and options that cannot be used"
for args in "--database x;drop" "--database 1abc" "--port 0" "--port abc" "--upgrade --demo" "--server-name db;x" "--bogus"; do
  run_setup $args
  check "refused: $args" [ "$RC" != 0 ]
done

echo "== an older database is upgraded, its rows kept"
# A database made by hand from the schema before the changes (as the older README said),
# owned by the account every workstation shared, with the demo plant in it: no record of
# changes, the indexes of the first change missing, no owner role, no codes on the server.
sql postgres "drop role if exists deploy_shared"
sql postgres "create role deploy_shared login password 'plomvux'"
sql postgres "grant set on parameter session_replication_role to deploy_shared"
sql postgres "create database deploy_old owner deploy_shared template template0 encoding 'UTF8' locale_provider icu icu_locale 'ru-RU'"
as_shared() { PGPASSWORD=plomvux psql -X -q -tA -v ON_ERROR_STOP=1 -h 127.0.0.1 -U deploy_shared -d deploy_old "$@"; }
sed '/^-- Access enforced by the server/,$d' "$SOURCE/sql/schema.sql" >"$WORK/old_schema.sql"
as_shared -f "$WORK/old_schema.sql" >/dev/null
as_shared -c "drop index accounts_dep.smena_data_smena, accounts_dep.smena_w_id_data, accounts_dep.oper_i_id, accounts_dep.norm_o_id"
as_shared -f "$SOURCE/sql/demo.sql" >/dev/null
rows() {   # every row of the client's tables, as one fingerprint
  as_sys "$1" "select md5(string_agg(t, '|' order by t)) from (
      select s::text t from accounts_dep.smena s union all select h::text from accounts_dep.h_tabel h
      union all select p::text from accounts_dep.person p union all select o::text from accounts_dep.oper o
      union all select n::text from accounts_dep.norm n union all select i::text from accounts_dep.izdel i) x"
}
ROWS=$(rows deploy_old)
run_setup --database deploy_old --upgrade
check "the upgrade succeeds" [ "$RC" = 0 ]
check "it names the change it applied" said "Применено изменение схемы 001_journal_indexes"
check "the rows are kept" [ "$(rows deploy_old)" = "$ROWS" ]
dump_schema deploy_old >"$WORK/old.dump"; dump_schema deploy_fresh >"$WORK/fresh.dump"
check "the upgraded schema is the schema of a new database" diff "$WORK/old.dump" "$WORK/fresh.dump"
check "the changes are recorded" [ "$(sql deploy_old "select name from accounts_dep.schema_migration order by name")" = "$MIGRATIONS" ]
check "the shared account owns nothing any more" \
  [ "$(sql deploy_old "select count(*) from pg_class where relowner = 'deploy_shared'::regrole") $(sql postgres "select pg_get_userbyid(datdba) from pg_database where datname = 'deploy_old'")" = "0 tabel_owner" ]
check "its reads are refused" refused as_shared -c "select count(*) from accounts_dep.smena"
check "its writes are refused" refused as_shared -c "insert into accounts_dep.vid_oper(vid) values ('СТАРЫЙ')"
check "and so is switching the checks off" refused as_shared -c "set session_replication_role = replica"
check "the new client signs in with a documented code" \
  [ "$(as_role deploy_old 0583 "select count(*) > 0 from accounts_dep.smena")" = t ]
check "and writes with its role's rights" as_role deploy_old 0583 "insert into accounts_dep.vid_oper(vid) values ('НОВЫЙ')"
check "which the history names" [ "$(sql deploy_old "select db_role from accounts_dep.change_log where new_values->>'vid' = 'НОВЫЙ'")" = full ]
check "the rows are kept after it all" [ "$(rows deploy_old)" = "$ROWS" ]
# The old journal the administrator restored beside the schema for the legacy import.
sql deploy_old "create table public.smena (\"ID\" integer, \"W_ID\" integer)"
check "an old journal the administrator restored is not full access's to read" \
  refused as_role deploy_old 0583 "select count(*) from public.smena"
APPLIED=$(sql deploy_old "select name || applied from accounts_dep.schema_migration order by name")
run_setup --database deploy_old --upgrade
check "a second upgrade succeeds" [ "$RC" = 0 ]
check "and has nothing to apply" said "новых изменений нет"
check "it opens the old journal to the import" said "Старый журнал public.smena открыт для чтения"
check "which full access then reads" [ "$(as_role deploy_old 0583 "select count(*) from public.smena")" = 0 ]
check "the records stay as they were" [ "$(sql deploy_old "select name || applied from accounts_dep.schema_migration order by name")" = "$APPLIED" ]

echo "== later changes are applied once, a failing one not at all"
mkdir -p "$WORK/later/migrations"
cp "$SOURCE/sql/schema.sql" "$WORK/later/"
cp "$SOURCE"/sql/migrations/*.sql "$WORK/later/migrations/"
cat >"$WORK/later/migrations/900_worker_notes.sql" <<'SQL'
create table accounts_dep.worker_note (w_id integer, note varchar(100));
insert into accounts_dep.worker_note select id, 'перенесено' from accounts_dep.person;
SQL
run_setup --database deploy_old --upgrade --sql-dir "$WORK/later"
check "the upgrade with a later change succeeds" [ "$RC" = 0 ]
check "it applies only the later change" [ "$(grep -c 'Применено изменение' "$WORK/out")" = 1 ] 
check "the new table is filled from the kept rows" \
  [ "$(as_sys deploy_old "select count(*) = (select count(*) from accounts_dep.person) and count(*) > 0 from accounts_dep.worker_note")" = t ]
check "the new table belongs to the owner role" \
  [ "$(sql deploy_old "select tableowner from pg_tables where tablename = 'worker_note'")" = tabel_owner ]
check "and full access may use it" [ "$(as_role deploy_old 0583 "select count(*) > 0 from accounts_dep.worker_note")" = t ]
echo "create table accounts_dep.twin (id integer);" >"$WORK/later/migrations/900_twin.sql"
run_setup --database deploy_old --upgrade --sql-dir "$WORK/later"
check "two changes with one number are refused" [ "$RC" != 0 ]
check "saying which number" said "два изменения схемы с номером 900"
check "and nothing of them is applied" [ -z "$(sql deploy_old "select 1 from pg_tables where tablename = 'twin'")" ]
rm "$WORK/later/migrations/900_twin.sql"
cat >"$WORK/later/migrations/901_half_done.sql" <<'SQL'
create table accounts_dep.half_done (id integer);
update accounts_dep.worker_note set note = 'испорчено';
select 1/0;
SQL
run_setup --database deploy_old --upgrade --sql-dir "$WORK/later"
check "a failing change makes the upgrade fail" [ "$RC" != 0 ]
check "it names the change that failed" said "изменение схемы 901_half_done не применено"
check "nothing of the failed change stays" [ -z "$(sql deploy_old "select 1 from pg_tables where tablename = 'half_done'")" ]
check "the rows it touched are as before" [ "$(as_sys deploy_old "select count(*) from accounts_dep.worker_note where note = 'испорчено'")" = 0 ]
check "it is not recorded; the earlier ones are, once" \
  [ "$(sql deploy_old "select string_agg(name, ',' order by name) from accounts_dep.schema_migration where name >= '900'")" = 900_worker_notes ]

echo "== upgrades that are refused"
run_setup --database deploy_missing --upgrade
check "a missing database is refused" [ "$RC" != 0 ]
check "with the advice to create it" said "создайте ее без --upgrade"
sql postgres "create database deploy_other"
run_setup --database deploy_other --upgrade
check "a database of another program is refused" [ "$RC" != 0 ]
check "saying it is not Tabel's" said "не база программы «Табель»"
check "and it gets no record table" [ -z "$(sql deploy_other "select 1 from pg_namespace where nspname = 'accounts_dep'")" ]

echo "== a role's code is changed"
OLD_SECRET=$(sql deploy_fresh "select secret from accounts_dep.role_login where role_word = 'foreman'")
echo "мастер-2024" | "$SETUP" --database deploy_fresh --set-code foreman >"$WORK/out" 2>&1
RC=$?
sed 's/^/    | /' "$WORK/out"
check "the change succeeds" [ "$RC" = 0 ]
check "the new code gets in as the foreman" [ "$(as_signin deploy_fresh "select role_word from accounts_dep.sign_in('мастер-2024')")" = foreman ]
check "the old code no longer does" [ -z "$(as_signin deploy_fresh "select role_word from accounts_dep.sign_in('quolbin')")" ]
check "the other roles keep theirs" [ "$(as_signin deploy_fresh "select role_word from accounts_dep.sign_in('fumpo')")" = storekeeper ]
check "the foreman's login has a new password" \
  [ "$(sql deploy_fresh "select secret from accounts_dep.role_login where role_word = 'foreman'")" != "$OLD_SECRET" ]
check "which works" [ "$(as_role deploy_fresh 'мастер-2024' "select accounts_dep.session_role()")" = foreman ]
echo "" | "$SETUP" --database deploy_fresh --set-code foreman >"$WORK/out" 2>&1
check "an empty code is refused" [ "$?" != 0 ]
run_setup --database deploy_fresh --set-code boss
check "an unknown role is refused" [ "$RC" != 0 ]
check "naming the roles there are" said "planner (планировщик)"

echo "== TLS"
run_setup --ssl --server-name localhost
check "TLS is switched on" [ "$RC" = 0 ]
check "saying so" said "Шифрованные подключения включены"
check "with a certificate made for the server" said "Создан самоподписанный сертификат сервера localhost"
CERT=$(sql postgres "show ssl_cert_file")
check "a workstation that requires TLS gets it" \
  [ "$(PGSSLMODE=require as_signin deploy_fresh "select ssl from pg_stat_ssl where pid = pg_backend_pid()")" = t ]
check "and one that checks the certificate too" \
  [ "$(PGSSLMODE=verify-full PGSSLROOTCERT=$CERT PGHOST=localhost as_signin deploy_fresh "select ssl from pg_stat_ssl where pid = pg_backend_pid()")" = t ]
run_setup --ssl --server-name localhost
check "a second run keeps the certificate" said "У сервера есть сертификат"
sql postgres "alter system reset ssl"
sql postgres "select pg_reload_conf()" >/dev/null

finish
