-- tabel-setup-server: superuser
-- Access enforced by the server, for a database made before it: the owner role and the
-- roles of the access codes, the sign-in, the history's role column; everything of the
-- schema and the database itself pass from the account the workstations shared to the
-- owner, and that account keeps no right here. Runs as a superuser (the first line
-- tells tabel-setup-server so); the same text as the last section of schema.sql.
------------------------------------------------------------------------------
-- Access enforced by the server. The schema belongs to tabel_owner, a role that cannot
-- log in; a workstation first signs in as tabel_signin, which can only read the build
-- stamp and call accounts_dep.sign_in(code); a right code hands back the login of the
-- code's role, and the client connects again as that login. Each role's login is a
-- member of one group role whose grants are what the role's windows need, nothing more.
-- Needs a superuser (roles, ownership, a parameter grant). Written to run again on a
-- database that has it already, and kept last: it hands every object above to the owner.

do $$
begin
  if not (select rolsuper from pg_roles where rolname = current_user) then
    raise exception 'Схему загружает суперпользователь: создаются роли и владелец базы.';
  end if;
end $$;

create extension if not exists pgcrypto with schema public;

-- The roles are the cluster's: created when missing, left as they are otherwise.
do $$
declare
  r text;
begin
  foreach r in array array['tabel_owner', 'tabel_full', 'tabel_foreman', 'tabel_storekeeper', 'tabel_planner'] loop
    if not exists (select 1 from pg_roles where rolname = r) then
      execute format('create role %I nologin', r);
    end if;
  end loop;
  -- The sign-in account's password is in every client: all it opens is the sign-in.
  if not exists (select 1 from pg_roles where rolname = 'tabel_signin') then
    create role tabel_signin login;
  end if;
  alter role tabel_signin login nosuperuser nocreatedb nocreaterole noinherit password 'tabel-vhod';
end $$;

-- The codes, as salted hashes; a role may have several. Read by the owner only.
create table if not exists accounts_dep.access_code (
  role_word  text not null check (role_word in ('planner', 'foreman', 'storekeeper', 'full')),
  code_hash  text not null
);
-- The login of each role in this database and its password. Read by the owner only.
create table if not exists accounts_dep.role_login (
  role_word  text primary key check (role_word in ('planner', 'foreman', 'storekeeper', 'full')),
  login      name not null,
  secret     text not null
);
-- Wrong codes of the last minute and addresses refused for a while, per address.
create table if not exists accounts_dep.signin_failure (
  addr  inet not null,
  at    timestamp with time zone not null default clock_timestamp()
);
create index if not exists signin_failure_addr on accounts_dep.signin_failure(addr, at);
create table if not exists accounts_dep.signin_lock (
  addr   inet primary key,
  until  timestamp with time zone not null
);

-- A new database starts with the documented codes.
insert into accounts_dep.access_code(role_word, code_hash)
select c.role_word, public.crypt(c.code, public.gen_salt('bf'))
  from (values ('planner', 'brivel'), ('foreman', 'quolbin'), ('storekeeper', 'fumpo'),
               ('full', '61370327'), ('full', '0583')) as c(role_word, code)
 where not exists (select 1 from accounts_dep.access_code);

-- One login per role and database ("tabel_full_kesta_erp"), with a random password kept
-- above; a database copied from this one shares its logins.
do $$
declare
  w text;
  l text;
  s text;
begin
  foreach w in array array['planner', 'foreman', 'storekeeper', 'full'] loop
    select login into l from accounts_dep.role_login where role_word = w;
    if l is null or not exists (select 1 from pg_roles where rolname = l) then
      l := left(format('tabel_%s_%s', w, current_database()), 63);
      s := encode(public.gen_random_bytes(18), 'hex');
      if not exists (select 1 from pg_roles where rolname = l) then
        execute format('create role %I login', l);
      end if;
      execute format('alter role %I login nosuperuser nocreatedb nocreaterole inherit password %L', l, s);
      insert into accounts_dep.role_login(role_word, login, secret) values (w, l, s)
        on conflict (role_word) do update set login = excluded.login, secret = excluded.secret;
    end if;
    execute format('grant %I to %I', 'tabel_' || w, l);
  end loop;
end $$;

-- The role the server knows the session has: the group its login belongs to. Called for
-- every history row, so it reads what the session already holds ("is_superuser" is the
-- session user's, whatever role a function runs as).
create or replace function accounts_dep.session_role() returns text language sql stable as $$
  select case
           when pg_catalog.current_setting('is_superuser') = 'on' then 'admin'
           when pg_catalog.pg_has_role(session_user, 'tabel_full', 'MEMBER') then 'full'
           when pg_catalog.pg_has_role(session_user, 'tabel_foreman', 'MEMBER') then 'foreman'
           when pg_catalog.pg_has_role(session_user, 'tabel_storekeeper', 'MEMBER') then 'storekeeper'
           when pg_catalog.pg_has_role(session_user, 'tabel_planner', 'MEMBER') then 'planner'
         end
$$;
alter table accounts_dep.change_log add column if not exists db_role text default accounts_dep.session_role();

-- The sign-in: the code against the stored hashes. Five wrong codes from one address
-- within a minute close the sign-in to that address for a minute. The answer is a row,
-- never an error, so that a wrong code is counted whatever the client does next:
-- role and login with its password, or a refusal text, or all empty for a wrong code.
create or replace function accounts_dep.sign_in(code text)
  returns table(role_word text, login text, secret text, refusal text)
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  here inet := coalesce(inet_client_addr(), '127.0.0.1'::inet);
  found_role text;
begin
  delete from accounts_dep.signin_lock l where l.until <= clock_timestamp();
  delete from accounts_dep.signin_failure f where f.at <= clock_timestamp() - interval '1 minute';
  if exists (select 1 from accounts_dep.signin_lock l where l.addr = here) then
    return query select null::text, null::text, null::text,
      'Слишком много неверных кодов доступа с этого компьютера. Вход закрыт на минуту, попробуйте позже.'::text;
    return;
  end if;
  select c.role_word into found_role
    from accounts_dep.access_code c
   where coalesce(code, '') <> '' and c.code_hash = public.crypt(code, c.code_hash)
   order by array_position(array['planner', 'foreman', 'storekeeper', 'full'], c.role_word)
   limit 1;
  if found_role is null then
    insert into accounts_dep.signin_failure(addr) values (here);
    if (select count(*) from accounts_dep.signin_failure f where f.addr = here) >= 5 then
      insert into accounts_dep.signin_lock(addr, until) values (here, clock_timestamp() + interval '1 minute')
        on conflict (addr) do update set until = excluded.until;
      delete from accounts_dep.signin_failure f where f.addr = here;
    end if;
    return query select null::text, null::text, null::text, null::text;
    return;
  end if;
  delete from accounts_dep.signin_failure f where f.addr = here;
  return query select r.role_word, r.login::text, r.secret, null::text
                 from accounts_dep.role_login r where r.role_word = found_role;
end $$;

-- Changes one role's code: every code it had is replaced by this one.
create or replace function accounts_dep.set_access_code(role text, code text) returns void
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
begin
  if coalesce(btrim(code), '') = '' or code <> btrim(code) then
    raise exception 'Код доступа не может быть пустым или начинаться и кончаться пробелом.';
  end if;
  if exists (select 1 from accounts_dep.access_code c where c.role_word <> role and c.code_hash = public.crypt(code, c.code_hash)) then
    raise exception 'Этот код уже принадлежит другой роли.';
  end if;
  delete from accounts_dep.access_code c where c.role_word = role;
  insert into accounts_dep.access_code(role_word, code_hash) values (role, public.crypt(code, public.gen_salt('bf')));
end $$;

-- Everything of the schema to the owner; the database too, so that whoever owned it
-- before (an older shared account) keeps nothing. Only what that account owned, and what
-- this script itself made, changes hands: tables of the shared directories that belong to
-- another program of the plant stay its own.
do $$
declare
  old_owner name := (select pg_get_userbyid(nspowner) from pg_namespace where nspname = 'accounts_dep');
  ours text[] := array['accounts_dep', 'cmn_contractor', 'cmn_gds_and_srv', 'cmn_department', 'hrms_staffpos', 'adm_role'];
  o record;
begin
  if (select pg_get_userbyid(datdba) from pg_database where datname = current_database()) in (old_owner, current_user) then
    execute format('alter database %I owner to tabel_owner', current_database());
  end if;
  for o in select n.nspname from pg_namespace n
            where n.nspname = any(ours) and pg_get_userbyid(n.nspowner) in (old_owner, current_user) loop
    execute format('alter schema %I owner to tabel_owner', o.nspname);
  end loop;
  for o in select c.oid::regclass as name from pg_class c join pg_namespace n on n.oid = c.relnamespace
            where n.nspname = any(ours) and c.relkind in ('r', 'p', 'v', 'm')
              and pg_get_userbyid(c.relowner) in (old_owner, current_user) loop
    execute format('alter table %s owner to tabel_owner', o.name);
  end loop;
  for o in select c.oid::regclass as name from pg_class c join pg_namespace n on n.oid = c.relnamespace
            where n.nspname = any(ours) and c.relkind = 'S'
              and pg_get_userbyid(c.relowner) in (old_owner, current_user) loop
    execute format('alter sequence %s owner to tabel_owner', o.name);
  end loop;
  for o in select p.oid::regprocedure as name from pg_proc p join pg_namespace n on n.oid = p.pronamespace
            where n.nspname = any(ours) and pg_get_userbyid(p.proowner) in (old_owner, current_user) loop
    execute format('alter function %s owner to tabel_owner', o.name);
  end loop;
  for o in select t.oid::regtype as name from pg_type t join pg_namespace n on n.oid = t.typnamespace
            where n.nspname = 'public' and t.typname in ('t_id', 't_integer', 't_float')
              and pg_get_userbyid(t.typowner) in (old_owner, current_user) loop
    execute format('alter domain %s owner to tabel_owner', o.name);
  end loop;
  -- Statistics objects too: their owner may drop or change what the planner knows.
  for o in select format('%I.%I', n.nspname, s.stxname) as name from pg_statistic_ext s
             join pg_namespace n on n.oid = s.stxnamespace
            where n.nspname = any(ours) and pg_get_userbyid(s.stxowner) in (old_owner, current_user) loop
    execute format('alter statistics %s owner to tabel_owner', o.name);
  end loop;
  -- Nothing of the owner's is PUBLIC's.
  for o in select c.oid::regclass as name, c.relkind from pg_class c join pg_namespace n on n.oid = c.relnamespace
            where n.nspname = any(ours) and c.relkind in ('r', 'p', 'v', 'm', 'S')
              and c.relowner = 'tabel_owner'::regrole loop
    execute format('revoke all on %s %s from public', case when o.relkind = 'S' then 'sequence' else 'table' end, o.name);
  end loop;
  -- The account the workstations shared before keeps no right here.
  if old_owner is not null and old_owner <> 'tabel_owner'
     and not (select rolsuper from pg_roles where rolname = old_owner) then
    execute format('revoke all on schema accounts_dep, cmn_contractor, cmn_gds_and_srv, cmn_department, '
                   'hrms_staffpos, adm_role, public from %I', old_owner);
    execute format('revoke set on parameter session_replication_role from %I', old_owner);
  end if;
end $$;

-- The history is written only by the server: the writers of the traced tables reach it
-- through these functions, with the owner's rights.
alter function accounts_dep.track_changes() security definer;
alter function accounts_dep.track_changes() set search_path = pg_catalog, pg_temp;
alter function accounts_dep.log_truncate() security definer;
alter function accounts_dep.log_truncate() set search_path = pg_catalog, pg_temp;

-- Who may do what: each group gets what its windows use.
revoke all on function accounts_dep.sign_in(text), accounts_dep.set_access_code(text, text) from public;
grant usage on schema accounts_dep to tabel_signin;
-- A signed-in workstation may sign in again (the login window asks on every "Вход").
grant execute on function accounts_dep.sign_in(text)
  to tabel_signin, tabel_planner, tabel_foreman, tabel_storekeeper, tabel_full;

-- The build stamp: every client raises it at start, before the code is typed.
grant select, insert, update (d, t) on accounts_dep.ver
  to tabel_signin, tabel_planner, tabel_foreman, tabel_storekeeper, tabel_full;

-- Every role reads the journal, the directories behind it and the closed months.
grant usage on schema accounts_dep, cmn_contractor, cmn_gds_and_srv
  to tabel_planner, tabel_foreman, tabel_storekeeper, tabel_full;
grant select on accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.izdel, accounts_dep.vid_oper,
  accounts_dep.oper, accounts_dep.norm, accounts_dep.person, accounts_dep.closed_month,
  cmn_contractor.person, cmn_gds_and_srv.gds_and_srv
  to tabel_planner, tabel_foreman, tabel_storekeeper, tabel_full;

-- The foreman adds entries and posts their hours into the timesheet.
grant insert on accounts_dep.smena to tabel_foreman;
grant insert, update (d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, d15, d16, d17, d18, d19,
  d20, d21, d22, d23, d24, d25, d26, d27, d28, d29, d30, d31) on accounts_dep.h_tabel to tabel_foreman;
do $$
declare
  s record;
begin
  for s in select pg_get_serial_sequence('accounts_dep.' || t, 'id') as name
             from unnest(array['smena', 'h_tabel']) t loop
    if s.name is not null then
      execute format('grant usage on sequence %s to tabel_foreman', s.name);
    end if;
  end loop;
end $$;

-- The storekeeper changes the acceptance mark and nothing else.
grant update (ok) on accounts_dep.smena to tabel_storekeeper;

-- Full access: everything the program does, the directories, the timesheet rebuild,
-- closing months and the legacy import; the history it only reads.
grant usage on schema cmn_department, hrms_staffpos, adm_role to tabel_full;
do $$
declare
  t record;
begin
  for t in select c.oid::regclass as name from pg_class c join pg_namespace n on n.oid = c.relnamespace
            where n.nspname = 'accounts_dep' and c.relkind in ('r', 'p')
              and c.relname not in ('change_log', 'schema_migration', 'access_code', 'role_login',
                                    'signin_failure', 'signin_lock') loop
    execute format('grant select, insert, update, delete, truncate on %s to tabel_full', t.name);
  end loop;
  if to_regclass('accounts_dep.schema_migration') is not null then
    grant select on accounts_dep.schema_migration to tabel_full;
  end if;
end $$;
grant select on accounts_dep.change_log to tabel_full;
grant select, insert, update, delete on cmn_contractor.person, cmn_gds_and_srv.gds_and_srv to tabel_full;
grant select on all tables in schema cmn_department, hrms_staffpos, adm_role to tabel_full;
grant usage, select, update on all sequences in schema accounts_dep, cmn_contractor, cmn_gds_and_srv to tabel_full;
-- The legacy import copies tables in the old order with the reference checks off.
grant set on parameter session_replication_role to tabel_full, tabel_owner;
-- Tables a later version adds are the full access role's too, unless it says otherwise.
alter default privileges for role tabel_owner in schema accounts_dep
  grant select, insert, update, delete on tables to tabel_full;
alter default privileges for role tabel_owner in schema accounts_dep
  grant usage, select, update on sequences to tabel_full;
