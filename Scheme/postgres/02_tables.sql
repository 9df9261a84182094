-- The tables of the schemes ZANDRELL5 and TARVEL, as the embedded scheme has
-- them (Scheme/ZANDRELL5, Scheme/TARVEL): Oracle's NUMBER(p[,s]) is numeric,
-- VARCHAR2(n) varchar(n) (n characters), DATE timestamp(0). A table missing
-- from an installed scheme is added, the rows of those there are kept.
SET ROLE zandrell_owner;

CREATE TABLE IF NOT EXISTS zandrell5.accesslist (
  accessid numeric(9) PRIMARY KEY,
  name     varchar(100) NOT NULL
);
-- No two access groups with one name, compared trimmed and without regard to
-- case in any alphabet, whatever writes the table.
CREATE UNIQUE INDEX IF NOT EXISTS accesslist_name ON zandrell5.accesslist (lower(btrim(name)));

CREATE TABLE IF NOT EXISTS zandrell5.srvitems (
  itemid    numeric(9) PRIMARY KEY,
  srvname   varchar(50) NOT NULL,
  dllname   varchar(50) NOT NULL,
  guid      varchar(50) NOT NULL UNIQUE,
  createbtn numeric(1) DEFAULT 0 NOT NULL,
  islang    numeric(1) DEFAULT 0 NOT NULL
);

-- The rights a service declares, numbered from 1 (SORT_ORDER) in rights-string order.
CREATE TABLE IF NOT EXISTS zandrell5.srvitems_mode (
  itemid      numeric(9) NOT NULL REFERENCES zandrell5.srvitems (itemid) ON DELETE CASCADE,
  sort_order  numeric(9) NOT NULL,
  name        varchar(60) NOT NULL,
  source_name varchar(150),
  islang      numeric(1) DEFAULT 0 NOT NULL,
  PRIMARY KEY (itemid, sort_order)
);

CREATE TABLE IF NOT EXISTS zandrell5.report_items (
  itemid     numeric(9) NOT NULL REFERENCES zandrell5.srvitems (itemid) ON DELETE CASCADE,
  rguid      varchar(50) NOT NULL,
  rname      varchar(100),
  rdesc      varchar(255),
  sort_order numeric(9) DEFAULT 0 NOT NULL,
  PRIMARY KEY (itemid, rguid)
);

-- Menu trees: groups (ISGROUP 1) and service entries (ISGROUP 0, rights string ITEMMODE).
CREATE TABLE IF NOT EXISTS zandrell5.menucfg (
  id_cfg     numeric(9) PRIMARY KEY,
  accessid   numeric(9) NOT NULL REFERENCES zandrell5.accesslist (accessid),
  owner      numeric(9) DEFAULT 0 NOT NULL,
  isgroup    numeric(1) NOT NULL,
  menuname   varchar(50),
  itemid     numeric(9),
  itemmode   varchar(255),
  sort_order numeric(9) DEFAULT 0 NOT NULL
);
CREATE INDEX IF NOT EXISTS menucfg_access ON zandrell5.menucfg (accessid, owner, sort_order);

-- Every change MENUPACK makes, written by the call that makes it, in its
-- transaction: who (LOGIN), when, which procedure (OPERATION), the access
-- group (NULL for the service catalogue), the row and its old and new values.
CREATE TABLE IF NOT EXISTS zandrell5.menu_history (
  id          numeric(9) PRIMARY KEY,
  changed_at  timestamp(0) NOT NULL,
  login       varchar(30) NOT NULL,
  operation   varchar(30) NOT NULL,
  accessid    numeric(9),
  object_id   numeric(9),
  object_name varchar(200),
  old_value   varchar(4000),
  new_value   varchar(4000)
);
CREATE INDEX IF NOT EXISTS menu_history_access ON zandrell5.menu_history (accessid, id);
-- The history's numbers: two administrators changing at once each get one.
CREATE SEQUENCE IF NOT EXISTS zandrell5.menu_history_seq;

-- Users of the scheme; LOGIN is the log-in account (the role, in upper case).
CREATE TABLE IF NOT EXISTS zandrell5.sysuser (
  id                numeric(9) PRIMARY KEY,
  login             varchar(30) NOT NULL UNIQUE,
  name              varchar(100),
  accessid          numeric(9) REFERENCES zandrell5.accesslist (accessid),
  isadmin           numeric(1) DEFAULT 0 NOT NULL,
  force_pass_change numeric(1) DEFAULT 0 NOT NULL
);

-- Language pack.
CREATE TABLE IF NOT EXISTS zandrell5.languages (
  lang_id     numeric(4) NOT NULL,
  lang_sub_id numeric(4) DEFAULT 0 NOT NULL,
  lang_name   varchar(50) NOT NULL,
  PRIMARY KEY (lang_id, lang_sub_id)
);

CREATE TABLE IF NOT EXISTS zandrell5.user_langs (
  login           varchar(30) PRIMARY KEY,
  apl_lang_id     numeric(4) DEFAULT 25 NOT NULL,
  apl_lang_sub_id numeric(4) DEFAULT 0 NOT NULL,
  rep_lang_id     numeric(4) DEFAULT 25 NOT NULL,
  rep_lang_sub_id numeric(4) DEFAULT 0 NOT NULL
);

-- A text by key (a resource-string id, or the Russian text itself) and language.
CREATE TABLE IF NOT EXISTS zandrell5.lang_texts (
  res_key varchar(4000) NOT NULL,
  lang_id numeric(4) NOT NULL,
  txt     varchar(4000),
  PRIMARY KEY (res_key, lang_id)
);

-- Texts that the translation of forms leaves as they are.
CREATE TABLE IF NOT EXISTS zandrell5.no_translate_texts (
  txt varchar(4000) PRIMARY KEY
);

-- The version of the scheme: the console refuses a scheme older than it needs.
CREATE TABLE IF NOT EXISTS zandrell5.scheme_version (
  version numeric(9) NOT NULL
);

-- The tables of the demo services.
CREATE TABLE IF NOT EXISTS zandrell5.demo_customers (
  id    numeric(9) PRIMARY KEY,
  name  varchar(100) NOT NULL,
  city  varchar(50),
  phone varchar(30)
);

CREATE TABLE IF NOT EXISTS zandrell5.demo_orders (
  id          numeric(9) PRIMARY KEY,
  customer_id numeric(9) NOT NULL REFERENCES zandrell5.demo_customers (id),
  order_date  timestamp(0) NOT NULL,
  amount      numeric(12,2) NOT NULL,
  status      varchar(30) NOT NULL
);

CREATE TABLE IF NOT EXISTS zandrell5.demo_goods (
  id       numeric(9) PRIMARY KEY,
  name     varchar(100) NOT NULL,
  quantity numeric(9) NOT NULL,
  price    numeric(12,2) NOT NULL
);

CREATE TABLE IF NOT EXISTS zandrell5.demo_order_lines (
  id       numeric(9) PRIMARY KEY,
  order_id numeric(9) NOT NULL REFERENCES zandrell5.demo_orders (id),
  line_no  numeric(4) NOT NULL,
  goods_id numeric(9) NOT NULL REFERENCES zandrell5.demo_goods (id),
  quantity numeric(9) NOT NULL,
  price    numeric(12,2) NOT NULL
);

-- Ids of the tables whose rows the package MENUPACK adds: they only grow,
-- so a deleted row's id never comes back.
CREATE SEQUENCE IF NOT EXISTS zandrell5.accesslist_seq;
CREATE SEQUENCE IF NOT EXISTS zandrell5.menucfg_seq;
CREATE SEQUENCE IF NOT EXISTS zandrell5.srvitems_seq;

-- Order lines marked for a report (TEMP_SELECT_PACK): each session sees only
-- its own marks, they lock nothing that another session waits for, and they
-- end with the session.
INSERT INTO sys.session_tables (owner, table_name, columns) VALUES
  ('ZANDRELL5', 'TEMP_ORDER_LINES_REPORT',
   'login varchar(30) NOT NULL, guid_service varchar(50) NOT NULL, query_name varchar(100) NOT NULL, '
   'rowid_query varchar(100) NOT NULL, PRIMARY KEY (login, guid_service, query_name, rowid_query)')
  ON CONFLICT (owner, table_name) DO UPDATE SET columns = EXCLUDED.columns;

-- Scheme TARVEL: the phrases of forms collected for the language pack.
CREATE TABLE IF NOT EXISTS tarvel.dpr (
  id_dpr numeric(9) PRIMARY KEY,
  name   varchar(100) NOT NULL
);

CREATE TABLE IF NOT EXISTS tarvel.dfm (
  id_dfm      numeric(9) PRIMARY KEY,
  fk_dpr      numeric(9) NOT NULL REFERENCES tarvel.dpr (id_dpr),
  name        varchar(100) NOT NULL,
  is_translit numeric(1) DEFAULT 0 NOT NULL
);

-- A module, and a form of a module, has one row: two captures racing for the
-- same name get ORA-00001 instead of a second row.
CREATE UNIQUE INDEX IF NOT EXISTS dpr_name ON tarvel.dpr (name);
CREATE UNIQUE INDEX IF NOT EXISTS dfm_dpr_name ON tarvel.dfm (fk_dpr, name);

CREATE TABLE IF NOT EXISTS tarvel.russian_phrases (
  id_dfm   numeric(9) NOT NULL REFERENCES tarvel.dfm (id_dfm),
  phrase   varchar(4000) NOT NULL,
  comments varchar(4000),
  PRIMARY KEY (id_dfm, phrase)
);

-- What each scheme offers (ALL_OBJECTS).
INSERT INTO sys.server_objects (owner, object_name, object_type) VALUES
  ('ZANDRELL5', 'MENUPACK', 'PACKAGE'),
  ('ZANDRELL5', 'LANG_PACK', 'PACKAGE'),
  ('ZANDRELL5', 'EMPLOYEPACK', 'PACKAGE'),
  ('ZANDRELL5', 'TEMP_SELECT_PACK', 'PACKAGE'),
  ('ZANDRELL5', 'GET_CURRCONFIG', 'PROCEDURE'),
  ('ZANDRELL5', 'REQUEST', 'FUNCTION'),
  ('TARVEL', 'LANG_PACK', 'PACKAGE')
  ON CONFLICT (owner, object_name) DO NOTHING;

-- Every account of the schemes reads them; the scheme's administrators may
-- also change its tables; the language-pack capture writes TARVEL's.
GRANT SELECT ON ALL TABLES IN SCHEMA zandrell5, tarvel TO zandrell_users;
GRANT INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA zandrell5 TO zandrell5_admins;
GRANT INSERT, UPDATE ON tarvel.dpr, tarvel.dfm TO zandrell_users;
RESET ROLE;
