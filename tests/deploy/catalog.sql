-- The catalog of a Tabel database as sorted lines, "what | which | how", so that two
-- databases compare with diff: schemas, tables, columns, constraints, indexes, sequences,
-- statistics, domains, functions, triggers, policies, grants, owners, default privileges
-- and the database's own settings. Objects of extensions are the extension's and left
-- out; the database's name is written as DB, so that two databases compare.
\pset tuples_only on
\pset format unaligned
\pset fieldsep ' | '
with ours as (
  select n.oid, n.nspname from pg_namespace n
   where n.nspname not in ('pg_catalog', 'information_schema', 'pg_toast')
     and n.nspname not like 'pg_temp%' and n.nspname not like 'pg_toast_temp%'
),
-- An object that belongs to an extension (pgcrypto's functions) is not the schema's.
ext_member as (
  select d.classid, d.objid from pg_depend d where d.deptype = 'e'
),
-- Grants one per line and sorted, so that their order in the catalog does not count.
acl(kind, obj, acl) as (
  select 'schema', n.nspname, n2.nspacl from ours n join pg_namespace n2 on n2.oid = n.oid
  union all
  select case c.relkind when 'S' then 'sequence' else 'table' end, c.oid::regclass::text, c.relacl
    from pg_class c join ours n on n.oid = c.relnamespace
   where c.relkind in ('r', 'p', 'v', 'm', 'S', 'f')
  union all
  select 'column', a.attrelid::regclass::text || '.' || a.attname, a.attacl
    from pg_attribute a join pg_class c on c.oid = a.attrelid join ours n on n.oid = c.relnamespace
   where c.relkind in ('r', 'p', 'v', 'm', 'f') and a.attnum > 0 and not a.attisdropped
  union all
  select 'function', p.oid::regprocedure::text, p.proacl
    from pg_proc p join ours n on n.oid = p.pronamespace
   where (p.tableoid, p.oid) not in (select * from ext_member)
  union all
  select 'type', t.oid::regtype::text, t.typacl
    from pg_type t join ours n on n.oid = t.typnamespace
   where t.typtype = 'd'
  union all
  select 'database', 'DB', d.datacl from pg_database d where d.datname = current_database()
),
lines(what, which, how) as (
  select 'schema', n.nspname, 'owner ' || pg_get_userbyid(n2.nspowner)
    from ours n join pg_namespace n2 on n2.oid = n.oid
  union all
  select 'extension', e.extname, 'in schema ' || e.extnamespace::regnamespace::text
    from pg_extension e where e.extname <> 'plpgsql'
  union all
  select 'database', 'DB', 'owner ' || pg_get_userbyid(d.datdba)
    from pg_database d where d.datname = current_database()
  union all
  select 'database', 'DB', 'set ' || array_to_string(s.setconfig, ', ')
    from pg_db_role_setting s join pg_database d on d.oid = s.setdatabase
   where d.datname = current_database() and s.setrole = 0
  union all
  select case c.relkind when 'r' then 'table' when 'p' then 'table' when 'v' then 'view'
                        when 'm' then 'view' when 'S' then 'sequence' else 'relation ' || c.relkind::text end,
         c.oid::regclass::text,
         concat_ws(', ', 'owner ' || pg_get_userbyid(c.relowner),
                   case when c.relrowsecurity then 'row security' end,
                   case when c.relforcerowsecurity then 'row security forced' end,
                   case when c.reloptions is not null then 'with ' || array_to_string(c.reloptions, ', ') end,
                   case when c.relpersistence = 'u' then 'unlogged' end)
    from pg_class c join ours n on n.oid = c.relnamespace
   where c.relkind in ('r', 'p', 'v', 'm', 'S', 'f')
  union all
  select 'view', c.oid::regclass::text, 'as ' || regexp_replace(pg_get_viewdef(c.oid), '\s+', ' ', 'g')
    from pg_class c join ours n on n.oid = c.relnamespace where c.relkind in ('v', 'm')
  union all
  select 'sequence', s.seqrelid::regclass::text,
         format('%s start %s increment %s min %s max %s cache %s%s%s', format_type(s.seqtypid, null),
                s.seqstart, s.seqincrement, s.seqmin, s.seqmax, s.seqcache,
                case when s.seqcycle then ' cycle' else '' end,
                coalesce(' owned by ' || (select d.refobjid::regclass::text || '.' || a.attname
                                            from pg_depend d join pg_attribute a
                                              on a.attrelid = d.refobjid and a.attnum = d.refobjsubid
                                           where d.classid = 'pg_class'::regclass and d.objid = s.seqrelid
                                             and d.refclassid = 'pg_class'::regclass and d.deptype in ('a', 'i')
                                           limit 1), ''))
    from pg_sequence s join pg_class c on c.oid = s.seqrelid join ours n on n.oid = c.relnamespace
  union all
  select 'column', a.attrelid::regclass::text || '.' || a.attname,
         concat_ws(' ', format_type(a.atttypid, a.atttypmod),
                   case when a.attcollation <> 0 and a.attcollation <> t.typcollation
                        then 'collate ' || a.attcollation::regcollation::text end,
                   case when a.attnotnull then 'not null' end,
                   case a.attidentity when 'a' then 'generated always as identity'
                                      when 'd' then 'generated by default as identity' end,
                   case when a.attgenerated = 's' then 'generated always as (' || pg_get_expr(ad.adbin, ad.adrelid) || ') stored'
                        when ad.adbin is not null then 'default ' || pg_get_expr(ad.adbin, ad.adrelid) end,
                   'column ' || row_number() over (partition by a.attrelid order by a.attnum))
    from pg_attribute a join pg_class c on c.oid = a.attrelid join ours n on n.oid = c.relnamespace
    join pg_type t on t.oid = a.atttypid
    left join pg_attrdef ad on ad.adrelid = a.attrelid and ad.adnum = a.attnum
   where c.relkind in ('r', 'p', 'v', 'm', 'f') and a.attnum > 0 and not a.attisdropped
  union all
  select 'constraint', coalesce(c.conrelid::regclass::text, c.contypid::regtype::text) || ' ' || c.conname,
         pg_get_constraintdef(c.oid) || case when c.convalidated then '' else ' (not validated)' end
    from pg_constraint c join ours n on n.oid = c.connamespace
  union all
  select 'index', i.indexrelid::regclass::text, pg_get_indexdef(i.indexrelid)
    from pg_index i join pg_class c on c.oid = i.indexrelid join ours n on n.oid = c.relnamespace
  union all
  select 'statistics', s.stxnamespace::regnamespace::text || '.' || s.stxname,
         pg_get_statisticsobjdef(s.oid) || ' owner ' || pg_get_userbyid(s.stxowner)
    from pg_statistic_ext s join ours n on n.oid = s.stxnamespace
  union all
  select 'type', t.oid::regtype::text,
         concat_ws(' ', 'domain over ' || format_type(t.typbasetype, t.typtypmod),
                   case when t.typnotnull then 'not null' end,
                   'default ' || t.typdefault, 'owner ' || pg_get_userbyid(t.typowner))
    from pg_type t join ours n on n.oid = t.typnamespace where t.typtype = 'd'
  union all
  select 'function', p.oid::regprocedure::text, 'owner ' || pg_get_userbyid(p.proowner)
    from pg_proc p join ours n on n.oid = p.pronamespace
   where (p.tableoid, p.oid) not in (select * from ext_member)
  union all
  -- The whole definition line by line, each line named by its function: arguments,
  -- result, language, volatility, security definer, settings and body.
  select 'function text', p.oid::regprocedure::text || ' line ' || lpad(l.n::text, 3, '0'), l.line
    from pg_proc p join ours n on n.oid = p.pronamespace,
         regexp_split_to_table(pg_get_functiondef(p.oid), E'\n') with ordinality l(line, n)
   where (p.tableoid, p.oid) not in (select * from ext_member) and p.prokind <> 'a'
  union all
  select 'trigger', t.tgrelid::regclass::text || ' ' || t.tgname,
         pg_get_triggerdef(t.oid) || case t.tgenabled when 'O' then '' when 'D' then ' (disabled)'
                                                      else ' (enabled ' || t.tgenabled::text || ')' end
    from pg_trigger t join pg_class c on c.oid = t.tgrelid join ours n on n.oid = c.relnamespace
   where not t.tgisinternal
  union all
  select 'policy', p.polrelid::regclass::text || ' ' || p.polname,
         format('%s for %s to %s using (%s) with check (%s)',
                case when p.polpermissive then 'permissive' else 'restrictive' end, p.polcmd,
                (select string_agg(case when r = 0 then 'public' else pg_get_userbyid(r)::text end, ', ' order by 1)
                   from unnest(p.polroles) r),
                pg_get_expr(p.polqual, p.polrelid), pg_get_expr(p.polwithcheck, p.polrelid))
    from pg_policy p join pg_class c on c.oid = p.polrelid join ours n on n.oid = c.relnamespace
  union all
  select 'grant on ' || a.kind, a.obj, g.grant_text
    from acl a, lateral (select x::text as grant_text from unnest(a.acl) x) g
   where a.acl is not null
  union all
  -- No grants at all (null) is the owner's full rights and PUBLIC's defaults: not the
  -- same as an emptied list.
  select 'grant on ' || a.kind, a.obj, 'defaults' from acl a where a.acl is null
  union all
  select 'default privileges', coalesce(d.defaclnamespace::regnamespace::text, 'all schemas'),
         format('for %s on %s: %s', pg_get_userbyid(d.defaclrole), d.defaclobjtype, x::text)
    from pg_default_acl d, unnest(d.defaclacl) x
)
select what, replace(which, current_database(), 'DB'), replace(how, current_database(), 'DB')
  from lines
 order by 1, 2, 3;
