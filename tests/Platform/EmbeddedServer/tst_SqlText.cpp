// Macros, parameters, the Oracle-to-SQLite translation, PL/SQL blocks and scripts.
#include "DAError.h"
#include "DbBuilder.h"
#include "OraMacro.h"
#include "OraQuery.h"
#include "PlsqlBlock.h"
#include "SqlLexer.h"
#include "SqlTranslator.h"

#include <QtTest>

class tst_SqlText : public QObject {
    Q_OBJECT
private slots:
    void macrosAreFoundOutsideLiteralsWithoutCase()
    {
        const QString sql = QStringLiteral("SELECT '&notamacro' FROM &shema.V_ACCESS -- &comment\n"
                                           "WHERE X = &Shema.F(1) &ORDER &FIELD");
        QCOMPARE(TMacros::NamesIn(sql), (QStringList{"shema", "ORDER", "FIELD"}));
        TMacros m;
        m.ParseFrom(sql);
        QCOMPARE(m.Count(), 3);
        QVERIFY(m.FindMacro(QStringLiteral("SHEMA")));
        QVERIFY(m.FindMacro(QStringLiteral("Shema")));
        QVERIFY(!m.FindMacro(QStringLiteral("comment")));
        m.MacroByName(QStringLiteral("SHEMA")).SetValue(QStringLiteral("ZANDRELL5"));
        m.MacroByName(QStringLiteral("order")).SetValue(QStringLiteral("ORDER BY"));
        m.MacroByName(QStringLiteral("field")).SetValue(QStringLiteral("NAME"));
        QCOMPARE(m.Expand(sql), QStringLiteral("SELECT '&notamacro' FROM ZANDRELL5.V_ACCESS -- &comment\n"
                                               "WHERE X = ZANDRELL5.F(1) ORDER BY NAME"));
        m.MacroByName(QStringLiteral("ORDER")).SetActive(false);
        m.MacroByName(QStringLiteral("FIELD")).SetActive(false);
        QVERIFY(m.Expand(sql).endsWith(QStringLiteral("F(1)  ")));
        QVERIFY_THROWS_EXCEPTION(Exception, m.MacroByName(QStringLiteral("missing")));
    }

    void queryKeepsMacroValuesWhenTheTextChanges()
    {
        TOraQuery q;
        q.SetSQLText(QStringLiteral("SELECT * FROM &shema.V_ACCESS"));
        q.MacroByName(QStringLiteral("Shema")).SetValue(QStringLiteral("S1"));
        q.SQL().append(QStringLiteral("WHERE ACCESSID = :ACCESSID"));
        QCOMPARE(q.MacroByName(QStringLiteral("SHEMA")).Value(), QStringLiteral("S1"));
        QCOMPARE(q.FinalSQL(), QStringLiteral("SELECT * FROM S1.V_ACCESS\nWHERE ACCESSID = :ACCESSID"));
        QCOMPARE(q.MacroCount(), 1);
        QVERIFY(q.FindMacro(QStringLiteral("other")) == nullptr);
        QVERIFY_THROWS_EXCEPTION(Exception, q.MacroByName(QStringLiteral("other")));
    }

    void parametersAreBoundByNameWithoutCase()
    {
        TOraQuery q;
        q.SetSQLText(QStringLiteral("SELECT :pUser, ':x', :PUSER, :Second FROM DUAL WHERE A := 1 OR B::int"));
        QCOMPARE(q.ParamCount(), 2);
        q.ParamByName(QStringLiteral("PUSER")).SetAsString(QStringLiteral("ZL_USER"));
        QCOMPARE(q.ParamByName(QStringLiteral("puser")).AsString(), QStringLiteral("ZL_USER"));
        QVERIFY(q.FindParam(QStringLiteral("x")) == nullptr);
        QVERIFY_THROWS_EXCEPTION(EDAError, q.ParamByName(QStringLiteral("none")));
        // Values stay when the text is extended.
        q.SQL().append(QStringLiteral("AND C = :third"));
        QCOMPARE(q.ParamCount(), 3);
        QCOMPARE(q.ParamByName(QStringLiteral("pUser")).AsString(), QStringLiteral("ZL_USER"));
    }

    void paramValuesAndKinds()
    {
        TOraParam p(QStringLiteral("P"));
        QVERIFY(p.IsNull());
        p.SetAsInteger(42);
        QCOMPARE(p.AsString(), QStringLiteral("42"));
        QCOMPARE(p.AsFloat(), 42.0);
        p.SetAsString(QStringLiteral("7.6"));
        QCOMPARE(p.AsInteger(), 8);
        p.SetAsString(QStringLiteral("abc"));
        try {
            p.AsInteger();
            QFAIL("no error for a text that is no number");
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), 1722);
        }
        p.SetAsVariant(QVariant());
        QVERIFY(p.IsNull());
    }

    void translatorRewritesPackageFunctionsOnly()
    {
        const QString in = QStringLiteral(
            "SELECT SI.*, 0 AS F_SEL,\nnvl(ZANDRELL5.lang_pack.GET_RESOURCE_APL_TXT(SI.SRVNAME), '?' || SI.SRVNAME) as TR_SRVNAME\n"
            "FROM ZANDRELL5.V_SRVITEMS SI ORDER BY SI.SRVNAME, 'a.b.c(' ;");
        const QString out = TranslateOracleSql(in);
        QVERIFY2(out.contains(QStringLiteral("nvl(Z$CALL('ZANDRELL5.LANG_PACK.GET_RESOURCE_APL_TXT', SI.SRVNAME), "
                                             "Z$CONCAT('?', SI.SRVNAME))")),
                 qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("FROM ZANDRELL5.V_SRVITEMS SI")));
        QVERIFY(out.contains(QStringLiteral("'a.b.c('")));
        QVERIFY(!out.trimmed().endsWith(QLatin1Char(';')));
        QCOMPARE(TranslateOracleSql(QStringLiteral("select S.PACK.F() from dual")),
                 QStringLiteral("select Z$CALL('S.PACK.F') from dual"));
        // A table name before its column list is no function.
        QCOMPARE(TranslateOracleSql(QStringLiteral("INSERT INTO tarvel.dpr (id_dpr, name) VALUES(1, 'x')")),
                 QStringLiteral("INSERT INTO tarvel.dpr (id_dpr, name) VALUES(1, 'x')"));
        // "||" chains of plain operands skip NULLs as on Oracle; next to arithmetic they stay.
        QCOMPARE(TranslateOracleSql(QStringLiteral("SELECT A.X || '-' || F(B, C) || (1 + 2) || :P FROM T A")),
                 QStringLiteral("SELECT Z$CONCAT(A.X, '-', F(B, C), (1 + 2), :P) FROM T A"));
        QCOMPARE(TranslateOracleSql(QStringLiteral("SELECT 1 + 2 || 'x', 'a' || 'b' FROM DUAL")),
                 QStringLiteral("SELECT 1 + 2 || 'x', Z$CONCAT('a', 'b') FROM DUAL"));
        QCOMPARE(TranslateOracleSql(QStringLiteral("SELECT NVL(A, 'x' || B) FROM T")),
                 QStringLiteral("SELECT NVL(A, Z$CONCAT('x', B)) FROM T"));
        // The alias of the one table of an UPDATE or DELETE goes.
        QCOMPARE(TranslateOracleSql(QStringLiteral("UPDATE TARVEL.DFM t SET t.IS_TRANSLIT = 1 WHERE t.ID_DFM = 5")),
                 QStringLiteral("UPDATE TARVEL.DFM SET IS_TRANSLIT = 1 WHERE ID_DFM = 5"));
        QCOMPARE(TranslateOracleSql(QStringLiteral("DELETE FROM T AS x WHERE x.A = 'x.A'")),
                 QStringLiteral("DELETE FROM T WHERE A = 'x.A'"));
        QCOMPARE(TranslateOracleSql(QStringLiteral("UPDATE T SET A = 1 WHERE B = 2")), QStringLiteral("UPDATE T SET A = 1 WHERE B = 2"));
        QCOMPARE(TranslateOracleSql(QStringLiteral("SELECT SYSDATE FROM DUAL MINUS SELECT T.SYSDATE FROM T")),
                 QStringLiteral("SELECT ZSYSDATE() FROM DUAL EXCEPT SELECT T.SYSDATE FROM T"));
    }

    void blocksOfCalls()
    {
        const QList<TPlsqlStep> steps = ParsePlsqlBlock(QStringLiteral(
            "BEGIN \r\nZANDRELL5.LANG_PACK.SET_USER_APL_LANG(9, 0); \r\n  :RESULT := S.MENUPACK.GET_MENU_ITEM_RIGHT(:PID_CFG);\n"
            "S.GET_CURRCONFIG(:PUSER, :PACCESSLIST, :PSYSDBA); null; COMMIT; \r\nEND;"));
        QCOMPARE(steps.size(), 5);
        QCOMPARE(steps[0].kind, TPlsqlStep::Call);
        QCOMPARE(steps[0].target, QStringLiteral("ZANDRELL5.LANG_PACK.SET_USER_APL_LANG"));
        QCOMPARE(steps[0].args.size(), 2);
        QCOMPARE(steps[0].args[0].expression, QStringLiteral("9"));
        QCOMPARE(steps[1].resultBind, QStringLiteral("RESULT"));
        QCOMPARE(steps[1].args[0].bind, QStringLiteral("PID_CFG"));
        QCOMPARE(steps[2].args.size(), 3);
        QCOMPARE(steps[3].kind, TPlsqlStep::Null);
        QCOMPARE(steps[4].kind, TPlsqlStep::Commit);

        const QList<TPlsqlStep> one = ParsePlsqlBlock(QStringLiteral("begin TARVEL.lang_pack.SAVE_RUSSIAN_PHRASE(:text,12,''); end;"));
        QCOMPARE(one.size(), 1);
        QCOMPARE(one[0].args[2].expression, QStringLiteral("''"));
        const QList<TPlsqlStep> empty = ParsePlsqlBlock(QStringLiteral("begin\nnull;\nend;"));
        QCOMPARE(empty.size(), 1);
        const QList<TPlsqlStep> sql = ParsePlsqlBlock(QStringLiteral("begin update T set A = 1 where B = :B; end;"));
        QCOMPARE(sql[0].kind, TPlsqlStep::Sql);
        QCOMPARE(sql[0].text, QStringLiteral("update T set A = 1 where B = :B"));
    }

    void blocksBeyondTheServerAreRefused_data()
    {
        QTest::addColumn<QString>("block");
        QTest::newRow("declare") << QStringLiteral("DECLARE x NUMBER; BEGIN NULL; END;");
        QTest::newRow("if") << QStringLiteral("BEGIN IF 1 = 1 THEN NULL; END IF; END;");
        QTest::newRow("no end") << QStringLiteral("BEGIN P.X(1);");
        QTest::newRow("junk after end") << QStringLiteral("BEGIN NULL; END; SELECT 1 FROM DUAL");
        QTest::newRow("named args") << QStringLiteral("BEGIN P.X(A => 1); END;");
        QTest::newRow("unclosed call") << QStringLiteral("BEGIN P.X(1; END;");
    }
    void blocksBeyondTheServerAreRefused()
    {
        QFETCH(QString, block);
        try {
            ParsePlsqlBlock(block);
            QFAIL("accepted");
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), 6550);
            QVERIFY(e.message().startsWith(QStringLiteral("ORA-06550")));
        }
    }

    void scriptsSplitAtStatementEnds()
    {
        const QStringList s = SplitSqlScript(QStringLiteral("-- a; comment\nCREATE TABLE T (A VARCHAR2(10) DEFAULT ';');\n"
                                                            "INSERT INTO T VALUES ('x;y');;\n/* ; */ INSERT INTO T VALUES ('z')"));
        QCOMPARE(s.size(), 3);
        QVERIFY(s[0].endsWith(QStringLiteral("DEFAULT ';')")));
        QCOMPARE(s[1], QStringLiteral("INSERT INTO T VALUES ('x;y')"));
        QVERIFY(s[2].endsWith(QStringLiteral("VALUES ('z')")));
    }
};

QTEST_GUILESS_MAIN(tst_SqlText)
#include "tst_SqlText.moc"
