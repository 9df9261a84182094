-- The accounts of a new demo scheme (as Scheme/accounts.sql): roles of the
-- server with the password demo; LOCKED may not log in. A role that is there
-- already (an account of another database of the server) keeps its password.
DO $$
DECLARE
  r record;
BEGIN
  FOR r IN SELECT * FROM (VALUES ('zl_user', true), ('operator', true), ('locked', false), ('newbie', true))
                           AS a (name, login) LOOP
    IF NOT EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = r.name) THEN
      EXECUTE format('CREATE ROLE %I %s PASSWORD %L', r.name, CASE WHEN r.login THEN 'LOGIN' ELSE 'NOLOGIN' END, 'demo');
    END IF;
    EXECUTE format('GRANT zandrell_users TO %I', r.name);
  END LOOP;
END $$;
-- The administrator of the demo scheme may also change its tables directly.
GRANT zandrell5_admins TO zl_user;
