-- EMPLOYEPACK: the forced password change. An account is a role of the
-- server; its password changes through sys.set_role_password, the one piece
-- of the scheme that runs with the server administrator's rights: it reads the
-- role's password verifier (to tell a new password that is the old one) and
-- changes the password only of an ordinary account of the schemes.

-- The password against a SCRAM-SHA-256 verifier of the server
-- ("SCRAM-SHA-256$<iterations>:<salt>$<StoredKey>:<ServerKey>").
CREATE OR REPLACE FUNCTION sys.scram_matches(ppassword text, pverifier text) RETURNS boolean
  LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  parts text[] := regexp_match(pverifier, '^SCRAM-SHA-256\$(\d+):([^$]+)\$([^:]+):(.+)$');
  key bytea;
  u bytea;
  acc bit(256);
  salted bytea := '';
BEGIN
  IF parts IS NULL OR ppassword IS NULL THEN
    RETURN false;
  END IF;
  -- SaltedPassword = Hi(password, salt, i): PBKDF2 with HMAC-SHA-256.
  key := convert_to(normalize(ppassword, NFKC), 'UTF8');
  u := crypto.hmac(decode(parts[2], 'base64') || '\x00000001'::bytea, key, 'sha256');
  acc := ('x' || encode(u, 'hex'))::bit(256);
  FOR i IN 2 .. parts[1]::integer LOOP
    u := crypto.hmac(u, key, 'sha256');
    acc := acc # ('x' || encode(u, 'hex'))::bit(256);
  END LOOP;
  FOR i IN 0 .. 7 LOOP
    salted := salted || decode(lpad(to_hex(substring(acc FROM i * 32 + 1 FOR 32)::bigint), 8, '0'), 'hex');
  END LOOP;
  -- StoredKey = H(HMAC(SaltedPassword, "Client Key")).
  RETURN crypto.digest(crypto.hmac(convert_to('Client Key', 'UTF8'), salted, 'sha256'), 'sha256')
         = decode(parts[3], 'base64');
END $$;

-- 0 when the password is the role's own already, else the role's new password and 1.
CREATE OR REPLACE FUNCTION sys.set_role_password(prole text, ppassword text) RETURNS integer
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  a pg_catalog.pg_authid;
BEGIN
  SELECT * INTO a FROM pg_catalog.pg_authid WHERE rolname = prole;
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(1918, format('user ''%s'' does not exist', upper(prole)));
  END IF;
  IF a.rolsuper OR a.rolcreaterole OR a.rolreplication OR a.rolbypassrls
     OR NOT pg_catalog.pg_has_role(prole, 'zandrell_users', 'MEMBER') THEN
    PERFORM sys.raise_ora(1031, format('insufficient privileges: %s is no account of the schemes', upper(prole)));
  END IF;
  IF nullif(ppassword, '') IS NULL THEN
    PERFORM sys.raise_ora(988, 'missing or invalid password(s)');
  END IF;
  IF sys.scram_matches(ppassword, a.rolpassword) THEN
    RETURN 0;
  END IF;
  EXECUTE format('ALTER ROLE %I PASSWORD %L', prole, ppassword);
  RETURN 1;
END $$;
REVOKE EXECUTE ON FUNCTION sys.set_role_password(text, text) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION sys.set_role_password(text, text) TO zandrell_owner;

SET ROLE zandrell_owner;

DROP SCHEMA IF EXISTS employepack CASCADE;
CREATE SCHEMA employepack AUTHORIZATION zandrell_owner;
GRANT USAGE ON SCHEMA employepack TO zandrell_users;

-- The login of a scheme user, when the session user may act on it: the user
-- itself, or an administrator of the scheme (ORA-01031 otherwise).
CREATE FUNCTION zandrell5.employepack_login(pid numeric) RETURNS text
  LANGUAGE plpgsql STABLE SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_login text;
BEGIN
  SELECT login INTO v_login FROM zandrell5.sysuser WHERE id = coalesce(round(pid), 0);
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(1403, format('no data found (user %s)', pid));
  END IF;
  IF upper(v_login) <> upper(session_user)
     AND NOT EXISTS (SELECT 1 FROM zandrell5.sysuser WHERE login = upper(session_user) AND isadmin = 1) THEN
    PERFORM sys.raise_ora(1031, 'insufficient privileges');
  END IF;
  RETURN v_login;
END $$;

-- ALTER_USER(PID, PLOGIN, PPASSWORD, PRESULT in/out): 0 when the new password
-- is the old one, else the account's password changed and 1.
CREATE FUNCTION employepack.alter_user(pid numeric, plogin varchar, ppassword varchar, INOUT presult integer DEFAULT NULL)
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_login text;
BEGIN
  SELECT login INTO v_login FROM zandrell5.sysuser WHERE id = coalesce(round(pid), 0);
  IF NOT FOUND OR upper(v_login) <> upper(btrim(coalesce(plogin, ''))) THEN
    PERFORM sys.raise_ora(1403, format('no data found (user %s with login %s)', pid, plogin));
  END IF;
  v_login := zandrell5.employepack_login(pid);
  presult := sys.set_role_password(lower(v_login), ppassword);
END $$;

-- DISABLE_FORCE_PSW_CHANGE(PID): the user need not change the password at the next log-in.
CREATE FUNCTION employepack.disable_force_psw_change(pid numeric) RETURNS void
  LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
  PERFORM zandrell5.employepack_login(pid);
  UPDATE zandrell5.sysuser SET force_pass_change = 0 WHERE id = coalesce(round(pid), 0);
END $$;

GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA employepack TO zandrell_users;
RESET ROLE;
