-- Tabel: the server side the client reads and writes.
-- Run once on an empty database (created with an ICU Russian collation, see scripts/run).
-- Every statement commits on its own in the client, so the rules that must hold whatever
-- the client does (single timesheet row per key, digits-only person codes, one build stamp
-- row) are kept here.

set client_min_messages = warning;

create schema if not exists accounts_dep;
create schema if not exists cmn_contractor;
create schema if not exists cmn_gds_and_srv;
create schema if not exists cmn_department;
create schema if not exists hrms_staffpos;
create schema if not exists adm_role;

-- Quoted DD.MM.YYYY literals (the journal's vvod) must be read day first.
do $$ begin
  execute format('alter database %I set datestyle = %L', current_database(), 'ISO, DMY');
end $$;
set datestyle = 'ISO, DMY';

-- Types the client's statements cast to.
create domain public.t_id as integer;
create domain public.t_integer as integer;
create domain public.t_float as double precision;

------------------------------------------------------------------------------
-- Shared person directory (other applications write it too).
-- Journal rows name a person either by its id or by its s_code read as a number, so
-- a code must be digits only, unique, and never equal to another person's id;
-- otherwise one journal row would show twice or every query would fail on the cast.
create sequence cmn_contractor.person_id_seq;
create table cmn_contractor.person (
  id         integer primary key default nextval('cmn_contractor.person_id_seq'),
  s_caption  varchar(254),
  s_code     varchar(254) not null check (s_code ~ '^[0-9]{1,9}$')
);
alter sequence cmn_contractor.person_id_seq owned by cmn_contractor.person.id;
create unique index person_s_code_num on cmn_contractor.person ((s_code::integer));

create function cmn_contractor.person_codes_apart() returns trigger language plpgsql as $$
begin
  if exists (select 1 from cmn_contractor.person p
              where p.id <> new.id
                and (p.id = new.s_code::integer or p.s_code::integer = new.id)) then
    raise exception 'Код персоны % совпадает с ключом другой персоны', new.s_code;
  end if;
  return new;
end $$;
create trigger person_codes_apart before insert or update on cmn_contractor.person
  for each row execute function cmn_contractor.person_codes_apart();

------------------------------------------------------------------------------
-- The client's worker directory. Its keys come from the shared person sequence and each
-- worker is listed in the shared directory under the same id, with that id as its code,
-- so the journal (by id) and the timesheet (by code) find the same person.
create table accounts_dep.person (
  id             integer primary key default nextval('cmn_contractor.person_id_seq'),
  fio            varchar(254),
  s_staffpos_hl  varchar(254)
);

create function accounts_dep.person_to_directory() returns trigger language plpgsql as $$
begin
  if tg_op = 'INSERT' then
    insert into cmn_contractor.person(id, s_caption, s_code)
         values (new.id, new.fio, new.id::text)
    on conflict (id) do update set s_caption = excluded.s_caption;
  elsif tg_op = 'UPDATE' then
    update cmn_contractor.person set s_caption = new.fio where id = new.id;
  end if;
  -- A deleted worker stays in the shared directory: old journal rows keep their name.
  return null;
end $$;
create trigger person_to_directory after insert or update on accounts_dep.person
  for each row execute function accounts_dep.person_to_directory();

-- Older worker table, written only by the legacy import.
create table accounts_dep.workers (
  id    integer primary key,
  fio   varchar(128),
  addr  varchar(128)
);

------------------------------------------------------------------------------
-- Products. New products are written into the shared goods catalogue; the trigger
-- lists each new catalogue row as a product under the same key.
create sequence cmn_gds_and_srv.gds_and_srv_id_seq;
create table cmn_gds_and_srv.gds_and_srv (
  id             numeric(15,0) primary key default nextval('cmn_gds_and_srv.gds_and_srv_id_seq'),
  s_caption      varchar(254),
  s_description  varchar(4000),
  id_msm_bs      numeric(15,0),
  massa          double precision
);
alter sequence cmn_gds_and_srv.gds_and_srv_id_seq owned by cmn_gds_and_srv.gds_and_srv.id;

create table accounts_dep.izdel (
  id     numeric(15,0) primary key,
  marka  varchar(254),
  nom    varchar(255),
  massa  numeric(28,6)
);

create function cmn_gds_and_srv.gds_to_izdel() returns trigger language plpgsql as $$
begin
  insert into accounts_dep.izdel(id, marka, nom, massa)
       values (new.id, new.s_caption, coalesce(new.s_description, ''), new.massa);
  return null;
end $$;
create trigger gds_to_izdel after insert on cmn_gds_and_srv.gds_and_srv
  for each row execute function cmn_gds_and_srv.gds_to_izdel();

-- A product that operations or journal rows use cannot be deleted, or those rows would
-- drop out of every list and report. (oper.i_id is an integer and izdel.id a numeric,
-- so no foreign key can say this.)
create function accounts_dep.izdel_in_use() returns trigger language plpgsql as $$
begin
  if exists (select 1 from accounts_dep.oper where i_id = old.id::integer)
     or exists (select 1 from accounts_dep.smena where i_id = old.id::integer) then
    raise exception 'Изделие "%" используется в операциях, удалить его нельзя', trim(old.marka);
  end if;
  return old;
end $$;
create trigger izdel_in_use before delete on accounts_dep.izdel
  for each row execute function accounts_dep.izdel_in_use();

-- Nomenclature, written only by the legacy import.
create table accounts_dep.nomenkl (
  id     serial primary key,
  nom    varchar(512),
  marka  varchar(128)
);

------------------------------------------------------------------------------
-- Operation kinds, operations and their norm levels.
create table accounts_dep.vid_oper (
  id   serial primary key,
  vid  varchar(50)
);

-- The same refusal as the foreign key from oper, in words the user reads.
create function accounts_dep.vid_oper_in_use() returns trigger language plpgsql as $$
begin
  if exists (select 1 from accounts_dep.oper where vid = old.id) then
    raise exception 'Вид операции "%" используется в операциях, удалить его нельзя', trim(old.vid);
  end if;
  return old;
end $$;
create trigger vid_oper_in_use before delete on accounts_dep.vid_oper
  for each row execute function accounts_dep.vid_oper_in_use();

create table accounts_dep.oper (
  id        serial primary key,
  vid       integer references accounts_dep.vid_oper(id),
  naimen    integer,
  i_id      integer,
  cena_new  numeric(19,4) default 0
);
create index oper_i_id on accounts_dep.oper(i_id);

create table accounts_dep.norm (
  id     serial primary key,
  o_id   integer references accounts_dep.oper(id) on delete cascade,
  norma  integer,
  prize  integer,
  price  double precision
);
create index norm_o_id on accounts_dep.norm(o_id);

-- An operation that journal rows use cannot be deleted (the foreign key from smena
-- refuses it); this says so in words the user reads.
create function accounts_dep.oper_in_use() returns trigger language plpgsql as $$
begin
  if exists (select 1 from accounts_dep.smena where o_id = old.id) then
    raise exception 'Операция "%; %" используется в журнале, удалить её нельзя',
      (select trim(marka) from accounts_dep.izdel where id = old.i_id),
      (select trim(vid) from accounts_dep.vid_oper where id = old.vid);
  end if;
  return old;
end $$;
create trigger oper_in_use before delete on accounts_dep.oper
  for each row execute function accounts_dep.oper_in_use();

------------------------------------------------------------------------------
-- The shift journal: one row per piece of work. An operation that has journal rows
-- cannot be deleted, or those rows would drop out of every list and report.
create table accounts_dep.smena (
  id             serial primary key,
  w_id           integer,
  i_id           integer,
  o_id           integer references accounts_dep.oper(id),
  kol_vo         integer,
  brak           integer,
  data           date,
  smena          integer,
  cena           double precision,
  color          integer,
  time           integer,
  ok             char(2),
  vvod           timestamp,
  prize          double precision,
  id_doc         numeric(15,0),
  id_doc_item    numeric(15,0),
  id_gds_use     numeric(15,0),
  id_cons_use    numeric(15,0),
  f_gds_qty_use  double precision
);
create index smena_data_smena on accounts_dep.smena(data, smena);
create index smena_w_id_data on accounts_dep.smena(w_id, data);
-- The journal is read by date, and today's is always the newest: statistics taken before
-- the day began know nothing of its entries, and the planner, expecting a row or two,
-- joins every person to every entry (59 ms for a shift of 750 entries and 250 persons,
-- 3.8 ms once analysed). Analysed after every 500 changed rows, the day's entries are
-- known to it within autovacuum's next round.
alter table accounts_dep.smena set (autovacuum_analyze_scale_factor = 0, autovacuum_analyze_threshold = 500);

------------------------------------------------------------------------------
-- The monthly timesheet: one row per worker, shift, month and year.
create table accounts_dep.h_tabel (
  id     serial primary key,
  w_id   integer not null,
  smena  integer not null,
  month  integer not null,
  year   integer not null,
  d1  integer not null default 0, d2  integer not null default 0, d3  integer not null default 0,
  d4  integer not null default 0, d5  integer not null default 0, d6  integer not null default 0,
  d7  integer not null default 0, d8  integer not null default 0, d9  integer not null default 0,
  d10 integer not null default 0, d11 integer not null default 0, d12 integer not null default 0,
  d13 integer not null default 0, d14 integer not null default 0, d15 integer not null default 0,
  d16 integer not null default 0, d17 integer not null default 0, d18 integer not null default 0,
  d19 integer not null default 0, d20 integer not null default 0, d21 integer not null default 0,
  d22 integer not null default 0, d23 integer not null default 0, d24 integer not null default 0,
  d25 integer not null default 0, d26 integer not null default 0, d27 integer not null default 0,
  d28 integer not null default 0, d29 integer not null default 0, d30 integer not null default 0,
  d31 integer not null default 0
);
create unique index h_tabel_key on accounts_dep.h_tabel(year, month, w_id, smena);

------------------------------------------------------------------------------
-- The newest client build that has run; at most one row.
create table accounts_dep.ver (
  d      integer,
  t      integer,
  delim  varchar(255)
);
create unique index ver_one_row on accounts_dep.ver ((true));

------------------------------------------------------------------------------
-- Lookup tables of other subsystems, read by the worker editor.
create table cmn_department.department (
  id             numeric(15,0) primary key,
  id_branch      numeric(15,0),
  s_code         varchar(254),
  s_caption      varchar(254),
  s_description  varchar(4000),
  id_parent      numeric(15,0)
);

create table hrms_staffpos.staffpos (
  id             numeric(15,0) primary key,
  id_department  numeric(15,0),
  s_code         varchar(254),
  s_caption      varchar(254),
  d_begin        date,
  d_end          date,
  s_description  varchar(4000)
);

create table adm_role.roles (
  id         numeric(15,0) primary key,
  s_name     varchar(30),
  s_caption  varchar(254),
  d_begin    date,
  d_end      date,
  b_active   varchar(5)
);

------------------------------------------------------------------------------
-- Pay-data control: closed months and the history of changes. Both live here, not in
-- the client, so that every workstation of every build and every other program of the
-- plant meets the same rules. Written to run again on a database that has them already.

-- "03.2024": how a month is named in messages.
create or replace function accounts_dep.month_label(y integer, m integer) returns text
  language sql immutable as $$ select lpad(m::text, 2, '0') || '.' || y::text $$;

-- A month's writers and its closing take turns. Every statement that writes rows of a
-- month holds the month's lock shared until its transaction ends, before it looks at
-- closed_month; closing takes the lock exclusively. So no write commits into a month after
-- its closing committed: a writer that waited for the close then sees the month closed and
-- is refused, and a close waits until the writes already under way have ended. Both waits
-- are bounded: a session without a lock timeout of its own gets 10 s for the rest of its
-- transaction, and a wait that runs out is refused with the month named (TBM03).
create or replace function accounts_dep.lock_month(period integer, for_closing boolean) returns void
  language plpgsql as $$
begin
  if current_setting('lock_timeout') = '0' then
    perform set_config('lock_timeout', '10s', true);
  end if;
  begin
    if for_closing then
      perform pg_advisory_xact_lock(hashtext('closed_month'), period);
    else
      perform pg_advisory_xact_lock_shared(hashtext('closed_month'), period);
    end if;
  exception when lock_not_available then
    raise exception using errcode = 'TBM03',
      message = case when for_closing
        then format('Месяц %s не закрыт: на других рабочих местах сейчас идет запись в этот месяц. '
                    'Повторите закрытие позже.', accounts_dep.month_label(period / 100, period % 100))
        else format('Месяц %s сейчас закрывают на другом рабочем месте: изменения не записаны. '
                    'Повторите действие позже.', accounts_dep.month_label(period / 100, period % 100))
      end;
  end;
end $$;

-- A paid month is closed by a row here; reopening it deletes the row. Who closed it,
-- when and from which workstation are the server's own values, whatever a client sends.
create table if not exists accounts_dep.closed_month (
  year         integer not null,
  month        integer not null check (month between 1 and 12),
  period       integer generated always as (year * 100 + month) stored,
  closed_at    timestamp with time zone not null default now(),
  closed_by    text not null default current_setting('application_name'),
  db_user      text not null default session_user,
  workstation  inet default inet_client_addr(),
  primary key (year, month)
);
create unique index if not exists closed_month_period on accounts_dep.closed_month(period);

create or replace function accounts_dep.closed_month_stamp() returns trigger language plpgsql as $$
begin
  if tg_op = 'UPDATE' then
    raise exception using errcode = 'TBM02',
      message = format('Месяц %s: запись о закрытии не изменяют; откройте месяц и закройте его снова.',
                       accounts_dep.month_label(old.year, old.month));
  end if;
  -- The writes into the month already under way end first (see lock_month).
  perform accounts_dep.lock_month(new.year * 100 + new.month, true);
  if exists (select 1 from accounts_dep.closed_month where year = new.year and month = new.month) then
    raise exception using errcode = 'TBM02',
      message = format('Месяц %s уже закрыт.', accounts_dep.month_label(new.year, new.month));
  end if;
  new.closed_at := now();
  new.closed_by := current_setting('application_name');
  new.db_user := session_user;
  new.workstation := inet_client_addr();
  return new;
end $$;
create or replace trigger closed_month_stamp before insert or update on accounts_dep.closed_month
  for each row execute function accounts_dep.closed_month_stamp();

-- The refusal every writer of a closed month meets: SQLSTATE TBM01, the month named.
-- Returns nothing ever: its result type lets a statement call it where a row fails.
create or replace function accounts_dep.refuse_closed_month(y integer, m integer) returns boolean
  language plpgsql as $$
begin
  -- The message alone, shown by the workstation as it is (the driver would show a detail or a
  -- hint under English labels); who closed the month is in its row.
  raise exception using errcode = 'TBM01',
    message = format('Месяц %s закрыт: изменения запрещены. Открыть месяц можно в окне «Табель по времени» '
                     '(полный доступ).', accounts_dep.month_label(y, m));
end $$;

-- TRUNCATE passes row checks by: refused outright while any month is closed.
create or replace function accounts_dep.truncate_closed_check() returns trigger language plpgsql as $$
declare
  y integer;
  m integer;
begin
  select year, month into y, m from accounts_dep.closed_month order by period limit 1;
  if y is not null then
    perform accounts_dep.refuse_closed_month(y, m);
  end if;
  return null;
end $$;

create or replace trigger smena_closed_trunc before truncate on accounts_dep.smena
  for each statement execute function accounts_dep.truncate_closed_check();

create or replace trigger h_tabel_closed_trunc before truncate on accounts_dep.h_tabel
  for each statement execute function accounts_dep.truncate_closed_check();

-- What the storekeeper accepted must not change under the acceptance: a change of the
-- work (worker, product, operation, quantities, date, shift, price, colour, hours,
-- bonus) takes the mark back to "no". An update that sets the mark itself keeps what it sets.
create or replace function accounts_dep.smena_withdraw_acceptance() returns trigger language plpgsql as $$
begin
  new.ok := 'no';
  return new;
end $$;
create or replace trigger smena_withdraw_acceptance before update on accounts_dep.smena
  for each row
  when (old.ok in ('ok', 'да') and new.ok is not distinct from old.ok
        and (new.w_id, new.i_id, new.o_id, new.kol_vo, new.brak, new.data, new.smena, new.cena,
             new.color, new.time, new.prize)
            is distinct from
            (old.w_id, old.i_id, old.o_id, old.kol_vo, old.brak, old.data, old.smena, old.cena,
             old.color, old.time, old.prize))
  execute function accounts_dep.smena_withdraw_acceptance();

-- The history of changes: one row per written row, values before and after as they
-- were stored, who (the connection's application_name, the database user, the
-- workstation's address) and when. Written only by the triggers below.
create table if not exists accounts_dep.change_log (
  id           bigserial not null,
  changed_at   timestamp with time zone not null default statement_timestamp(),
  table_name   text not null,
  operation    char(1) not null check (operation in ('I', 'U', 'D', 'T')),
  row_key      bigint,
  worker_id    integer,
  old_values   jsonb,
  new_values   jsonb,
  app_name     text not null default current_setting('application_name'),
  db_user      text not null default session_user,
  client_addr  inet default inet_client_addr()
);
-- The history list reads newest first, whole or by period, by worker, or for one row.
-- Every index is paid for by every write of the pay tables, so there are only these
-- (no primary key: nothing refers to a history row, and id orders within one time).
create index if not exists change_log_time on accounts_dep.change_log(changed_at, id);
create index if not exists change_log_worker on accounts_dep.change_log(worker_id, changed_at, id)
  where worker_id is not null;
create index if not exists change_log_row on accounts_dep.change_log(row_key) where row_key is not null;

-- The month a written row belongs to, as year * 100 + month, by the table's rule:
-- 'journal' by the entry's date, 'timesheet' by its year and month; null for none.
create or replace function accounts_dep.pay_period(month_rule text, v jsonb) returns integer
  language sql immutable as $$
  select case month_rule
           when 'journal' then replace(left(v ->> 'data', 7), '-', '')::integer
           when 'timesheet' then (v ->> 'year')::integer * 100 + (v ->> 'month')::integer
         end
$$;

-- One statement-level trigger per table and event does both jobs in one statement, so
-- that a statement pays one call whatever number of rows it writes: it refuses a
-- statement that writes a row of a closed month (an update also when a row leaves one),
-- and writes one history row per written row. An update that changed nothing leaves no
-- trace. Arguments: the key column, the worker column ('' for none), the month rule.
-- ("offset 0" makes each row's jsonb once: to_jsonb of a wide row is the dearest part.)
create or replace function accounts_dep.track_changes() returns trigger language plpgsql as $$
declare
  key_column text := tg_argv[0];
  worker_column text := nullif(tg_argv[1], '');
  month_rule text := tg_argv[2];
begin
  -- The months the statement wrote are locked before closed_month is read (see lock_month).
  if month_rule = 'journal' then
    if tg_op = 'INSERT' then
      perform accounts_dep.lock_month(p, false)
         from (select distinct (extract(year from data) * 100 + extract(month from data))::integer as p
                 from new_rows) x where p is not null order by p;
    elsif tg_op = 'DELETE' then
      perform accounts_dep.lock_month(p, false)
         from (select distinct (extract(year from data) * 100 + extract(month from data))::integer as p
                 from old_rows) x where p is not null order by p;
    else
      perform accounts_dep.lock_month(p, false)
         from (select distinct (extract(year from data) * 100 + extract(month from data))::integer as p
                 from (select data from new_rows union all select data from old_rows) r) x
        where p is not null order by p;
    end if;
  elsif month_rule = 'timesheet' then
    if tg_op = 'INSERT' then
      perform accounts_dep.lock_month(p, false)
         from (select distinct year * 100 + month as p from new_rows) x where p is not null order by p;
    elsif tg_op = 'DELETE' then
      perform accounts_dep.lock_month(p, false)
         from (select distinct year * 100 + month as p from old_rows) x where p is not null order by p;
    else
      perform accounts_dep.lock_month(p, false)
         from (select distinct year * 100 + month as p
                 from (select year, month from new_rows union all select year, month from old_rows) r) x
        where p is not null order by p;
    end if;
  end if;

  if tg_op = 'INSERT' then
    insert into accounts_dep.change_log(table_name, operation, row_key, worker_id, new_values)
    select tg_table_name, 'I', (s.v ->> key_column)::bigint, (s.v ->> worker_column)::integer, s.v
      from (select to_jsonb(r) as v from new_rows r offset 0) s
      left join accounts_dep.closed_month c on c.period = accounts_dep.pay_period(month_rule, s.v)
     where case when c.period is null then true else accounts_dep.refuse_closed_month(c.year, c.month) end;
  elsif tg_op = 'DELETE' then
    insert into accounts_dep.change_log(table_name, operation, row_key, worker_id, old_values)
    select tg_table_name, 'D', (s.v ->> key_column)::bigint, (s.v ->> worker_column)::integer, s.v
      from (select to_jsonb(r) as v from old_rows r offset 0) s
      left join accounts_dep.closed_month c on c.period = accounts_dep.pay_period(month_rule, s.v)
     where case when c.period is null then true else accounts_dep.refuse_closed_month(c.year, c.month) end;
  else
    insert into accounts_dep.change_log(table_name, operation, row_key, worker_id, old_values, new_values)
    select tg_table_name, 'U', coalesce(n.k, o.k)::bigint,
           coalesce(n.v ->> worker_column, o.v ->> worker_column)::integer, o.v, n.v
      from (select v ->> key_column as k, v from (select to_jsonb(r) as v from old_rows r offset 0) x) o
      full join (select v ->> key_column as k, v from (select to_jsonb(r) as v from new_rows r offset 0) x) n on n.k = o.k
      left join accounts_dep.closed_month co on co.period = accounts_dep.pay_period(month_rule, o.v)
      left join accounts_dep.closed_month cn on cn.period = accounts_dep.pay_period(month_rule, n.v)
     where case when co.period is not null then accounts_dep.refuse_closed_month(co.year, co.month)
                when cn.period is not null then accounts_dep.refuse_closed_month(cn.year, cn.month)
                else o.v is distinct from n.v end;
  end if;
  return null;
end $$;

create or replace function accounts_dep.log_truncate() returns trigger language plpgsql as $$
begin
  insert into accounts_dep.change_log(table_name, operation) values (tg_table_name, 'T');
  return null;
end $$;

-- The history is the server's: a client can neither write, change nor delete it.
create or replace function accounts_dep.change_log_guard() returns trigger language plpgsql as $$
begin
  if tg_op = 'INSERT' and pg_trigger_depth() > 1 then
    return null;
  end if;
  raise exception using errcode = 'TBH01',
    message = 'История изменений ведется сервером: ее нельзя ни дописать, ни изменить, ни удалить.';
end $$;
create or replace trigger change_log_guard before insert or update or delete or truncate on accounts_dep.change_log
  for each statement execute function accounts_dep.change_log_guard();
revoke update, delete, truncate on accounts_dep.change_log from public;
revoke update, delete, truncate on accounts_dep.change_log from current_user;

-- The tables whose changes are traced: table, key column, worker column, month rule.
do $$
declare
  t record;
  args text;
begin
  for t in select * from (values
      ('smena', 'id', 'w_id', 'journal'), ('h_tabel', 'id', 'w_id', 'timesheet'), ('oper', 'id', '', ''),
      ('norm', 'id', '', ''), ('izdel', 'id', '', ''), ('vid_oper', 'id', '', ''),
      ('person', 'id', 'id', ''), ('workers', 'id', 'id', ''), ('closed_month', 'period', '', ''))
      as list(name, key_column, worker_column, month_rule)
  loop
    args := format('%L, %L, %L', t.key_column, t.worker_column, t.month_rule);
    execute format('create or replace trigger %1$s_track_ins after insert on accounts_dep.%1$s '
                   'referencing new table as new_rows for each statement '
                   'execute function accounts_dep.track_changes(%2$s)', t.name, args);
    execute format('create or replace trigger %1$s_track_upd after update on accounts_dep.%1$s '
                   'referencing old table as old_rows new table as new_rows for each statement '
                   'execute function accounts_dep.track_changes(%2$s)', t.name, args);
    execute format('create or replace trigger %1$s_track_del after delete on accounts_dep.%1$s '
                   'referencing old table as old_rows for each statement '
                   'execute function accounts_dep.track_changes(%2$s)', t.name, args);
    execute format('create or replace trigger %1$s_track_trunc after truncate on accounts_dep.%1$s '
                   'for each statement execute function accounts_dep.log_truncate()', t.name);
    -- Also in a session that switched ordinary triggers off (session_replication_role =
    -- replica, as the legacy import does to copy tables in the old order): closed means
    -- closed, and every change is traced.
    execute format('alter table accounts_dep.%1$s enable always trigger %1$s_track_ins', t.name);
    execute format('alter table accounts_dep.%1$s enable always trigger %1$s_track_upd', t.name);
    execute format('alter table accounts_dep.%1$s enable always trigger %1$s_track_del', t.name);
    execute format('alter table accounts_dep.%1$s enable always trigger %1$s_track_trunc', t.name);
  end loop;
end $$;
alter table accounts_dep.smena enable always trigger smena_closed_trunc;
alter table accounts_dep.h_tabel enable always trigger h_tabel_closed_trunc;
alter table accounts_dep.change_log enable always trigger change_log_guard;

------------------------------------------------------------------------------
-- The goods join of the reports (izdel.id = smena.i_id, numeric against integer) as
-- the planner sees it: statistics of i_id::numeric. See
-- migrations/006_goods_join_statistics.sql.
create statistics if not exists accounts_dep.smena_i_id_numeric on ((i_id::numeric)) from accounts_dep.smena;
-- End of the goods join block.

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
do $$ begin perform accounts_dep.own_role_logins(); end $$;

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

-- The foreman adds entries; their hours reach the timesheet through the posting function
-- of the pay rules below, never by a direct write.
grant insert on accounts_dep.smena to tabel_foreman;
do $$
declare
  s text := pg_get_serial_sequence('accounts_dep.smena', 'id');
begin
  if s is not null then
    execute format('grant usage on sequence %s to tabel_foreman', s);
  end if;
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
                                    'signin_failure', 'signin_lock', 'h_tabel') loop
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
-- The legacy import copies tables in the old order with the reference checks off, under
-- its own role (see the pay rules below).
grant set on parameter session_replication_role to tabel_owner;
-- Tables a later version adds are the full access role's too, unless it says otherwise.
alter default privileges for role tabel_owner in schema accounts_dep
  grant select, insert, update, delete on tables to tabel_full;
alter default privileges for role tabel_owner in schema accounts_dep
  grant usage, select, update on sequences to tabel_full;

------------------------------------------------------------------------------
-- Pay rules the server enforces, whoever connects: a journal row's piece price is the
-- rule's price of its operation, shift and day-off choice; a new row arrives unaccepted;
-- the timesheet's hours are written only by the two functions that compute them from the
-- journal (a day's posting, a month's rebuild). The legacy import alone writes historic
-- prices, marks and hours, under a role of its own that a full-access login takes for the
-- import's transaction only. Needs a superuser (a role and role attributes). Written to
-- run again on a database that has it already; the same text closes schema.sql.

-- The import's role: it holds the rights to write what the old database held as it was.
-- The full-access group does not hand them on by itself (NOINHERIT): its logins take the
-- role with SET ROLE inside the import's transaction, and lose it with the transaction.
do $$
begin
  if not exists (select 1 from pg_roles where rolname = 'tabel_import') then
    create role tabel_import nologin;
  end if;
end $$;
alter role tabel_full noinherit;
grant tabel_import to tabel_full;

-- A price as the program shows it: 4 decimals at most, no trailing zeros, a decimal comma.
create or replace function accounts_dep.price_text(price numeric) returns text
  language sql immutable as $$ select replace(trim_scale(round(price, 4))::text, '.', ',') $$;

-- The piece price rule: the lowest norm price of the operation, doubled on a day off,
-- then raised by 1.2 in shift 3 or by 1.5 in shift 4 ("Переработка").
create or replace function accounts_dep.rule_price(operation integer, shift integer, day_off boolean)
  returns numeric language sql stable as $$
  select coalesce(min(n.price), 0)::numeric
         * case when day_off then 2 else 1 end
         * case shift when 3 then 1.2 when 4 then 1.5 else 1 end
    from accounts_dep.norm n
   where n.o_id = operation
$$;

-- Whether a price is the rule's at the 4 decimals the program writes (either rounding of
-- an exact tie passes), with or without the day-off factor: the box is the foreman's.
create or replace function accounts_dep.price_follows_rule(price double precision, operation integer, shift integer)
  returns boolean language sql stable as $$
  select price is not null
     and (abs(round(price::numeric, 4) - r.plain) <= 0.00005 or abs(round(price::numeric, 4) - 2 * r.plain) <= 0.00005)
    from (select accounts_dep.rule_price(operation, shift, false) as plain) r
$$;

-- The rules of a written journal row. The owner (fixtures, the demo), a superuser and the
-- import's role write rows as they are given.
create or replace function accounts_dep.smena_pay_rules() returns trigger language plpgsql as $$
declare
  operation_text text;
begin
  if current_user in ('tabel_owner', 'tabel_import') or current_setting('is_superuser') = 'on' then
    return new;
  end if;
  if tg_op = 'INSERT' then
    new.ok := coalesce(new.ok, 'no');
    if trim(new.ok) <> 'no' then
      raise exception using errcode = 'TBP02',
        message = 'Новая позиция записывается непринятой: отметку о приемке ставит кладовщик.';
    end if;
  elsif (new.cena is not distinct from old.cena or abs(new.cena::numeric - old.cena::numeric) <= 0.00005)
        and new.o_id is not distinct from old.o_id then
    -- A change that keeps the operation may keep the stored price, as the program writes
    -- it back (at 4 decimals).
    return new;
  end if;
  -- An operation that does not exist is refused by the journal's reference to it.
  if new.o_id is not null and not exists (select 1 from accounts_dep.oper o where o.id = new.o_id) then
    return new;
  end if;
  if not accounts_dep.price_follows_rule(new.cena, new.o_id, new.smena) then
    select format('%s; %s', trim(i.marka), trim(v.vid)) into operation_text
      from accounts_dep.oper o
      left join accounts_dep.izdel i on i.id = o.i_id
      left join accounts_dep.vid_oper v on v.id = o.vid
     where o.id = new.o_id;
    raise exception using errcode = 'TBP01',
      message = format(case when new.cena is null
                         then 'Цена позиции не указана, а по нормативу операции «%2$s» она %3$s, в выходной %4$s — '
                              'выберите операцию заново.'
                         else 'Цена %1$s не соответствует нормативу операции «%2$s»: по нормативу %3$s, в выходной %4$s — '
                              'выберите операцию заново.' end,
                       accounts_dep.price_text(new.cena::numeric), coalesce(operation_text, new.o_id::text),
                       accounts_dep.price_text(accounts_dep.rule_price(new.o_id, new.smena, false)),
                       accounts_dep.price_text(accounts_dep.rule_price(new.o_id, new.smena, true)));
  end if;
  return new;
end $$;

create or replace trigger smena_pay_rules_ins before insert on accounts_dep.smena
  for each row execute function accounts_dep.smena_pay_rules();
create or replace trigger smena_pay_rules_upd before update on accounts_dep.smena
  for each row
  when (new.cena is distinct from old.cena or new.o_id is distinct from old.o_id)
  execute function accounts_dep.smena_pay_rules();

-- Hours that a timesheet day column cannot hold are refused in words, not by an overflow.
create or replace function accounts_dep.check_day_hours(hours numeric, worker integer, shift integer, work_day date)
  returns integer language plpgsql immutable as $$
begin
  if hours > 2147483647 or hours < -2147483648 then
    raise exception using errcode = 'TBP03',
      message = format('Сумма часов рабочего %s за %s в смене %s (%s ч) не помещается в табель: '
                       'исправьте часы позиций этого дня.', worker, to_char(work_day, 'DD.MM.YYYY'), shift, hours);
  end if;
  return hours::integer;
end $$;

-- One day of one worker and shift posted into the timesheet: the day column gets the sum
-- of "time" of that worker's entries of that shift and date (0 when none are left). With
-- may_create a missing row is created; without it a missing row stays missing. Takes the
-- worker's timesheet lock, so postings of one worker take turns and each sums what the
-- other committed. Returns the hours posted.
create or replace function accounts_dep.post_day_hours(worker integer, shift integer, work_day date,
                                                       may_create boolean)
  returns integer language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  day_no integer := extract(day from work_day)::integer;
  month_no integer := extract(month from work_day)::integer;
  year_no integer := extract(year from work_day)::integer;
  cnt bigint := 0;
  hours integer;
begin
  perform pg_advisory_xact_lock(hashtext('h_tabel'), worker);
  if may_create then
    select count(h.w_id) into cnt from accounts_dep.h_tabel h
     where h.w_id = worker and h.smena = shift and h.month = month_no and h.year = year_no;
  end if;
  select accounts_dep.check_day_hours(coalesce(sum(s.time), 0), worker, shift, work_day) into hours
    from accounts_dep.smena s
   where s.w_id = worker and s.smena = shift and s.data = work_day;
  if may_create and cnt = 0 then
    execute format('insert into accounts_dep.h_tabel(smena, w_id, month, year, d%1$s) values ($1, $2, $3, $4, $5)'
                   ' on conflict (year, month, w_id, smena) do update set d%1$s = excluded.d%1$s', day_no)
      using shift, worker, month_no, year_no, hours;
  else
    execute format('update accounts_dep.h_tabel set d%1$s = $5 where w_id = $2 and smena = $1 and month = $3 and year = $4',
                   day_no)
      using shift, worker, month_no, year_no, hours;
  end if;
  return hours;
end $$;

-- A month's timesheet rebuilt from the journal: one row per worker and shift that has
-- entries in the month, each day the sum of its entries' hours, days without entries 0.
-- The stored month is brought there by its differences, so only rows that really change
-- are written (and traced in the history). Everything else that touches the timesheet
-- waits until it ends. Returns the number of the month's rows.
create or replace function accounts_dep.rebuild_month(month_no integer, year_no integer)
  returns integer language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  first_day date := make_date(year_no, month_no, 1);
  next_first date := (make_date(year_no, month_no, 1) + interval '1 month')::date;
  bad date;
  bad_shift integer;
  bad_worker integer;
  bad_hours bigint;
  cols text;
  new_cols text;
  old_cols text;
  sums text;
  total integer;
begin
  if current_setting('lock_timeout') = '0' then
    perform set_config('lock_timeout', '15s', true);
  end if;
  lock table accounts_dep.h_tabel in access exclusive mode;
  -- The month's day sums are checked once, before any row is made: an entry without
  -- worker, shift or hours cannot be summed into a row, and a day's sum must fit its column.
  select g.data, g.smena, g.w_id, g.tim into bad, bad_shift, bad_worker, bad_hours
    from (select s.data, s.smena, s.w_id, sum(s.time) as tim from accounts_dep.smena s
           where s.data >= first_day and s.data < next_first group by s.data, s.smena, s.w_id) g
   where g.smena is null or g.w_id is null or g.tim is null or g.tim > 2147483647 or g.tim < -2147483648
   order by g.data
   limit 1;
  if found then
    if bad_shift is null or bad_worker is null or bad_hours is null then
      raise exception using errcode = 'TBP04',
        message = format('Табель не перестроен: записи журнала за %s не удалось сложить: '
                         'у записи нет рабочего, смены или часов.', to_char(bad, 'DD.MM.YYYY'));
    end if;
    perform accounts_dep.check_day_hours(bad_hours, bad_worker, bad_shift, bad);
  end if;
  select string_agg(format('d%s', d), ', ' order by d), string_agg(format('n.d%s', d), ', ' order by d),
         string_agg(format('t.d%s', d), ', ' order by d),
         string_agg(format('coalesce(sum(g.tim) filter (where g.day = %1$s), 0)::integer as d%1$s', d),
                    ', ' order by d)
    into cols, new_cols, old_cols, sums
    from generate_series(1, extract(day from next_first - 1)::integer) d;
  if to_regclass('pg_temp.rebuilt_month_rows') is not null then
    drop table pg_temp.rebuilt_month_rows;
  end if;
  execute format('create temporary table rebuilt_month_rows on commit drop as '
                 'select g.smena, g.w_id, %s from (select s.smena, s.w_id, extract(day from s.data)::integer as day, '
                 'sum(s.time) as tim from accounts_dep.smena s where s.data >= $1 and s.data < $2 '
                 'group by s.smena, s.w_id, s.data) g group by g.smena, g.w_id', sums)
    using first_day, next_first;
  delete from accounts_dep.h_tabel t
   where t.month = month_no and t.year = year_no
     and not exists (select 1 from pg_temp.rebuilt_month_rows n where n.smena = t.smena and n.w_id = t.w_id);
  execute format('update accounts_dep.h_tabel t set (%1$s) = (%2$s) from pg_temp.rebuilt_month_rows n '
                 'where t.month = $1 and t.year = $2 and t.smena = n.smena and t.w_id = n.w_id '
                 'and (%3$s) is distinct from (%2$s)', cols, new_cols, old_cols)
    using month_no, year_no;
  execute format('insert into accounts_dep.h_tabel(smena, w_id, month, year, %1$s) '
                 'select n.smena, n.w_id, $1, $2, %2$s from pg_temp.rebuilt_month_rows n '
                 'where not exists (select 1 from accounts_dep.h_tabel t '
                 'where t.month = $1 and t.year = $2 and t.smena = n.smena and t.w_id = n.w_id)', cols, new_cols)
    using month_no, year_no;
  select count(*) into total from pg_temp.rebuilt_month_rows;
  drop table pg_temp.rebuilt_month_rows;
  return total;
end $$;

-- The functions are the owner's, as everything of the schema.
alter function accounts_dep.price_text(numeric) owner to tabel_owner;
alter function accounts_dep.rule_price(integer, integer, boolean) owner to tabel_owner;
alter function accounts_dep.price_follows_rule(double precision, integer, integer) owner to tabel_owner;
alter function accounts_dep.smena_pay_rules() owner to tabel_owner;
alter function accounts_dep.check_day_hours(numeric, integer, integer, date) owner to tabel_owner;
alter function accounts_dep.post_day_hours(integer, integer, date, boolean) owner to tabel_owner;
alter function accounts_dep.rebuild_month(integer, integer) owner to tabel_owner;

-- Who may call what: the foreman and full access post the days their saves touch; full
-- access rebuilds months. Nobody else, and no login writes the hours directly.
revoke all on function accounts_dep.post_day_hours(integer, integer, date, boolean),
                       accounts_dep.rebuild_month(integer, integer) from public;
grant execute on function accounts_dep.post_day_hours(integer, integer, date, boolean) to tabel_foreman, tabel_full;
grant execute on function accounts_dep.rebuild_month(integer, integer) to tabel_full;
revoke insert, update, delete, truncate on accounts_dep.h_tabel from tabel_foreman, tabel_full;
do $$
declare
  s text := pg_get_serial_sequence('accounts_dep.h_tabel', 'id');
begin
  if s is not null then
    execute format('revoke usage on sequence %s from tabel_foreman', s);
  end if;
end $$;

-- The import's role writes the tables the import replaces, as the old database held them.
grant usage on schema accounts_dep, cmn_contractor, cmn_gds_and_srv to tabel_import;
grant select, insert, update, delete on accounts_dep.h_tabel, accounts_dep.izdel, accounts_dep.nomenkl,
  accounts_dep.oper, accounts_dep.vid_oper, accounts_dep.workers, accounts_dep.smena, accounts_dep.norm
  to tabel_import;
grant select, insert, update, delete on cmn_gds_and_srv.gds_and_srv to tabel_import;
grant select on accounts_dep.person, cmn_contractor.person, accounts_dep.closed_month to tabel_import;
grant usage, select, update on all sequences in schema accounts_dep, cmn_contractor, cmn_gds_and_srv to tabel_import;
grant set on parameter session_replication_role to tabel_import;
-- Full access itself no longer switches the checks and the history off.
revoke set on parameter session_replication_role from tabel_full;

-- The full-access login reads the old journal where a plant keeps it, beside the schema.
grant usage on schema public to tabel_full;
do $$
begin
  if to_regclass('public.smena') is not null then
    grant select on public.smena to tabel_full;
  end if;
end $$;
-- End of the pay rules block.
