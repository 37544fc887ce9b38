------------------------------------------------------------------------------
-- The reports join products on izdel.id = smena.i_id, a numeric against an integer,
-- which the server compares as i_id::numeric. Without statistics of that expression the
-- planner takes one journal row in 200 to match a product instead of one in 60, and
-- plans every report for a third of the rows it reads. (Both keys keep their types: the
-- product key is a decimal of the goods catalogue, the journal's reference an integer.)
create statistics if not exists accounts_dep.smena_i_id_numeric on ((i_id::numeric)) from accounts_dep.smena;
analyze accounts_dep.smena;
