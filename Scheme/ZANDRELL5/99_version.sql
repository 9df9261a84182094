-- The version of the scheme this text makes (Scheme/postgres/99_version.sql
-- gives the PostgreSQL scheme the same). The console refuses an older scheme.
CREATE TABLE ZANDRELL5.SCHEME_VERSION (
  VERSION NUMBER(9) NOT NULL
);
INSERT INTO ZANDRELL5.SCHEME_VERSION (VERSION) VALUES (1);
