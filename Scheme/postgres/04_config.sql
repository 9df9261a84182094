-- The scheme's own procedures: GET_CURRCONFIG and Request. An Oracle
-- procedure is a function with OUT parameters, an Oracle function one that
-- returns its value. The scheme's code is made anew on every installation.
SET ROLE zandrell_owner;

DO $$
DECLARE
  f regprocedure;
BEGIN
  FOR f IN SELECT p.oid::regprocedure FROM pg_catalog.pg_proc p WHERE p.pronamespace = 'zandrell5'::regnamespace LOOP
    EXECUTE 'DROP FUNCTION ' || f;
  END LOOP;
END $$;

-- GET_CURRCONFIG(PUSER out, PACCESSLIST out, PSYSDBA out): the session user's
-- display name, access group and administrator flag.
CREATE FUNCTION zandrell5.get_currconfig(OUT puser varchar, OUT paccesslist numeric, OUT psysdba numeric)
  LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  SELECT coalesce(u.name, u.login), u.accessid, CASE WHEN u.isadmin = 1 THEN 1 ELSE 0 END
    INTO puser, paccesslist, psysdba
    FROM zandrell5.sysuser u WHERE u.login = upper(session_user);
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(1403, format('no data found (user %s)', upper(session_user)));
  END IF;
END $$;

-- REQUEST(PTYPE, PVAL_1, PVAL_2, PVAL_3) -> 1/0; 'COLUMN': table PVAL_1 of the scheme has column PVAL_2.
CREATE FUNCTION zandrell5.request(ptype varchar, pval_1 varchar, pval_2 varchar, pval_3 varchar DEFAULT NULL)
  RETURNS integer LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
  SELECT CASE WHEN upper(btrim(ptype)) = 'COLUMN' AND EXISTS (
           SELECT 1 FROM pg_catalog.pg_attribute a
            WHERE a.attrelid = to_regclass('zandrell5.' || quote_ident(lower(btrim(pval_1))))
              AND a.attname = lower(btrim(pval_2)) AND a.attnum > 0 AND NOT a.attisdropped)
         THEN 1 ELSE 0 END
$$;

GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA zandrell5 TO zandrell_users;
RESET ROLE;
