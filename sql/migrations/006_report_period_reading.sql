------------------------------------------------------------------------------
-- The reports read a period of the journal. Two things make that cost the same however
-- many other years the journal holds, and let the planner see how the goods join:
--
-- smena_period holds every journal column the reports read, in date order, so a period
-- is read from its own stretch of the index alone (an index-only scan) instead of from
-- every table page that holds one of its rows: rows of one date are scattered over the
-- table as entries are added and changed, and a table of ten years otherwise makes the
-- planner trade its sequential scan for a bitmap scan of the same pages and more.
create index if not exists smena_period on accounts_dep.smena(data)
  include (w_id, i_id, o_id, kol_vo, brak, cena, color, prize);

-- The reports join products on izdel.id = smena.i_id, a numeric against an integer, which
-- the server compares as i_id::numeric. Without statistics of that expression the planner
-- takes one journal row in 200 to match a product instead of one in 60 and plans the
-- reports for a third of their rows. (The two keys keep their types: the product key is
-- a decimal of the goods catalogue, the journal's reference an integer.)
create statistics if not exists accounts_dep.smena_i_id_numeric on ((i_id::numeric)) from accounts_dep.smena;
analyze accounts_dep.smena;
