-- Each sequence of MENUPACK stands at least at its table's highest id: a row
-- of the demo, or one written around the package, never gives its id to a new row.
SET ROLE zandrell_owner;
SELECT sys.keep_sequence('zandrell5.accesslist_seq', (SELECT max(accessid) FROM zandrell5.accesslist)::bigint);
SELECT sys.keep_sequence('zandrell5.menucfg_seq', (SELECT max(id_cfg) FROM zandrell5.menucfg)::bigint);
SELECT sys.keep_sequence('zandrell5.srvitems_seq', (SELECT max(itemid) FROM zandrell5.srvitems)::bigint);
SELECT sys.keep_sequence('zandrell5.menu_history_seq', (SELECT max(id) FROM zandrell5.menu_history)::bigint);
RESET ROLE;
