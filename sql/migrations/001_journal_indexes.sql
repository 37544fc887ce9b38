-- The indexes the shift journals, the hours posting and the operations list read
-- through. A database made before they were part of the schema reads every journal
-- row for each shift shown.
create index if not exists smena_data_smena on accounts_dep.smena(data, smena);
create index if not exists smena_w_id_data on accounts_dep.smena(w_id, data);
create index if not exists oper_i_id on accounts_dep.oper(i_id);
create index if not exists norm_o_id on accounts_dep.norm(o_id);
