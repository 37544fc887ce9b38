-- The test servers' own arrangement, loaded into the template after sql/schema.sql.
-- Fixture statements of a test (TestDatabase::exec) run with the owner's rights inside
-- the client's own session: the logins of the template may SET ROLE tabel_owner through
-- a role that does not hand the owner's rights on by itself (NOINHERIT), so that the
-- client's statements are checked with its role's rights alone.
do $$
declare
  l name;
begin
  if not exists (select 1 from pg_roles where rolname = 'tabel_test_fixture') then
    create role tabel_test_fixture nologin noinherit;
  end if;
  grant tabel_owner to tabel_test_fixture;
  for l in select login from accounts_dep.role_login loop
    execute format('grant tabel_test_fixture to %I', l);
  end loop;
end $$;
-- Helper tables and sequences a test makes are for every role of the test.
alter default privileges for role tabel_owner in schema public grant all on tables to public;
alter default privileges for role tabel_owner in schema public grant all on sequences to public;
-- The fixtures set history aside as the tests' administrator always could (the guard
-- trigger still refuses it unless a test switches the trigger off).
grant update, delete, truncate on accounts_dep.change_log to tabel_owner;
-- Tests watch the other sessions of their database (waiting locks, backends).
grant pg_read_all_stats, pg_signal_backend to tabel_owner;
