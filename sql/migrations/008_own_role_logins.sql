-- tabel-setup-server: superuser
-- A database's own role logins, and a blank code that does not count toward the
-- sign-in's lock. Makes roles, so it runs as the superuser; what it makes is handed to
-- the owner role, as the schema's own block does.
-- One login per role and database ("tabel_full_kesta_erp"), with a random password kept
-- above. A database restored under another name or on another server still lists the
-- logins of the database it was copied from, which belong to that one or do not exist
-- here: it is given logins of its own, with new passwords. Run by a superuser: here, and
-- by tabel-setup-server --upgrade, which an administrator runs after every restore.
-- Answers how many logins it gave.
create or replace function accounts_dep.own_role_logins() returns integer
  language plpgsql set search_path = pg_catalog, pg_temp as $$
declare
  w text;
  l text;
  own text;
  s text;
  given integer := 0;
begin
  foreach w in array array['planner', 'foreman', 'storekeeper', 'full'] loop
    own := left(format('tabel_%s_%s', w, current_database()), 63);
    select r.login into l from accounts_dep.role_login r where r.role_word = w;
    if l is distinct from own or not exists (select 1 from pg_roles where rolname = l) then
      s := encode(public.gen_random_bytes(18), 'hex');
      if not exists (select 1 from pg_roles where rolname = own) then
        execute format('create role %I login', own);
      end if;
      execute format('alter role %I login nosuperuser nocreatedb nocreaterole inherit password %L', own, s);
      insert into accounts_dep.role_login(role_word, login, secret) values (w, own, s)
        on conflict (role_word) do update set login = excluded.login, secret = excluded.secret;
      given := given + 1;
    end if;
    if not pg_has_role(own, 'tabel_' || w, 'MEMBER') then
      execute format('grant %I to %I', 'tabel_' || w, own);
    end if;
  end loop;
  -- A restore under another name has not the database's own settings either.
  execute format('alter database %I set datestyle = %L', current_database(), 'ISO, DMY');
  return given;
end $$;
revoke all on function accounts_dep.own_role_logins() from public;
alter function accounts_dep.own_role_logins() owner to tabel_owner;
do $$ begin perform accounts_dep.own_role_logins(); end $$;

-- The sign-in: the code against the stored hashes. Five wrong codes from one address
-- within a minute close the sign-in to that address for a minute; a blank code is not
-- counted. The answer is a row, never an error, so that a wrong code is counted whatever
-- the client does next: role and login with its password, or a refusal text, or all
-- empty for a wrong code.
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
  -- A blank code is no guess at one: refused, and not counted toward the lock.
  if coalesce(btrim(code), '') = '' then
    return query select null::text, null::text, null::text, null::text;
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

