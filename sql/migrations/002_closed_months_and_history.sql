------------------------------------------------------------------------------
-- Pay-data control: closed months and the history of changes. Both live here, not in
-- the client, so that every workstation of every build and every other program of the
-- plant meets the same rules. Written to run again on a database that has them already.

-- "03.2024": how a month is named in messages.
create or replace function accounts_dep.month_label(y integer, m integer) returns text
  language sql immutable as $$ select lpad(m::text, 2, '0') || '.' || y::text $$;

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
