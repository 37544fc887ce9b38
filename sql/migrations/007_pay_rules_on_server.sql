-- tabel-setup-server: superuser
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
