-- Views the console reads, as the embedded scheme has them (views hold no
-- rows: an installed scheme gets them anew).
SET ROLE zandrell_owner;

DROP VIEW IF EXISTS zandrell5.v_access, zandrell5.v_menucfg, zandrell5.v_srvitems, zandrell5.v_srvitems_mode,
  zandrell5.v_menu_history, zandrell5.v_sysusers, zandrell5.v_sysusers_2, zandrell5.v_languages,
  zandrell5.v_lang_no_translate;

CREATE VIEW zandrell5.v_access AS
  SELECT accessid, name FROM zandrell5.accesslist;

CREATE VIEW zandrell5.v_menucfg AS
  SELECT id_cfg, accessid, owner, isgroup, menuname, itemid, itemmode, sort_order
    FROM zandrell5.menucfg;

CREATE VIEW zandrell5.v_srvitems AS
  SELECT itemid, srvname, dllname, guid, createbtn, islang, srvname AS source_srvname
    FROM zandrell5.srvitems;

CREATE VIEW zandrell5.v_srvitems_mode AS
  SELECT m.itemid, m.sort_order, m.name, m.source_name, m.islang, s.guid
    FROM zandrell5.srvitems_mode m JOIN zandrell5.srvitems s ON s.itemid = m.itemid;

CREATE VIEW zandrell5.v_menu_history AS
  SELECT id, changed_at, login, operation, accessid, object_id, object_name, old_value, new_value
    FROM zandrell5.menu_history;

CREATE VIEW zandrell5.v_sysusers AS
  SELECT id, login, name, accessid, isadmin, force_pass_change FROM zandrell5.sysuser;

CREATE VIEW zandrell5.v_sysusers_2 AS
  SELECT id, login, name, accessid, isadmin, force_pass_change FROM zandrell5.sysuser;

-- The languages of the pack, with the session user's choices ticked (Russian until chosen).
CREATE VIEW zandrell5.v_languages AS
  SELECT l.lang_id, l.lang_sub_id, l.lang_name,
         CASE WHEN l.lang_id = coalesce(u.apl_lang_id, 25) AND l.lang_sub_id = coalesce(u.apl_lang_sub_id, 0)
              THEN 1 ELSE 0 END AS apl_lang_checked,
         CASE WHEN l.lang_id = coalesce(u.rep_lang_id, 25) AND l.lang_sub_id = coalesce(u.rep_lang_sub_id, 0)
              THEN 1 ELSE 0 END AS rep_lang_checked
    FROM zandrell5.languages l LEFT JOIN zandrell5.user_langs u ON u.login = upper(session_user);

CREATE VIEW zandrell5.v_lang_no_translate AS
  SELECT txt FROM zandrell5.no_translate_texts;

GRANT SELECT ON ALL TABLES IN SCHEMA zandrell5 TO zandrell_users;
RESET ROLE;
