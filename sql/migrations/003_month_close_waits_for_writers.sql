------------------------------------------------------------------------------
-- A month's writers and its closing are serialised on the server: no write commits
-- into a month after its closing committed; and the journal's statistics follow the day's
-- entries. Written to run again on a database that has it already.

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

-- The writers' side: each statement locks the months it wrote before it checks them.
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

-- The journal is read by date, and today's is always the newest: statistics taken before
-- the day began know nothing of its entries, and the planner, expecting a row or two,
-- joins every person to every entry (59 ms for a shift of 750 entries and 250 persons,
-- 3.8 ms once analysed). Analysed after every 500 changed rows, the day's entries are
-- known to it within autovacuum's next round.
alter table accounts_dep.smena set (autovacuum_analyze_scale_factor = 0, autovacuum_analyze_threshold = 500);
