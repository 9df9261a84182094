-- The server's part of the scheme, run by the server's administrator: the
-- extensions, the roles, the schemas, and the dictionary that stands for
-- Oracle's (ALL_OBJECTS, the scheme's session tables, its errors).
--
-- Every file of this folder can run again on an installed scheme: the
-- installer (zpgbuild) runs them in file-name order in one transaction; the
-- files named *demo* only into a new scheme. Objects are named in lower case:
-- the console's upper-case Oracle names reach them unquoted.

CREATE EXTENSION IF NOT EXISTS orafce;
CREATE SCHEMA IF NOT EXISTS crypto;
CREATE EXTENSION IF NOT EXISTS pgcrypto SCHEMA crypto;

-- zandrell_owner owns the schemes and their packages, which run with its
-- rights (Oracle's definer rights); zandrell_users are the accounts of the
-- schemes; zandrell5_admins may also change the scheme's tables directly.
DO $$
DECLARE
  r text;
BEGIN
  FOREACH r IN ARRAY ARRAY['zandrell_owner', 'zandrell_users', 'zandrell5_admins'] LOOP
    IF NOT EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = r) THEN
      EXECUTE format('CREATE ROLE %I NOLOGIN', r);
    END IF;
  END LOOP;
END $$;
GRANT zandrell_users TO zandrell5_admins;

CREATE SCHEMA IF NOT EXISTS sys AUTHORIZATION zandrell_owner;
CREATE SCHEMA IF NOT EXISTS zandrell5 AUTHORIZATION zandrell_owner;
CREATE SCHEMA IF NOT EXISTS tarvel AUTHORIZATION zandrell_owner;
GRANT USAGE ON SCHEMA sys TO PUBLIC;
GRANT USAGE ON SCHEMA zandrell5, tarvel TO zandrell_users;
GRANT USAGE ON SCHEMA crypto TO zandrell_owner;

-- The owner makes the packages' schemas anew on every installation. Sessions
-- that reach the database outside the console (psql) read it as the console does.
DO $$
BEGIN
  EXECUTE format('GRANT CREATE ON DATABASE %I TO zandrell_owner', current_database());
  EXECUTE format('ALTER DATABASE %I SET search_path = oracle, sys, pg_catalog, public', current_database());
END $$;

SET ROLE zandrell_owner;

-- The packages and procedures each scheme offers (ALL_OBJECTS lists them, and
-- a call names a package of its scheme).
CREATE TABLE IF NOT EXISTS sys.server_objects (
  owner       varchar(30) NOT NULL,
  object_name varchar(30) NOT NULL,
  object_type varchar(20) NOT NULL,
  PRIMARY KEY (owner, object_name)
);

-- Oracle's global temporary tables: each session makes its own copy (a
-- temporary table) when it first names the table, sees only its own rows and
-- loses them when it ends.
CREATE TABLE IF NOT EXISTS sys.session_tables (
  owner      varchar(30) NOT NULL,
  table_name varchar(30) NOT NULL,
  columns    text NOT NULL,
  PRIMARY KEY (owner, table_name)
);

-- The packages whose procedures change only the session's own tables: a call
-- of theirs begins no transaction and locks nothing of the scheme.
CREATE TABLE IF NOT EXISTS sys.session_packages (
  package varchar(30) PRIMARY KEY
);

CREATE OR REPLACE VIEW sys.all_objects AS
  SELECT upper(n.nspname)::varchar(30) AS owner, upper(c.relname)::varchar(30) AS object_name,
         (CASE c.relkind WHEN 'v' THEN 'VIEW' WHEN 'm' THEN 'VIEW' WHEN 'S' THEN 'SEQUENCE'
                         WHEN 'i' THEN 'INDEX' ELSE 'TABLE' END)::varchar(20) AS object_type
    FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
   WHERE c.relkind IN ('r', 'p', 'v', 'm', 'S', 'i')
     AND upper(n.nspname) IN (SELECT owner FROM sys.server_objects)
  UNION ALL
  SELECT owner, object_name, object_type FROM sys.server_objects
  UNION ALL
  SELECT owner, table_name, 'TABLE' FROM sys.session_tables;
GRANT SELECT ON sys.all_objects TO PUBLIC;
GRANT SELECT ON sys.server_objects, sys.session_tables, sys.session_packages TO zandrell_users;

-- The session's own copy of a session table, made when missing.
CREATE OR REPLACE FUNCTION sys.ensure_session_table(powner text, ptable text) RETURNS void
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  cols text;
  copy text := lower(powner) || '$' || lower(ptable);
BEGIN
  IF to_regclass('pg_temp.' || quote_ident(copy)) IS NOT NULL THEN
    RETURN;
  END IF;
  SELECT s.columns INTO cols FROM sys.session_tables s
   WHERE s.owner = upper(powner) AND s.table_name = upper(ptable);
  IF cols IS NULL THEN
    PERFORM sys.raise_ora(942, format('table or view does not exist (%s.%s)', upper(powner), upper(ptable)));
  END IF;
  EXECUTE format('CREATE TEMPORARY TABLE %I (%s)', copy, cols);
END $$;

-- Raises an Oracle error: "ORA-nnnnn: text", which the backend reports with that number.
CREATE OR REPLACE FUNCTION sys.raise_ora(pcode integer, ptext text) RETURNS void
  LANGUAGE plpgsql SET search_path = pg_catalog AS $$
BEGIN
  RAISE EXCEPTION USING MESSAGE = format('ORA-%s: %s', lpad(pcode::text, 5, '0'), ptext),
    ERRCODE = CASE pcode WHEN 1403 THEN 'P0002' WHEN 1031 THEN '42501' ELSE 'P0001' END;
END $$;

-- A text as a column of that many characters takes it: trimmed, NULL when
-- blank (ORA-01400 where the column needs a value), refused whole when longer
-- (ORA-12899), never cut.
CREATE OR REPLACE FUNCTION sys.column_text(pvalue text, pcolumn text, psize integer, prequired boolean)
  RETURNS text LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog AS $$
DECLARE
  v text := nullif(btrim(pvalue, E' \t\r\n'), '');
BEGIN
  IF v IS NULL AND prequired THEN
    PERFORM sys.raise_ora(1400, format('cannot insert NULL into (%s)', pcolumn));
  END IF;
  IF char_length(v) > psize THEN
    PERFORM sys.raise_ora(12899, format('value too large for column %s (actual: %s, maximum: %s)',
                                        pcolumn, char_length(v), psize));
  END IF;
  RETURN v;
END $$;

-- Moves a sequence up to the highest id its table holds: a row written
-- around the package never gets its id handed out again.
CREATE OR REPLACE FUNCTION sys.keep_sequence(pseq regclass, phighest bigint) RETURNS void
  LANGUAGE plpgsql SET search_path = pg_catalog AS $$
DECLARE
  last bigint;
  called boolean;
BEGIN
  EXECUTE format('SELECT last_value, is_called FROM %s', pseq) INTO last, called;
  IF NOT called THEN
    last := last - 1;
  END IF;
  IF coalesce(phighest, 0) > last THEN
    PERFORM setval(pseq, phighest, true);
  END IF;
END $$;

GRANT EXECUTE ON FUNCTION sys.ensure_session_table(text, text), sys.raise_ora(integer, text),
  sys.column_text(text, text, integer, boolean) TO PUBLIC;
RESET ROLE;
