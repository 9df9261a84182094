-- MENUPACK: the package behind the menu editor, with the contract of the
-- embedded server's (Platform/EmbeddedServer/README.md): only administrators
-- call it (ORA-01031), ids come from sequences that only grow, texts are
-- refused whole when too long (ORA-12899), a row changed by another session
-- since the caller read it is refused (ORA-20002), walks up a menu's owners
-- are bounded, no two access groups share a name (ORA-00001), and every
-- change is written to the history by the call that makes it. Each procedure runs with the rights of the scheme's owner and
-- locks the rows it checks, so a second administrator waits for the first
-- one's commit and then sees what it did: never a lost update.
SET ROLE zandrell_owner;

DROP SCHEMA IF EXISTS menupack CASCADE;
CREATE SCHEMA menupack AUTHORIZATION zandrell_owner;
GRANT USAGE ON SCHEMA menupack TO zandrell_users;

-- ------------------------------------------------------------ the rules, one place each

-- Who may call: an administrator of the scheme, or the server's own.
CREATE FUNCTION zandrell5.menupack_require_admin() RETURNS void
  LANGUAGE plpgsql STABLE SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  IF EXISTS (SELECT 1 FROM zandrell5.sysuser WHERE login = upper(session_user) AND isadmin = 1)
     OR EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = session_user AND rolsuper) THEN
    RETURN;
  END IF;
  PERFORM sys.raise_ora(1031, format('insufficient privileges: %s is no administrator of the scheme ZANDRELL5',
                                     upper(session_user)));
END $$;

-- An id or number argument as the embedded server reads it: rounded, 0 when null.
CREATE FUNCTION zandrell5.menupack_int(pvalue numeric) RETURNS numeric
  LANGUAGE sql IMMUTABLE AS $$ SELECT coalesce(round(pvalue), 0) $$;

-- Every change begins here: the caller must be an administrator, and each
-- sequence stands at least at its table's highest id before anything is
-- deleted (rows written around the package, a sequence never moved), so a
-- deleted row's id is never handed out again.
CREATE FUNCTION zandrell5.menupack_begin_change() RETURNS void
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  PERFORM zandrell5.menupack_require_admin();
  PERFORM sys.keep_sequence('zandrell5.accesslist_seq', (SELECT max(accessid) FROM zandrell5.accesslist)::bigint);
  PERFORM sys.keep_sequence('zandrell5.menucfg_seq', (SELECT max(id_cfg) FROM zandrell5.menucfg)::bigint);
  PERFORM sys.keep_sequence('zandrell5.srvitems_seq', (SELECT max(itemid) FROM zandrell5.srvitems)::bigint);
END $$;

-- A new id of the table from its sequence, which only grows.
CREATE FUNCTION zandrell5.menupack_next_id(ptable text) RETURNS numeric
  LANGUAGE sql SET search_path = pg_catalog, pg_temp AS $$
  SELECT CASE ptable WHEN 'ACCESSLIST' THEN nextval('zandrell5.accesslist_seq')
                     WHEN 'MENUCFG' THEN nextval('zandrell5.menucfg_seq')
                     ELSE nextval('zandrell5.srvitems_seq') END::numeric
$$;

-- A row as the caller saw it: when it holds something else now, another
-- session changed it meanwhile. A caller that names nothing is not checked.
CREATE FUNCTION zandrell5.menupack_require_as_seen(pseen text, pnow text, pwhat text) RETURNS void
  LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  IF nullif(btrim(pseen), '') IS NULL OR btrim(pseen) = btrim(coalesce(pnow, '')) THEN
    RETURN;
  END IF;
  PERFORM sys.raise_ora(20002, format('%s was changed by another session: "%s" is now "%s"',
                                      pwhat, btrim(pseen), btrim(coalesce(pnow, ''))));
END $$;

-- The menu row, locked for the caller's change, or ORA-01403 when it is gone.
CREATE FUNCTION zandrell5.menupack_entry(pid numeric) RETURNS zandrell5.menucfg
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  r zandrell5.menucfg;
BEGIN
  SELECT * INTO r FROM zandrell5.menucfg WHERE id_cfg = pid FOR UPDATE;
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(1403, format('no data found (menu entry %s)', pid));
  END IF;
  RETURN r;
END $$;

-- The name the history gives a row: a group's name, a service entry's service name.
CREATE FUNCTION zandrell5.menupack_caption(r zandrell5.menucfg) RETURNS text
  LANGUAGE sql STABLE SET search_path = pg_catalog, pg_temp AS $$
  SELECT CASE WHEN r.isgroup <> 0 THEN r.menuname
              ELSE (SELECT s.srvname FROM zandrell5.srvitems s WHERE s.itemid = r.itemid) END
$$;

-- The name the history gives a menu's place: its group's name, empty for the top level.
CREATE FUNCTION zandrell5.menupack_place_name(pgroup numeric) RETURNS text
  LANGUAGE sql STABLE SET search_path = pg_catalog, pg_temp AS $$
  SELECT CASE WHEN pgroup = 0 THEN '' ELSE
    coalesce((SELECT zandrell5.menupack_caption(m) FROM zandrell5.menucfg m WHERE m.id_cfg = pgroup), '') END
$$;

-- Writes one line of the history of changes: by the call that makes the
-- change, in its transaction, so a change rolled back leaves no line.
CREATE FUNCTION zandrell5.menupack_record(poperation text, paccess numeric, pid numeric, pname text, pbefore text,
                                          pafter text) RETURNS void
  LANGUAGE sql SET search_path = pg_catalog, pg_temp AS $$
  INSERT INTO zandrell5.menu_history (id, changed_at, login, operation, accessid, object_id, object_name, old_value,
                                      new_value)
    VALUES (nextval('zandrell5.menu_history_seq'), LOCALTIMESTAMP(0), upper(session_user), poperation, paccess, pid,
            left(pname, 200), left(pbefore, 4000), left(pafter, 4000))
$$;

-- No two access groups share a name: names are compared trimmed and without
-- regard to case, in any alphabet. pexcept: the group being renamed.
CREATE FUNCTION zandrell5.menupack_require_unique_access_name(pname text, pexcept numeric DEFAULT -1) RETURNS void
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  g record;
BEGIN
  SELECT accessid, name INTO g FROM zandrell5.accesslist
   WHERE lower(btrim(name)) = lower(btrim(pname)) AND accessid <> pexcept LIMIT 1;
  IF FOUND THEN
    PERFORM sys.raise_ora(1, format('unique constraint violated - access group %s "%s" has that name', g.accessid,
                                    g.name));
  END IF;
END $$;

CREATE FUNCTION zandrell5.menupack_describe(r zandrell5.menucfg) RETURNS text
  LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE WHEN r.isgroup <> 0 THEN format('menu group %s "%s"', r.id_cfg, r.menuname)
              ELSE format('menu entry %s', r.id_cfg) END
$$;

-- The access group's name, its row locked, or ORA-01403 when the group is gone.
CREATE FUNCTION zandrell5.menupack_access_name(paccess numeric) RETURNS text
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  n text;
BEGIN
  SELECT name INTO n FROM zandrell5.accesslist WHERE accessid = paccess FOR UPDATE;
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(1403, format('no data found (access group %s)', paccess));
  END IF;
  RETURN n;
END $$;

CREATE FUNCTION zandrell5.menupack_require_access(paccess numeric) RETURNS void
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  -- Kept while the caller's change lasts: the group cannot go meanwhile.
  PERFORM 1 FROM zandrell5.accesslist WHERE accessid = paccess FOR KEY SHARE;
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(2291, format('integrity constraint violated - access group %s not found', paccess));
  END IF;
END $$;

-- Walks from a group up its owners to the top level, each group once: how the walk ended
-- ('TOP', 'MISSING', 'NOTGROUP', 'OTHERACCESS', 'CYCLE', 'MOVED') and the row it stopped at.
CREATE FUNCTION zandrell5.menupack_walk(pfrom numeric, paccess numeric, pmoved numeric,
                                        OUT pend text, OUT pat numeric)
  LANGUAGE plpgsql STABLE SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  up numeric := pfrom;
  walked numeric[] := '{}';
  r zandrell5.menucfg;
BEGIN
  WHILE up <> 0 LOOP
    pat := up;
    IF up = pmoved THEN
      pend := 'MOVED'; RETURN;
    END IF;
    IF up = ANY (walked) THEN
      pend := 'CYCLE'; RETURN;
    END IF;
    walked := walked || up;
    SELECT * INTO r FROM zandrell5.menucfg WHERE id_cfg = up;
    IF NOT FOUND THEN
      pend := 'MISSING'; RETURN;
    END IF;
    IF r.accessid <> paccess THEN
      pend := 'OTHERACCESS'; RETURN;
    END IF;
    IF r.isgroup = 0 THEN
      pend := 'NOTGROUP'; RETURN;
    END IF;
    up := r.owner;
  END LOOP;
  pend := 'TOP';
  pat := 0;
END $$;

-- A group of the access group's menu that may take entries (0: the top level).
CREATE FUNCTION zandrell5.menupack_require_group_in_menu(pgroup numeric, paccess numeric, pmoved numeric DEFAULT -1)
  RETURNS void LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  w record;
  itself boolean;
BEGIN
  IF pgroup = 0 THEN
    RETURN;
  END IF;
  -- The group itself is locked: it cannot go while the caller's change lasts.
  PERFORM 1 FROM zandrell5.menucfg WHERE id_cfg = pgroup FOR KEY SHARE;
  w := zandrell5.menupack_walk(pgroup, paccess, pmoved);
  itself := w.pat = pgroup;
  CASE w.pend
  WHEN 'TOP' THEN
    RETURN;
  WHEN 'MISSING' THEN
    IF itself THEN
      PERFORM sys.raise_ora(1403, format('no data found (menu entry %s)', pgroup));
    END IF;
    PERFORM sys.raise_ora(20001, format('menu group %s lies outside the menu: its owner %s is missing', pgroup, w.pat));
  WHEN 'OTHERACCESS' THEN
    PERFORM sys.raise_ora(20001, CASE WHEN itself THEN format('menu group %s belongs to another access group', pgroup)
      ELSE format('menu group %s lies outside the menu: its owner %s belongs to another access group', pgroup, w.pat) END);
  WHEN 'NOTGROUP' THEN
    PERFORM sys.raise_ora(20001, CASE WHEN itself THEN format('menu entry %s is not a group', pgroup)
      ELSE format('menu group %s lies outside the menu: its owner %s is no group', pgroup, w.pat) END);
  WHEN 'CYCLE' THEN
    PERFORM sys.raise_ora(20001, format('the owners of menu group %s form a cycle: the group lies outside the menu', pgroup));
  ELSE
    PERFORM sys.raise_ora(20001, 'a menu entry cannot move into itself or into its own branch');
  END CASE;
END $$;

CREATE FUNCTION zandrell5.menupack_next_sort(paccess numeric, powner numeric) RETURNS numeric
  LANGUAGE sql STABLE SET search_path = pg_catalog, pg_temp AS $$
  SELECT coalesce(max(sort_order), 0) + 10 FROM zandrell5.menucfg WHERE accessid = paccess AND owner = powner
$$;

-- ------------------------------------------------------------ menu groups and entries

-- INS_MENUGRP(PID out, PNAME, POWNER, PACCESSID): a group after its siblings.
CREATE FUNCTION menupack.ins_menugrp(INOUT pid numeric, pname varchar, powner numeric, paccessid numeric)
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_name text;
  v_owner numeric := zandrell5.menupack_int(powner);
  v_access numeric := zandrell5.menupack_int(paccessid);
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_name := sys.column_text(pname, '"ZANDRELL5"."MENUCFG"."MENUNAME"', 50, true);
  PERFORM zandrell5.menupack_require_access(v_access);
  PERFORM zandrell5.menupack_require_group_in_menu(v_owner, v_access);
  pid := zandrell5.menupack_next_id('MENUCFG');
  INSERT INTO zandrell5.menucfg (id_cfg, accessid, owner, isgroup, menuname, itemid, itemmode, sort_order)
    VALUES (pid, v_access, v_owner, 1, v_name, NULL, NULL, zandrell5.menupack_next_sort(v_access, v_owner));
  PERFORM zandrell5.menupack_record('INS_MENUGRP', v_access, pid, v_name, NULL, v_name);
END $$;

-- INS_MENUITEM(PID out, POWNER, PACCESSID, PITEMID, PITEMMODE): a service entry inside a group.
CREATE FUNCTION menupack.ins_menuitem(INOUT pid numeric, powner numeric, paccessid numeric, pitemid numeric,
                                      pitemmode varchar)
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_mode text;
  v_access numeric := zandrell5.menupack_int(paccessid);
  v_owner numeric := zandrell5.menupack_int(powner);
  v_item numeric := zandrell5.menupack_int(pitemid);
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_mode := sys.column_text(pitemmode, '"ZANDRELL5"."MENUCFG"."ITEMMODE"', 255, false);
  PERFORM zandrell5.menupack_require_access(v_access);
  IF v_owner <= 0 THEN
    PERFORM sys.raise_ora(20001, 'a service entry must stand inside a menu group');
  END IF;
  PERFORM zandrell5.menupack_require_group_in_menu(v_owner, v_access);
  PERFORM 1 FROM zandrell5.srvitems WHERE itemid = v_item FOR KEY SHARE;
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(2291, format('integrity constraint violated - service %s not found', v_item));
  END IF;
  -- A menu holds a service once: the console registers each service of a menu once.
  IF EXISTS (SELECT 1 FROM zandrell5.menucfg WHERE accessid = v_access AND itemid = v_item AND isgroup = 0) THEN
    PERFORM sys.raise_ora(1, format('unique constraint violated - service %s is already in the menu of access group %s',
                                    v_item, v_access));
  END IF;
  pid := zandrell5.menupack_next_id('MENUCFG');
  INSERT INTO zandrell5.menucfg (id_cfg, accessid, owner, isgroup, menuname, itemid, itemmode, sort_order)
    VALUES (pid, v_access, v_owner, 0, NULL, v_item, v_mode, zandrell5.menupack_next_sort(v_access, v_owner));
  PERFORM zandrell5.menupack_record('INS_MENUITEM', v_access, pid,
                                    (SELECT srvname FROM zandrell5.srvitems WHERE itemid = v_item), NULL, v_mode);
END $$;

-- UPD_MENU(PID_CFG, PNAME, POLD_NAME): renames a group that still has the name the caller saw.
CREATE FUNCTION menupack.upd_menu(pid_cfg numeric, pname varchar, pold_name varchar DEFAULT NULL) RETURNS void
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  e zandrell5.menucfg;
  v_name text;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  e := zandrell5.menupack_entry(zandrell5.menupack_int(pid_cfg));
  v_name := sys.column_text(pname, '"ZANDRELL5"."MENUCFG"."MENUNAME"', 50, true);
  IF e.isgroup = 0 THEN
    PERFORM sys.raise_ora(20001, format('menu entry %s is not a group', e.id_cfg));
  END IF;
  PERFORM zandrell5.menupack_require_as_seen(pold_name, e.menuname, zandrell5.menupack_describe(e));
  UPDATE zandrell5.menucfg SET menuname = v_name WHERE id_cfg = e.id_cfg;
  PERFORM zandrell5.menupack_record('UPD_MENU', e.accessid, e.id_cfg, v_name, e.menuname, v_name);
END $$;

-- DEL_MENUITEM(PID_CFG, PNAME, PACCESSID): one row as the caller saw it. A
-- group of the menu that still holds entries is refused: a branch is deleted
-- from the bottom. A row outside the menu goes alone. (A row without an id
-- cannot be stored here: ID_CFG is the key.)
CREATE FUNCTION menupack.del_menuitem(pid_cfg numeric, pname varchar DEFAULT NULL, paccessid numeric DEFAULT NULL)
  RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  e zandrell5.menucfg;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  IF pid_cfg IS NULL THEN
    IF paccessid IS NULL THEN
      PERFORM sys.raise_ora(20001, 'a menu row without ID_CFG is named by its access group and name');
    END IF;
    PERFORM sys.raise_ora(1403, 'no data found (menu row without ID_CFG)');
  END IF;
  e := zandrell5.menupack_entry(zandrell5.menupack_int(pid_cfg));
  IF paccessid IS NOT NULL AND round(paccessid) <> e.accessid THEN
    PERFORM sys.raise_ora(1403, format('no data found (menu entry %s of access group %s)', e.id_cfg, round(paccessid)));
  END IF;
  PERFORM zandrell5.menupack_require_as_seen(pname, e.menuname, zandrell5.menupack_describe(e));
  IF e.isgroup <> 0 AND e.id_cfg <> 0
     AND (zandrell5.menupack_walk(e.owner, e.accessid, e.id_cfg)).pend = 'TOP'
     AND EXISTS (SELECT 1 FROM zandrell5.menucfg WHERE owner = e.id_cfg AND id_cfg <> e.id_cfg) THEN
    PERFORM sys.raise_ora(2292, format('integrity constraint violated - menu group %s still holds entries', e.id_cfg));
  END IF;
  DELETE FROM zandrell5.menucfg WHERE id_cfg = e.id_cfg;
  PERFORM zandrell5.menupack_record('DEL_MENUITEM', e.accessid, e.id_cfg, zandrell5.menupack_caption(e),
                                    CASE WHEN e.isgroup <> 0 THEN e.menuname ELSE e.itemmode END, NULL);
END $$;

-- MOVE_ITEM(PID_CFG, POWNER, PSORT_ORDER, POLD_OWNER, POLD_SORT_ORDER): under a
-- new owner, right after the sibling with that sort order (0: after all
-- siblings), when the row still stands where the caller saw it.
CREATE FUNCTION menupack.move_item(pid_cfg numeric, powner numeric, psort_order numeric,
                                   pold_owner numeric DEFAULT NULL, pold_sort_order numeric DEFAULT NULL)
  RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  e zandrell5.menucfg;
  v_owner numeric := zandrell5.menupack_int(powner);
  v_sort numeric := zandrell5.menupack_int(psort_order);
  v_new_sort numeric;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  e := zandrell5.menupack_entry(zandrell5.menupack_int(pid_cfg));
  PERFORM zandrell5.menupack_require_as_seen(round(pold_owner)::text, e.owner::text,
                                             'the place of ' || zandrell5.menupack_describe(e));
  PERFORM zandrell5.menupack_require_as_seen(round(pold_sort_order)::text, e.sort_order::text,
                                             'the order of ' || zandrell5.menupack_describe(e));
  IF e.isgroup <> 0 AND e.id_cfg = 0 THEN
    PERFORM sys.raise_ora(20001, 'menu group 0 has the number of the top level: it can only be deleted');
  END IF;
  IF e.isgroup = 0 AND v_owner = 0 THEN
    PERFORM sys.raise_ora(20001, 'a service entry must stand inside a menu group');
  END IF;
  PERFORM zandrell5.menupack_require_group_in_menu(v_owner, e.accessid, e.id_cfg);
  IF v_sort <= 0 THEN
    v_new_sort := zandrell5.menupack_next_sort(e.accessid, v_owner);
  ELSE
    UPDATE zandrell5.menucfg m SET sort_order = m.sort_order + 1
     WHERE m.accessid = e.accessid AND m.owner = v_owner AND m.sort_order > v_sort AND m.id_cfg <> e.id_cfg;
    v_new_sort := v_sort + 1;
  END IF;
  UPDATE zandrell5.menucfg SET owner = v_owner, sort_order = v_new_sort WHERE id_cfg = e.id_cfg;
  PERFORM zandrell5.menupack_record('MOVE_ITEM', e.accessid, e.id_cfg, zandrell5.menupack_caption(e),
                                    zandrell5.menupack_place_name(e.owner), zandrell5.menupack_place_name(v_owner));
END $$;

-- UPD_RIGHT(PID_CFG, PITEMMODE, POLD_ITEMMODE): the whole rights string of a
-- service entry that still grants what the caller saw.
CREATE FUNCTION menupack.upd_right(pid_cfg numeric, pitemmode varchar, pold_itemmode varchar DEFAULT NULL)
  RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  e zandrell5.menucfg;
  v_mode text;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  e := zandrell5.menupack_entry(zandrell5.menupack_int(pid_cfg));
  v_mode := sys.column_text(pitemmode, '"ZANDRELL5"."MENUCFG"."ITEMMODE"', 255, false);
  IF e.isgroup <> 0 THEN
    PERFORM sys.raise_ora(20001, format('menu entry %s is a group: it has no rights', e.id_cfg));
  END IF;
  PERFORM zandrell5.menupack_require_as_seen(pold_itemmode, e.itemmode, 'the rights of ' || zandrell5.menupack_describe(e));
  UPDATE zandrell5.menucfg SET itemmode = v_mode WHERE id_cfg = e.id_cfg;
  PERFORM zandrell5.menupack_record('UPD_RIGHT', e.accessid, e.id_cfg, zandrell5.menupack_caption(e), e.itemmode,
                                    v_mode);
END $$;

-- GET_MENU_ITEM_RIGHT(PID_CFG) -> cursor: the service's declared rights with
-- "+" where the entry's rights string grants them.
CREATE FUNCTION menupack.get_menu_item_right(pid_cfg numeric)
  RETURNS TABLE (rcheck varchar, name varchar, source_name varchar, islang numeric)
  LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  PERFORM zandrell5.menupack_require_admin();
  RETURN QUERY
    SELECT (CASE WHEN substr(coalesce(e.itemmode, ''), r.n::integer + 1, 1) = '1' THEN '+' ELSE '-' END)::varchar,
           r.name, coalesce(r.source_name, r.name), coalesce(r.islang, 0)
      FROM zandrell5.menucfg e
      CROSS JOIN LATERAL (SELECT m.name, m.source_name, m.islang,
                                 row_number() OVER (ORDER BY m.sort_order) AS n
                            FROM zandrell5.srvitems_mode m WHERE m.itemid = e.itemid) r
     WHERE e.id_cfg = zandrell5.menupack_int(pid_cfg) AND e.isgroup = 0
     ORDER BY r.n;
END $$;

-- ------------------------------------------------------------ access groups

CREATE FUNCTION menupack.ins_access(INOUT pid numeric, pname varchar)
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_name text;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_name := sys.column_text(pname, '"ZANDRELL5"."ACCESSLIST"."NAME"', 100, true);
  PERFORM zandrell5.menupack_require_unique_access_name(v_name);
  pid := zandrell5.menupack_next_id('ACCESSLIST');
  INSERT INTO zandrell5.accesslist (accessid, name) VALUES (pid, v_name);
  PERFORM zandrell5.menupack_record('INS_ACCESS', pid, pid, v_name, NULL, v_name);
END $$;

-- UPD_ACCESS(PACCESSID, PNAME, POLD_NAME): renames a group that still has the name the caller saw.
CREATE FUNCTION menupack.upd_access(paccessid numeric, pname varchar, pold_name varchar DEFAULT NULL) RETURNS void
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_access numeric := zandrell5.menupack_int(paccessid);
  v_name text;
  v_now text;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_name := sys.column_text(pname, '"ZANDRELL5"."ACCESSLIST"."NAME"', 100, true);
  v_now := zandrell5.menupack_access_name(v_access);
  PERFORM zandrell5.menupack_require_as_seen(pold_name, v_now, format('access group %s "%s"', v_access, v_now));
  PERFORM zandrell5.menupack_require_unique_access_name(v_name, v_access);
  UPDATE zandrell5.accesslist SET name = v_name WHERE accessid = v_access;
  PERFORM zandrell5.menupack_record('UPD_ACCESS', v_access, v_access, v_name, v_now, v_name);
END $$;

-- DEL_ACCESS_RECURCIVE(PACCESSID, PNAME): the group with its whole menu;
-- refused while users are attached or when it was renamed meanwhile.
CREATE FUNCTION menupack.del_access_recurcive(paccessid numeric, pname varchar DEFAULT NULL) RETURNS void
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_access numeric := zandrell5.menupack_int(paccessid);
  v_now text;
  v_users integer;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_now := zandrell5.menupack_access_name(v_access);
  PERFORM zandrell5.menupack_require_as_seen(pname, v_now, format('access group %s "%s"', v_access, v_now));
  SELECT count(*) INTO v_users FROM zandrell5.sysuser WHERE accessid = v_access;
  IF v_users > 0 THEN
    PERFORM sys.raise_ora(2292, format('integrity constraint violated - %s user(s) attached to access group %s',
                                       v_users, v_access));
  END IF;
  DELETE FROM zandrell5.menucfg WHERE accessid = v_access;
  DELETE FROM zandrell5.accesslist WHERE accessid = v_access;
  PERFORM zandrell5.menupack_record('DEL_ACCESS_RECURCIVE', v_access, v_access, v_now, v_now, NULL);
END $$;

-- DUBLICATE_ACCESS(PACCESSID, PNAME, PID out, PSOURCE_NAME): a copy of the
-- group (as the caller saw it) with its menu and rights; the rows outside
-- the menu are not copied.
CREATE FUNCTION menupack.dublicate_access(paccessid numeric, pname varchar, INOUT pid numeric DEFAULT NULL,
                                          psource_name varchar DEFAULT NULL)
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_source numeric := zandrell5.menupack_int(paccessid);
  v_name text;
  v_now text;
  v_old numeric[] := '{}';
  v_new numeric[] := '{}';
  r record;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_name := sys.column_text(pname, '"ZANDRELL5"."ACCESSLIST"."NAME"', 100, true);
  v_now := zandrell5.menupack_access_name(v_source);
  PERFORM zandrell5.menupack_require_as_seen(psource_name, v_now, format('access group %s "%s"', v_source, v_now));
  PERFORM zandrell5.menupack_require_unique_access_name(v_name);
  pid := zandrell5.menupack_next_id('ACCESSLIST');
  INSERT INTO zandrell5.accesslist (accessid, name) VALUES (pid, v_name);
  -- The menu from the top down, each group before its entries, each row once.
  FOR r IN
    WITH RECURSIVE tree AS (
      SELECT m.id_cfg, m.isgroup, 1 AS depth, ARRAY[m.id_cfg]::numeric[] AS path
        FROM zandrell5.menucfg m WHERE m.accessid = v_source AND m.owner = 0
      UNION ALL
      SELECT m.id_cfg, m.isgroup, t.depth + 1, t.path || m.id_cfg::numeric
        FROM zandrell5.menucfg m JOIN tree t ON m.owner = t.id_cfg
       WHERE m.accessid = v_source AND t.isgroup <> 0 AND NOT m.id_cfg = ANY (t.path))
    SELECT m.*, t.depth FROM (SELECT DISTINCT ON (id_cfg) id_cfg, depth FROM tree ORDER BY id_cfg, depth) t
      JOIN zandrell5.menucfg m ON m.id_cfg = t.id_cfg
     ORDER BY t.depth, t.id_cfg
  LOOP
    IF r.id_cfg = ANY (v_old) THEN
      CONTINUE;
    END IF;
    v_old := v_old || r.id_cfg;
    v_new := v_new || zandrell5.menupack_next_id('MENUCFG');
    INSERT INTO zandrell5.menucfg (id_cfg, accessid, owner, isgroup, menuname, itemid, itemmode, sort_order)
      VALUES (v_new[array_length(v_new, 1)], pid, coalesce(v_new[array_position(v_old, r.owner)], 0), r.isgroup,
              r.menuname, r.itemid, r.itemmode, r.sort_order);
  END LOOP;
  PERFORM zandrell5.menupack_record('DUBLICATE_ACCESS', pid, pid, v_name, v_now, v_name);
END $$;

-- ------------------------------------------------------------ the catalogue

-- The service's id by its GUID, or ORA-01403.
CREATE FUNCTION zandrell5.menupack_item_of_guid(pguid text) RETURNS numeric
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  id numeric;
BEGIN
  SELECT itemid INTO id FROM zandrell5.srvitems WHERE guid = pguid FOR KEY SHARE;
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(1403, format('no data found (service %s)', pguid));
  END IF;
  RETURN id;
END $$;

-- The service's button flag, its row locked, or ORA-01403.
CREATE FUNCTION zandrell5.menupack_button_flag(pitem numeric) RETURNS numeric
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  flag numeric;
BEGIN
  SELECT createbtn INTO flag FROM zandrell5.srvitems WHERE itemid = pitem FOR UPDATE;
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(1403, format('no data found (service %s)', pitem));
  END IF;
  RETURN flag;
END $$;

-- INS_SRVITEM(PID in/out, PCREATEBTN, PGUID, PDLLNAME, PSRVNAME, PISLANG)
CREATE FUNCTION menupack.ins_srvitem(INOUT pid numeric, pcreatebtn numeric, pguid varchar, pdllname varchar,
                                     psrvname varchar, pislang numeric)
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_guid text;
  v_dll text;
  v_name text;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_guid := sys.column_text(pguid, '"ZANDRELL5"."SRVITEMS"."GUID"', 50, true);
  v_dll := sys.column_text(pdllname, '"ZANDRELL5"."SRVITEMS"."DLLNAME"', 50, true);
  v_name := sys.column_text(psrvname, '"ZANDRELL5"."SRVITEMS"."SRVNAME"', 50, true);
  -- The console tells services apart by GUID without regard to case.
  IF EXISTS (SELECT 1 FROM zandrell5.srvitems s WHERE upper(s.guid) = upper(v_guid)) THEN
    PERFORM sys.raise_ora(1, format('unique constraint violated - service %s is already registered', v_guid));
  END IF;
  pid := zandrell5.menupack_next_id('SRVITEMS');
  INSERT INTO zandrell5.srvitems (itemid, srvname, dllname, guid, createbtn, islang)
    VALUES (pid, v_name, v_dll, v_guid, CASE WHEN coalesce(pcreatebtn, 0) <> 0 THEN 1 ELSE 0 END,
            CASE WHEN coalesce(pislang, 0) <> 0 THEN 1 ELSE 0 END);
  PERFORM zandrell5.menupack_record('INS_SRVITEM', NULL, pid, v_name, NULL, v_dll);
END $$;

-- INS_SRVITEM_MODE(PGUID, PID, PNAME, PISLANG): right number PID of the service.
CREATE FUNCTION menupack.ins_srvitem_mode(pguid varchar, pid numeric, pname varchar, pislang numeric) RETURNS void
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_item numeric;
  v_name text;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_item := zandrell5.menupack_item_of_guid(pguid);
  v_name := sys.column_text(pname, '"ZANDRELL5"."SRVITEMS_MODE"."NAME"', 60, true);
  INSERT INTO zandrell5.srvitems_mode (itemid, sort_order, name, source_name, islang)
    VALUES (v_item, zandrell5.menupack_int(pid), v_name, v_name, CASE WHEN coalesce(pislang, 0) <> 0 THEN 1 ELSE 0 END);
  PERFORM zandrell5.menupack_record('INS_SRVITEM_MODE', NULL, v_item,
                                    (SELECT srvname FROM zandrell5.srvitems WHERE itemid = v_item), NULL, v_name);
END $$;

CREATE FUNCTION menupack.ins_report_item(pguid varchar, prguid varchar, prname varchar, prdesc varchar,
                                         psort_order numeric) RETURNS void
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_item numeric;
  v_name text;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_item := zandrell5.menupack_item_of_guid(pguid);
  v_name := sys.column_text(prname, '"ZANDRELL5"."REPORT_ITEMS"."RNAME"', 100, false);
  INSERT INTO zandrell5.report_items (itemid, rguid, rname, rdesc, sort_order)
    VALUES (v_item, sys.column_text(prguid, '"ZANDRELL5"."REPORT_ITEMS"."RGUID"', 50, true), v_name,
            sys.column_text(prdesc, '"ZANDRELL5"."REPORT_ITEMS"."RDESC"', 255, false),
            zandrell5.menupack_int(psort_order));
  PERFORM zandrell5.menupack_record('INS_REPORT_ITEM', NULL, v_item,
                                    (SELECT srvname FROM zandrell5.srvitems WHERE itemid = v_item), NULL, v_name);
END $$;

-- UPD_SRVITEMS(PITEMID, PCREATEBTN, POLD_CREATEBTN): the button flag of a
-- service whose flag is still what the caller saw.
CREATE FUNCTION menupack.upd_srvitems(pitemid numeric, pcreatebtn numeric, pold_createbtn numeric DEFAULT NULL)
  RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_item numeric := zandrell5.menupack_int(pitemid);
  v_flag numeric := CASE WHEN coalesce(pcreatebtn, 0) <> 0 THEN 1 ELSE 0 END;
  v_before numeric;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  v_before := zandrell5.menupack_button_flag(v_item);
  PERFORM zandrell5.menupack_require_as_seen(round(pold_createbtn)::text, v_before::text,
                                             format('the button flag of service %s', v_item));
  UPDATE zandrell5.srvitems SET createbtn = v_flag WHERE itemid = v_item;
  IF v_flag <> v_before THEN
    PERFORM zandrell5.menupack_record('UPD_SRVITEMS', NULL, v_item,
                                      (SELECT srvname FROM zandrell5.srvitems WHERE itemid = v_item), v_before::text,
                                      v_flag::text);
  END IF;
END $$;

-- DEL_SRVITEM(PITEMID): refused while a menu still holds the service.
CREATE FUNCTION menupack.del_srvitem(pitemid numeric) RETURNS void
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_item numeric := zandrell5.menupack_int(pitemid);
  v_name text;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  PERFORM zandrell5.menupack_button_flag(v_item);
  v_name := (SELECT srvname FROM zandrell5.srvitems WHERE itemid = v_item);
  IF EXISTS (SELECT 1 FROM zandrell5.menucfg WHERE itemid = v_item) THEN
    PERFORM sys.raise_ora(2292, format('integrity constraint violated - service %s is still in a menu', v_item));
  END IF;
  DELETE FROM zandrell5.srvitems_mode WHERE itemid = v_item;
  DELETE FROM zandrell5.report_items WHERE itemid = v_item;
  DELETE FROM zandrell5.srvitems WHERE itemid = v_item;
  PERFORM zandrell5.menupack_record('DEL_SRVITEM', NULL, v_item, v_name, v_name, NULL);
END $$;

-- SERVICEEXISTS(PID, PITEMID out): PITEMID = how many menu entries hold service PID.
CREATE FUNCTION menupack.serviceexists(pid numeric, INOUT pitemid numeric DEFAULT NULL)
  LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  PERFORM zandrell5.menupack_require_admin();
  SELECT count(*) INTO pitemid FROM zandrell5.menucfg WHERE itemid = zandrell5.menupack_int(pid) AND isgroup = 0;
END $$;

-- DEL_SRV_FROM_ALL_MNU(PITEMID): the service's entries in every menu; each access group's history tells it.
CREATE FUNCTION menupack.del_srv_from_all_mnu(pitemid numeric) RETURNS void
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_item numeric := zandrell5.menupack_int(pitemid);
  v_name text := (SELECT srvname FROM zandrell5.srvitems WHERE itemid = v_item);
  r record;
BEGIN
  PERFORM zandrell5.menupack_begin_change();
  FOR r IN WITH d AS (DELETE FROM zandrell5.menucfg WHERE itemid = v_item AND isgroup = 0
                      RETURNING id_cfg, accessid, itemmode)
           SELECT * FROM d ORDER BY accessid, id_cfg LOOP
    PERFORM zandrell5.menupack_record('DEL_SRV_FROM_ALL_MNU', r.accessid, r.id_cfg, v_name, r.itemmode, NULL);
  END LOOP;
END $$;

REVOKE EXECUTE ON ALL FUNCTIONS IN SCHEMA menupack FROM PUBLIC;
GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA menupack TO zandrell_users;
RESET ROLE;
