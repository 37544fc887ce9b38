-- The schema as it stood before sql/migrations/ existed: a database an office made by
-- hand from it has every numbered change to come and no record of any. Kept as it was;
-- the schema check upgrades a database made from it.
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
