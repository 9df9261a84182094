-- The version of the scheme this text makes (Scheme/ZANDRELL5/99_version.sql
-- gives the embedded scheme the same). The console refuses an older scheme.
SET ROLE zandrell_owner;
DELETE FROM zandrell5.scheme_version;
INSERT INTO zandrell5.scheme_version (version) VALUES (1);
RESET ROLE;
