-- TEMP_SELECT_PACK: the order lines a user marked for a report, in the
-- session's own copy of TEMP_ORDER_LINES_REPORT. It runs with the caller's
-- rights: the copy belongs to the caller's session and takes no lock that
-- another session waits for. sys.session_packages tells the backend that a
-- call changes nothing of the scheme: it begins no transaction.
SET ROLE zandrell_owner;

DROP SCHEMA IF EXISTS temp_select_pack CASCADE;
CREATE SCHEMA temp_select_pack AUTHORIZATION zandrell_owner;
GRANT USAGE ON SCHEMA temp_select_pack TO zandrell_users;
INSERT INTO sys.session_packages (package) VALUES ('TEMP_SELECT_PACK') ON CONFLICT (package) DO NOTHING;

CREATE FUNCTION temp_select_pack.ins_order_lines_report(pguid_service varchar, pquery_name varchar, prowid varchar)
  RETURNS void LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  PERFORM sys.ensure_session_table('ZANDRELL5', 'TEMP_ORDER_LINES_REPORT');
  INSERT INTO pg_temp."zandrell5$temp_order_lines_report" (login, guid_service, query_name, rowid_query)
    VALUES (upper(session_user), pguid_service, pquery_name, prowid) ON CONFLICT DO NOTHING;
END $$;

CREATE FUNCTION temp_select_pack.del_order_lines_report(pguid_service varchar, pquery_name varchar, prowid varchar)
  RETURNS void LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  PERFORM sys.ensure_session_table('ZANDRELL5', 'TEMP_ORDER_LINES_REPORT');
  DELETE FROM pg_temp."zandrell5$temp_order_lines_report"
   WHERE login = upper(session_user) AND guid_service = pguid_service AND query_name = pquery_name
     AND rowid_query = prowid;
END $$;

GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA temp_select_pack TO zandrell_users;
RESET ROLE;
