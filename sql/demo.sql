-- Tabel: a demo plant. Loaded once into a new database after schema.sql.
-- Journal entries cover the five weeks up to the day the demo is created, with their
-- timesheet, so the journal opens on today's work.

set client_min_messages = warning;
set datestyle = 'ISO, DMY';
select setseed(0.4242);

-- Lookup tables of the personnel subsystem.
insert into cmn_department.department(id, id_branch, s_code, s_caption, s_description, id_parent) values
  (1, 1, '01', 'Заготовительный участок', 'Резка и штамповка заготовок', null),
  (2, 1, '02', 'Гибочный участок', 'Гибка кронштейнов и профилей', null),
  (3, 1, '03', 'Покрасочный участок', 'Порошковая покраска и грунтовка', null),
  (4, 1, '04', 'Сборочный участок', 'Сборка и упаковка', null),
  (5, 1, '05', 'Склад готовой продукции', 'Приемка и отгрузка', null);

insert into hrms_staffpos.staffpos(id, id_department, s_code, s_caption, d_begin, d_end, s_description) values
  (1, 1, '101', 'Оператор листогиба', '2015-01-01', null, ''),
  (2, 1, '102', 'Штамповщик', '2015-01-01', null, ''),
  (3, 3, '301', 'Маляр', '2015-01-01', null, ''),
  (4, 4, '401', 'Слесарь-сборщик', '2015-01-01', null, ''),
  (5, 4, '402', 'Упаковщик', '2015-01-01', null, ''),
  (6, 5, '501', 'Кладовщик', '2015-01-01', null, ''),
  (7, 2, '201', 'Мастер смены', '2015-01-01', null, '');

insert into adm_role.roles(id, s_name, s_caption, d_begin, d_end, b_active) values
  (1, 'worker', 'Рабочий', '2015-01-01', null, 'true'),
  (2, 'foreman', 'Мастер', '2015-01-01', null, 'true'),
  (3, 'storekeeper', 'Кладовщик', '2015-01-01', null, 'true'),
  (4, 'planner', 'Плановик', '2015-01-01', null, 'true');

-- Workers: each is listed in the shared person directory by the server.
insert into accounts_dep.person(fio, s_staffpos_hl) values
  ('Алексеев В.П.', 'Заготовительный участок'),
  ('Белов С.Н.', 'Заготовительный участок'),
  ('Васильева Т.А.', 'Покрасочный участок'),
  ('Воронин Д.И.', 'Гибочный участок'),
  ('Гаврилов А.М.', 'Гибочный участок'),
  ('Григорьева Е.В.', 'Сборочный участок'),
  ('Дмитриев О.С.', 'Заготовительный участок'),
  ('Егоров Н.К.', 'Гибочный участок'),
  ('Ёлкин П.Р.', 'Покрасочный участок'),
  ('Жуков М.А.', 'Сборочный участок'),
  ('Зайцева И.Ю.', 'Сборочный участок'),
  ('Иванов И.И.', 'Гибочный участок'),
  ('Козлов Р.В.', 'Заготовительный участок'),
  ('Лебедев К.Г.', 'Покрасочный участок'),
  ('Морозова А.С.', 'Сборочный участок'),
  ('Николаев Ю.Б.', 'Гибочный участок'),
  ('Орлов В.В.', 'Заготовительный участок'),
  ('Павлов Г.Е.', 'Покрасочный участок'),
  ('Романова Л.Н.', 'Сборочный участок'),
  ('Семенов А.Ф.', 'Гибочный участок'),
  ('Тихонов Е.Д.', 'Заготовительный участок'),
  ('Федоров С.С.', 'Гибочный участок'),
  ('Шестаков И.А.', 'Покрасочный участок'),
  ('Яковлева Н.П.', 'Сборочный участок');

-- Operation kinds; "Покраска" and "Порошковая покраска" are paint operations.
insert into accounts_dep.vid_oper(vid) values
  ('Резка'), ('Штамповка'), ('Гибка'), ('Сверловка'), ('Покраска'),
  ('Порошковая покраска'), ('Грунтовка'), ('Сборка'), ('Упаковка');

-- Products, written into the goods catalogue; the server lists them as products.
insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa) values
  ('КР-100', 'Кронштейн несущий оцинкованный 100 мм', 6, 0.42),
  ('КР-150', 'Кронштейн несущий оцинкованный 150 мм', 6, 0.55),
  ('КР-200', 'Кронштейн несущий оцинкованный 200 мм', 6, 0.71),
  ('КР АL-90', 'Кронштейн алюминиевый 90 мм', 6, 0.18),
  ('КР АL-150', 'Кронштейн алюминиевый 150 мм', 6, 0.26),
  ('ПР-20', 'Профиль основной 20х20', 6, 1.35),
  ('ПРН-40', 'Профиль Н-образный 40 мм', 6, 1.90),
  ('ПРГ-60', 'Профиль Г-образный 60х40', 6, 2.10),
  ('ПРZ-35', 'Профиль Z-образный 35 мм', 6, 1.62),
  ('ПРД У-30', 'Профиль декоративный угловой 30 мм', 6, 0.95),
  ('ПРД В-25', 'Профиль декоративный вертикальный 25 мм', 6, 0.88),
  ('ПДГВ-15', 'Профиль декоративный горизонт./вертик. 15 мм', 6, 0.66),
  ('КЛОЦ-1', 'Кляммер оцинкованный рядовой', 6, 0.05),
  ('С1КЛ-5', 'Кляммер поворотный', 6, 0.07),
  ('С2КЛ-8', 'Кляммер дистанционный', 6, 0.09),
  ('С3КЛ-2', 'Кляммер концевой', 6, 0.06),
  ('КЛ430-2', 'Кляммер нержавеющий AISI 430', 6, 0.05),
  ('КЛ1304-1', 'Кляммер нержавеющий 12Х18Н10Т', 6, 0.05),
  ('ПЛ-10', 'Платик опорный', 6, 0.12),
  ('ПП-3', 'Прокладка паронитовая 3 мм', 6, 0.01),
  ('УДЛ-100', 'Удлинитель кронштейна 100 мм', 6, 0.30),
  ('МДФ-1', 'Скоба МДФ', 6, 0.04);

-- Operations: each product goes through a few kinds, as finished product or as blank.
insert into accounts_dep.oper(vid, naimen, i_id, cena_new)
select k.id, r.naimen, p.id, 0
  from (values
    ('КР', 'Резка', 1), ('КР', 'Штамповка', 1), ('КР', 'Гибка', 0), ('КР', 'Сверловка', 1), ('КР', 'Упаковка', 0),
    ('ПР', 'Резка', 1), ('ПР', 'Гибка', 0), ('ПР', 'Порошковая покраска', 0), ('ПР', 'Упаковка', 0),
    ('ПД', 'Резка', 1), ('ПД', 'Гибка', 0), ('ПД', 'Покраска', 0),
    ('КЛ', 'Штамповка', 0), ('КЛ', 'Упаковка', 0),
    ('С1', 'Штамповка', 0), ('С1', 'Сборка', 0), ('С2', 'Штамповка', 0), ('С2', 'Сборка', 0),
    ('С3', 'Штамповка', 0),
    ('ПЛ', 'Штамповка', 0), ('ПЛ', 'Грунтовка', 0),
    ('ПП', 'Резка', 0),
    ('УД', 'Резка', 1), ('УД', 'Гибка', 0), ('УД', 'Покраска', 0),
    ('МД', 'Штамповка', 0)
  ) as r(prefix, kind, naimen)
  join accounts_dep.izdel p on left(p.marka, 2) = r.prefix
  join accounts_dep.vid_oper k on k.vid = r.kind
 order by p.marka, k.vid;

-- Norm levels: one to three per operation, a higher level pays a little more per piece.
insert into accounts_dep.norm(o_id, norma, prize, price)
select o.id, lvl.n * 100, (lvl.n - 1) * 5,
       round((case k.vid
                when 'Резка' then 0.35 when 'Штамповка' then 0.28 when 'Гибка' then 0.6
                when 'Сверловка' then 0.22 when 'Покраска' then 1.1 when 'Порошковая покраска' then 1.45
                when 'Грунтовка' then 0.5 when 'Сборка' then 0.8 else 0.15 end
              * (1 + (o.i_id::integer % 5) * 0.1) * (1 + (lvl.n - 1) * 0.08))::numeric, 4)::double precision
  from accounts_dep.oper o
  join accounts_dep.vid_oper k on k.id = o.vid
  cross join lateral generate_series(1, 1 + o.id % 3) as lvl(n);

-- List prices, as the price list exports them: the base norm price to the kopeck.
update accounts_dep.oper o
   set cena_new = (select round(min(n.price)::numeric, 2) from accounts_dep.norm n where n.o_id = o.id);

-- Five weeks of journal entries up to today. Each worker keeps to one shift, works
-- Monday to Saturday (Saturday counts as a day off and pays double), and does one to
-- three operations a day; some take an overtime entry.
create temporary table demo_ops as
select row_number() over (order by o.id) as n, o.id as o_id, o.i_id, k.vid,
       (select min(price) from accounts_dep.norm where o_id = o.id) as price
  from accounts_dep.oper o join accounts_dep.vid_oper k on k.id = o.vid;

create temporary table demo_workers as
select row_number() over (order by id) as n, id, case when row_number() over (order by id) % 6 = 0 then 3 when row_number() over (order by id) % 3 = 0 then 2 else 1 end as shift
  from accounts_dep.person;

insert into accounts_dep.smena(w_id, i_id, o_id, kol_vo, brak, data, smena, cena, color, time, ok, vvod,
                               prize, id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use)
select distinct on (w.id, op.o_id, d.day, sh.shift) w.id, op.i_id, op.o_id, q.kol_vo, q.brak, d.day, sh.shift,
       round((op.price * (case when extract(isodow from d.day) >= 6 then 2.0 else 1.0 end)
                       * (case sh.shift when 3 then 1.2 when 4 then 1.5 else 1.0 end))::numeric, 4)::double precision,
       case when upper(op.vid) like '%КРАСКА%' then (array[1, 7035, 9016, 8017, 3005, 6005])[1 + (w.n + j.k) % 6] else 0 end,
       case when sh.shift = 4 then 2 + (w.n % 3) else (8 / j.cnt) end,
       case when d.day < current_date - 3 then (case when (w.n + j.k) % 11 = 0 then 'no' else 'ok' end) else 'no' end,
       d.day, 0, 0, 0, 0, 0, 0
  from generate_series(current_date - 34, current_date, interval '1 day') as g(day)
  cross join lateral (select g.day::date as day) d
  join demo_workers w on extract(isodow from d.day) <= 6
                     and (w.n + extract(doy from d.day)::int) % 9 <> 0          -- days off and sick days
  cross join lateral (select 1 + (w.n + extract(doy from d.day)::int) % 3 as cnt) c
  cross join lateral generate_series(1, c.cnt) as j0(k)
  cross join lateral (select j0.k as k, c.cnt as cnt) j
  cross join lateral (select * from demo_ops
                       where n = 1 + ((w.n * 7 + j.k * 5 + extract(doy from d.day)::int * 3) % (select count(*) from demo_ops))) op
  cross join lateral (values (w.shift), (4)) as sh(shift)
  cross join lateral (select 40 + ((w.n * 13 + j.k * 17 + extract(doy from d.day)::int) % 160) as kol_vo,
                             case when (w.n + j.k + extract(doy from d.day)::int) % 7 = 0 then 1 + (w.n % 3) else 0 end as brak) q
 where sh.shift = w.shift
    or (sh.shift = 4 and j.k = 1 and (w.n + extract(doy from d.day)::int) % 6 = 0 and extract(isodow from d.day) < 6)
 order by w.id, op.o_id, d.day, sh.shift, j.k;

-- The timesheet of those weeks, one row per worker, shift and month.
do $$
declare
  days text := '';
  sums text := '';
begin
  for n in 1..31 loop
    days := days || format(', d%s', n);
    sums := sums || format(', coalesce(sum(time) filter (where extract(day from data) = %s), 0)', n);
  end loop;
  execute format('insert into accounts_dep.h_tabel(w_id, smena, month, year%s)
                  select w_id, smena, extract(month from data)::int, extract(year from data)::int%s
                    from accounts_dep.smena
                   group by w_id, smena, extract(month from data), extract(year from data)', days, sums);
end $$;

insert into accounts_dep.ver(d, t, delim) values (0, 0, ';');
