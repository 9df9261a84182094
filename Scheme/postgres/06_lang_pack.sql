-- LANG_PACK: the language pack of ZANDRELL5 (the user's languages, texts by
-- key) and TARVEL's SAVE_RUSSIAN_PHRASE of the language-pack capture. A text
-- function reads the session user's language in the same statement, so it may
-- stand in a query (nvl(&shema.lang_pack.GET_RESOURCE_APL_TXT(SI.SRVNAME), ...)).
SET ROLE zandrell_owner;

DROP SCHEMA IF EXISTS lang_pack CASCADE;
CREATE SCHEMA lang_pack AUTHORIZATION zandrell_owner;
GRANT USAGE ON SCHEMA lang_pack TO zandrell_users;

-- The session user's row of languages, the column given; Russian (25) until the user chose one.
CREATE FUNCTION lang_pack.get_user_apl_lang_id() RETURNS integer LANGUAGE sql STABLE AS $$
  SELECT coalesce((SELECT apl_lang_id FROM zandrell5.user_langs WHERE login = upper(session_user)), 25)::integer
$$;
CREATE FUNCTION lang_pack.get_user_apl_lang_sub_id() RETURNS integer LANGUAGE sql STABLE AS $$
  SELECT coalesce((SELECT apl_lang_sub_id FROM zandrell5.user_langs WHERE login = upper(session_user)), 0)::integer
$$;
CREATE FUNCTION lang_pack.get_user_rep_lang_id() RETURNS integer LANGUAGE sql STABLE AS $$
  SELECT coalesce((SELECT rep_lang_id FROM zandrell5.user_langs WHERE login = upper(session_user)), 25)::integer
$$;
CREATE FUNCTION lang_pack.get_user_rep_lang_sub_id() RETURNS integer LANGUAGE sql STABLE AS $$
  SELECT coalesce((SELECT rep_lang_sub_id FROM zandrell5.user_langs WHERE login = upper(session_user)), 0)::integer
$$;

-- The text of an identifier in the user's application language; NULL when the pack has none.
CREATE FUNCTION lang_pack.get_resource_apl_txt(pid varchar) RETURNS varchar LANGUAGE sql STABLE AS $$
  SELECT t.txt FROM zandrell5.lang_texts t
   WHERE t.res_key = nullif(pid, '') AND t.lang_id = lang_pack.get_user_apl_lang_id()
$$;

CREATE FUNCTION lang_pack.get_resource_apl_en_txt(pid varchar) RETURNS varchar LANGUAGE sql STABLE AS $$
  SELECT t.txt FROM zandrell5.lang_texts t WHERE t.res_key = nullif(pid, '') AND t.lang_id = 9
$$;

-- GET_RESOURCE_APL_TXT_OF_FIELD(PID, PFLAG, PDEFAULT): a field caption's text, else the default.
CREATE FUNCTION lang_pack.get_resource_apl_txt_of_field(pid varchar, pflag numeric, pdefault varchar)
  RETURNS varchar LANGUAGE sql STABLE AS $$
  SELECT coalesce(lang_pack.get_resource_apl_txt(pid), nullif(pdefault, ''))
$$;

-- A Russian text in the user's application language; NULL when the pack has none.
CREATE FUNCTION lang_pack.resource_apl_txt(ptext varchar) RETURNS varchar LANGUAGE sql STABLE AS $$
  SELECT lang_pack.get_resource_apl_txt(ptext)
$$;

-- The session user's application or report language, when the pack has it (ORA-20003 otherwise).
CREATE FUNCTION zandrell5.lang_pack_set_user_lang(papl boolean, plang numeric, psublang numeric) RETURNS void
  LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_lang numeric := coalesce(round(plang), 0);
  v_sub numeric := coalesce(round(psublang), 0);
BEGIN
  IF NOT EXISTS (SELECT 1 FROM zandrell5.languages WHERE lang_id = v_lang AND lang_sub_id = v_sub) THEN
    PERFORM sys.raise_ora(20003, format('language %s/%s is not in the language pack', v_lang, v_sub));
  END IF;
  INSERT INTO zandrell5.user_langs (login) VALUES (upper(session_user)) ON CONFLICT (login) DO NOTHING;
  IF papl THEN
    UPDATE zandrell5.user_langs SET apl_lang_id = v_lang, apl_lang_sub_id = v_sub WHERE login = upper(session_user);
  ELSE
    UPDATE zandrell5.user_langs SET rep_lang_id = v_lang, rep_lang_sub_id = v_sub WHERE login = upper(session_user);
  END IF;
END $$;

CREATE FUNCTION lang_pack.set_user_apl_lang(plang numeric, psublang numeric) RETURNS void
  LANGUAGE sql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
  SELECT zandrell5.lang_pack_set_user_lang(true, plang, psublang)
$$;

CREATE FUNCTION lang_pack.set_user_rep_lang(plang numeric, psublang numeric) RETURNS void
  LANGUAGE sql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
  SELECT zandrell5.lang_pack_set_user_lang(false, plang, psublang)
$$;

-- TARVEL's SAVE_RUSSIAN_PHRASE(PPHRASE, PID_DFM, PCOMMENT): one phrase of a form, once.
CREATE FUNCTION lang_pack.save_russian_phrase(pphrase varchar, pid_dfm numeric, pcomment varchar DEFAULT NULL)
  RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  v_phrase text := nullif(btrim(pphrase), '');
  v_form numeric := coalesce(round(pid_dfm), 0);
BEGIN
  IF v_phrase IS NULL THEN
    RETURN;
  END IF;
  PERFORM 1 FROM tarvel.dfm WHERE id_dfm = v_form FOR KEY SHARE;
  IF NOT FOUND THEN
    PERFORM sys.raise_ora(2291, format('integrity constraint violated - form %s not found', v_form));
  END IF;
  INSERT INTO tarvel.russian_phrases (id_dfm, phrase, comments) VALUES (v_form, v_phrase, nullif(pcomment, ''))
    ON CONFLICT (id_dfm, phrase) DO NOTHING;
END $$;

GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA lang_pack TO zandrell_users;
RESET ROLE;
