// Sessions on the embedded server: logging in and its Oracle errors, the
// Oracle SQL forms the console writes, queries, stored procedures, packages,
// master-detail, refresh and update texts, error handlers and the connect dialog.
#include "ConnectDialog.h"
#include "OraErrorHandler.h"
#include "OraPackage.h"
#include "OraQuery.h"
#include "OraStoredProc.h"
#include "OracleBackend.h"
#include "OracleHome.h"
#include "IniFile.h"
#include "RecordingDialogService.h"
#include "TestServer.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QtTest>

namespace {

int ErrorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const EDAError &e) {
        return e.ErrorCode();
    }
    return 0;
}

} // namespace

class tst_OraSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void loginErrors()
    {
        TestServer server;
        QCOMPARE(ErrorOf([&] { server.Connect(QStringLiteral("ZL_USER"), QStringLiteral("wrong")); }), 1017);
        QCOMPARE(ErrorOf([&] { server.Connect(QStringLiteral("NOBODY"), QStringLiteral("demo")); }), 1017);
        QCOMPARE(ErrorOf([&] { server.Connect(QStringLiteral("ZL_USER"), QString()); }), 1005);
        QCOMPARE(ErrorOf([&] { server.Connect(QStringLiteral("LOCKED"), QStringLiteral("demo")); }), 28000);
        // A locked account with a wrong password says no more than any wrong password.
        QCOMPARE(ErrorOf([&] { server.Connect(QStringLiteral("LOCKED"), QStringLiteral("nope")); }), 1017);
        auto s = server.Connect(QStringLiteral(" zl_user "), QStringLiteral("demo"));
        QVERIFY(s->Connected());
        // The password is case-sensitive.
        QCOMPARE(ErrorOf([&] { server.Connect(QStringLiteral("ZL_USER"), QStringLiteral("DEMO")); }), 1017);
    }

    void unknownServerAndMissingFiles()
    {
        TestServer server;
        TOraSession s;
        s.SetConnectPrompt(false);
        s.SetUsername("ZL_USER");
        s.SetPassword("demo");
        s.SetServer("NOSUCHALIAS");
        try {
            s.Connect();
            QFAIL("connected to an unknown alias");
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), 12154);
            QVERIFY(e.message().contains(QStringLiteral("NOSUCHALIAS")));
        }
        s.SetServer("NOFILES");
        try {
            s.Connect();
            QFAIL("connected to a missing folder");
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), 1157);
            QVERIFY(e.message().contains(QStringLiteral("Db/NOFILES")));
        }
        // A damaged scheme file: a readable error, no crash.
        QFile damaged(server.Folder() + QStringLiteral("/ZANDRELL5.db"));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(QByteArray(8192, 'x'));
        damaged.close();
        s.SetServer("ZANDRELL");
        try {
            s.Connect();
            QFAIL("connected to a damaged file");
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), 1157);
            QVERIFY2(e.message().contains(QStringLiteral("ZANDRELL5.db")), qPrintable(e.message()));
        }
        QVERIFY(!s.Connected());
    }

    void oracleSqlForms()
    {
        TestServer server;
        auto s = server.Connect();
        TOraQuery q;
        q.SetSession(s.get());
        // The scheme check of the login.
        q.SetSQL({"SELECT 1 ", "FROM  ALL_OBJECTS AO", "WHERE AO.OWNER       = UPPER(&Shema)", "  AND AO.OBJECT_TYPE = 'VIEW'",
                  "  AND AO.OBJECT_NAME = 'V_SYSUSERS'"});
        q.MacroByName("Shema").SetValue(QStringLiteral("'zandrell5'"));
        q.Open();
        QCOMPARE(q.RecordCount(), 1);
        q.Close();
        q.MacroByName("SHEMA").SetValue(QStringLiteral("'TARVEL'"));
        q.Open();
        QCOMPARE(q.RecordCount(), 0);
        q.Close();
        // The user check, with the macro written &SHEMA.
        q.SetSQL({"SELECT VSU.LOGIN, VSU.ID", "  FROM &SHEMA.v_Sysusers VSU", " WHERE VSU.LOGIN = :pUser"});
        q.MacroByName("shema").SetValue("ZANDRELL5");
        q.ParamByName("pUser").SetAsString("NEWBIE");
        q.Open();
        QCOMPARE(q.FieldByName("ID")->AsInteger(), 4);
        q.Close();
        // NVL, ||, UPPER of Cyrillic, DUAL, DECODE, SYSDATE.
        q.SetSQLText("SELECT NVL(NULL, 'x') || NULL || '-' || UPPER('абв') AS A, NVL(5, 0) AS B, DECODE(2, 1, 'one', 2, 'two', 'other') AS C, "
                     "SYSDATE AS D FROM DUAL");
        q.Open();
        QCOMPARE(q.FieldByName("A")->AsString(), QStringLiteral("x-АБВ"));
        QCOMPARE(q.FieldByName("B")->AsInteger(), 5);
        QCOMPARE(q.FieldByName("C")->AsString(), QStringLiteral("two"));
        QVERIFY(!q.FieldByName("D")->IsNull());
        q.Close();
        // ALTER SESSION is accepted and kept for the session.
        s->ExecSQL(QStringLiteral("ALTER SESSION SET %1 = '%2'").arg("NLS_TIME_FORMAT", "fmHH24fm:MI:SS"));
        QCOMPARE(s->NlsValue("nls_time_format"), QStringLiteral("fmHH24fm:MI:SS"));
        // The catalogue text with a package function inside the query.
        s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_SRVITEM(:PID, 1, 'TST-G1', 'Test.so', 'Заказы', 1); "
                   "ZANDRELL5.MENUPACK.INS_SRVITEM(:PID, 0, 'TST-G2', 'Test.so', 'Untranslated', 0); END;",
                   {0});
        q.SetSQL({"SELECT SI.*,", "0 AS F_SEL,", "nvl(&shema.lang_pack.GET_RESOURCE_APL_TXT(SI.SRVNAME), '?' || SI.SRVNAME) as TR_SRVNAME",
                  "FROM &shema.V_SRVITEMS SI", "ORDER BY SI.SRVNAME,", "SI.DLLNAME"});
        q.MacroByName("shema").SetValue("ZANDRELL5");
        q.Open();
        QVERIFY(q.RecordCount() >= 2);
        QVERIFY(q.Locate("GUID", "TST-G1", 0));
        QCOMPARE(q.FieldByName("TR_SRVNAME")->AsString(), QStringLiteral("Заказы"));
        QCOMPARE(q.FieldByName("F_SEL")->AsInteger(), 0);
        QCOMPARE(q.FieldByName("SRVNAME")->Size(), 50);
        QVERIFY(q.FieldByName("SRVNAME")->Required());
        QVERIFY(q.Locate("GUID", "TST-G2", 0));
        QCOMPARE(q.FieldByName("TR_SRVNAME")->AsString(), QStringLiteral("?Untranslated"));
        // The catalogue's empty update block and its refresh text.
        q.SQLUpdate = {"begin", "null;", "end;"};
        q.SQLRefresh = {"WHERE", "ITEMID = :ITEMID"};
        q.Edit();
        q.FieldByName("F_SEL")->SetAsInteger(1);
        q.Post();
        QCOMPARE(q.FieldByName("F_SEL")->AsInteger(), 1);
        s->ExecSQL("UPDATE ZANDRELL5.SRVITEMS SET CREATEBTN = 1 WHERE GUID = 'TST-G2'");
        q.RefreshRecord();
        QCOMPARE(q.FieldByName("CREATEBTN")->AsInteger(), 1);
        QCOMPARE(q.FieldByName("F_SEL")->AsInteger(), 0);
        QCOMPARE(q.FieldByName("GUID")->AsString(), QStringLiteral("TST-G2"));
    }

    // The Oracle functions of the embedded server, as a query writes them ("<null>": NULL, "ORA-n": error n).
    void oracleFunctions_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("value");
        QTest::newRow("NVL of NULL") << "NVL(NULL, 'x')" << "x";
        QTest::newRow("NVL of a value") << "NVL(5, 0)" << "5";
        QTest::newRow("NVL2 of NULL") << "NVL2(NULL, 'set', 'unset')" << "unset";
        QTest::newRow("NVL2 of a value") << "NVL2(0, 'set', 'unset')" << "set";
        QTest::newRow("DECODE") << "DECODE(2, 1, 'one', 2, 'two', 'other')" << "two";
        QTest::newRow("DECODE default") << "DECODE(3, 1, 'one', 'other')" << "other";
        QTest::newRow("DECODE of NULL") << "DECODE(NULL, 1, 'one', NULL, 'none')" << "none";
        QTest::newRow("TO_NUMBER") << "TO_NUMBER(' 12 ') + 1" << "13";
        QTest::newRow("TO_NUMBER of a fraction") << "TO_NUMBER('2.5') * 2" << "5";
        QTest::newRow("TO_NUMBER of NULL") << "TO_NUMBER(NULL)" << "<null>";
        QTest::newRow("TO_NUMBER of a word") << "TO_NUMBER('abc')" << "ORA-1722";
        QTest::newRow("TO_CHAR of a whole number") << "TO_CHAR(7) || '!'" << "7!";
        QTest::newRow("TO_CHAR of a fraction") << "TO_CHAR(2.5)" << "2.5";
        QTest::newRow("TO_CHAR of a whole double") << "TO_CHAR(2.5 * 2)" << "5";
        QTest::newRow("TO_CHAR of NULL") << "TO_CHAR(NULL)" << "<null>";
        QTest::newRow("|| skips NULL") << "NULL || 'a' || NULL || 'b'" << "ab";
        QTest::newRow("UPPER of Cyrillic") << "UPPER('абв')" << "АБВ";
        QTest::newRow("LOWER") << "LOWER('AbC')" << "abc";
    }
    void oracleFunctions()
    {
        QFETCH(QString, expression);
        QFETCH(QString, value);
        TestServer server;
        auto s = server.Connect();
        TOraQuery q;
        q.SetSession(s.get());
        q.SetSQLText("SELECT " + expression + " AS V FROM DUAL");
        const int error = ErrorOf([&] { q.Open(); });
        if (error)
            QCOMPARE(QStringLiteral("ORA-%1").arg(error), value);
        else
            QCOMPARE(q.FieldByName("V")->IsNull() ? QStringLiteral("<null>") : q.FieldByName("V")->AsString(), value);
    }

    void missingObjectsAndBadSql()
    {
        TestServer server;
        auto s = server.Connect();
        TOraQuery q;
        q.SetSession(s.get());
        q.SetSQLText("SELECT * FROM TARVEL.V_SYSUSERS");
        QCOMPARE(ErrorOf([&] { q.Open(); }), 942);
        QCOMPARE(ErrorOf([&] { q.Prepare(); }), 942);
        q.SetSQLText("SELECT NOSUCHCOLUMN FROM ZANDRELL5.V_ACCESS");
        QCOMPARE(ErrorOf([&] { q.Open(); }), 904);
        q.SetSQLText("SELEKT 1 FROM DUAL");
        QCOMPARE(ErrorOf([&] { q.Open(); }), 900);
        // The accounts and their hashes are out of a client's reach.
        q.SetSQLText("SELECT * FROM main.ACCOUNTS");
        QCOMPARE(ErrorOf([&] { q.Open(); }), 942);
        q.SetSQLText("SELECT * FROM ACCOUNTS");
        QCOMPARE(ErrorOf([&] { q.Open(); }), 942);
        QCOMPARE(ErrorOf([&] { s->ExecSQL("ATTACH DATABASE '/tmp/x.db' AS X"); }), 942 /* not authorised */);
        QCOMPARE(ErrorOf([&] { s->ExecSQL("DROP TABLE ZANDRELL5.SYSUSER"); }), 942);
        QCOMPARE(ErrorOf([&] { s->ExecSQL("BEGIN ZANDRELL5.NOPACK.X(1); END;"); }), 6550);
        QCOMPARE(ErrorOf([&] { s->ExecSQL("BEGIN TARVEL.MENUPACK.DEL_MENUITEM(1); END;"); }), 6550);
        QCOMPARE(ErrorOf([&] { s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.DEL_MENUITEM(1, 2); END;"); }), 6550);
        QVERIFY(!s->InTransaction());
        // A query on a disconnected session without permission to connect.
        TOraSession idle;
        idle.Options().NeverConnect = true;
        q.SetSession(&idle);
        q.SetSQLText("SELECT 1 FROM DUAL");
        QCOMPARE(ErrorOf([&] { q.Open(); }), 1012);
    }

    void storedProceduresAndPackages()
    {
        TestServer server;
        auto s = server.Connect(QStringLiteral("OPERATOR"));
        // GET_CURRCONFIG as the data module writes it.
        TOraStoredProc cfg;
        cfg.SetSession(s.get());
        cfg.SetSQL({"begin", "  ZANDRELL5.GET_CURRCONFIG(:PUSER, :PACCESSLIST, :PSYSDBA);", "end;"});
        cfg.ParamByName("PUSER").SetParamType(TParamType::ptOutput);
        cfg.ExecProc();
        QCOMPARE(cfg.ParamByName("PUSER").AsString(), QStringLiteral("Оператор"));
        QCOMPARE(cfg.ParamByName("PACCESSLIST").AsFloat(), 2.0);
        QCOMPARE(cfg.ParamByName("PSYSDBA").AsInteger(), 0);
        QVERIFY(cfg.IsPLSQL());

        // The Request function by its name: parameters come from the server.
        TOraStoredProc request;
        request.SetSession(s.get());
        request.SetStoredProcName("ZANDRELL5.Request");
        request.PrepareSQL();
        QCOMPARE(request.ParamCount(), 5);
        request.ParamByName("PTYPE").SetAsString("COLUMN");
        request.ParamByName("PVAL_1").SetAsString("SYSUSER");
        request.ParamByName("PVAL_2").SetAsString("FORCE_PASS_CHANGE");
        request.ParamByName("PVAL_3").SetAsString("");
        request.ExecProc();
        QCOMPARE(request.ParamByName("RESULT").AsInteger(), 1);
        request.ParamByName("PVAL_2").SetAsString("NO_SUCH_COLUMN");
        request.ExecProc();
        QCOMPARE(request.ParamByName("RESULT").AsInteger(), 0);
        request.ParamByName("PVAL_1").SetAsString("V_SYSUSERS\"; DROP TABLE SYSUSER; --");
        request.ExecProc();
        QCOMPARE(request.ParamByName("RESULT").AsInteger(), 0);

        // A package call with out parameters read back by name.
        auto admin = server.Connect();
        TOraPackage pack;
        pack.SetSession(admin.get());
        pack.SetPackageName("ZANDRELL5.MENUPACK");
        QVERIFY(pack.ExecProc("INS_MENUGRP", {0, "Новая", 0, 1}).isNull());
        const int id = pack.ParamByName("PID").AsInteger();
        QVERIFY(id > 8);
        admin->Commit();
        TOraPackage lang;
        lang.SetSession(admin.get());
        lang.SetPackageName("ZANDRELL5.LANG_PACK");
        QCOMPARE(lang.ExecProc("GET_USER_APL_LANG_ID").toInt(), 25);
        QCOMPARE(lang.ExecProc("GET_RESOURCE_APL_TXT", {"rstrServer"}).toString(), QStringLiteral("Сервер"));
        QCOMPARE(ErrorOf([&] { pack.ExecProc("DEL_MENUITEM", {1, 2, 3}); }), 6550);
        QCOMPARE(ErrorOf([&] { pack.ExecProc("NO_SUCH_PROC"); }), 6550);
    }

    void cursorFunctionOpensAsDataSet()
    {
        TestServer server;
        auto s = server.Connect();
        const QVariant item = s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_SRVITEM(:PID, 1, 'TST-G1', 'Test.so', 'Заказы', 1); "
                                         "ZANDRELL5.MENUPACK.INS_SRVITEM_MODE('TST-G1', 1, 'Просмотр', 1); "
                                         "ZANDRELL5.MENUPACK.INS_SRVITEM_MODE('TST-G1', 2, 'Изменение', 1); "
                                         "ZANDRELL5.MENUPACK.INS_SRVITEM_MODE('TST-G1', 3, 'Удаление', 0); END;",
                                         {0});
        TOraPackage pack;
        pack.SetSession(s.get());
        pack.SetPackageName("ZANDRELL5.MENUPACK");
        pack.ExecProc("INS_MENUITEM", {0, 2, 1, item, "1101"});
        const int idCfg = pack.ParamByName("PID").AsInteger();
        s->Commit();

        TOraStoredProc spRight;
        spRight.SetSession(s.get());
        spRight.SetStoredProcName("ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT");
        spRight.AddField("RCHECK", TFieldType::ftString, 1);
        spRight.AddField("NAME", TFieldType::ftString, 60, true);
        spRight.AddField("SOURCE_NAME", TFieldType::ftString, 150);
        spRight.AddField("ISLANG", TFieldType::ftFloat);
        spRight.PrepareSQL();
        spRight.ParamByName("PID_CFG").SetAsInteger(idCfg);
        spRight.Open();
        QCOMPARE(spRight.RecordCount(), 3);
        QStringList checks;
        for (spRight.First(); !spRight.Eof(); spRight.Next())
            checks << spRight.FieldByName("RCHECK")->AsString() + spRight.FieldByName("NAME")->AsString();
        QCOMPARE(checks, (QStringList{"+Просмотр", "-Изменение", "+Удаление"}));
        spRight.First();
        QCOMPARE(spRight.FieldByName("ISLANG")->AsFloat(), 1.0);
        spRight.Close();
        // The older procedure shape: fields RCHECK and NAME only.
        TOraStoredProc old;
        old.SetSession(s.get());
        old.SetStoredProcName("ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT");
        old.AddField("RCHECK", TFieldType::ftString, 1);
        old.AddField("NAME", TFieldType::ftString, 60, true);
        old.ParamByName("PID_CFG").SetAsInteger(idCfg);
        old.Open();
        QCOMPARE(old.FieldCount(), 2);
        QCOMPARE(old.RecordCount(), 3);
        // A declared field the cursor lacks is an error.
        TOraStoredProc wrong;
        wrong.SetSession(s.get());
        wrong.SetStoredProcName("ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT");
        wrong.AddField("NOFIELD", TFieldType::ftString, 1);
        wrong.ParamByName("PID_CFG").SetAsInteger(idCfg);
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, wrong.Open());
    }

    void masterDetailByParameterName()
    {
        TestServer server;
        auto s = server.Connect();
        const QVariant item = s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_SRVITEM(:PID, 1, 'TST-G1', 'Test.so', 'Тест', 1); END;", {0});
        const QVariant group = s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_MENUGRP(:PID, 'Тесты', 0, 1); END;", {0});
        s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_MENUITEM(:PID, :OWNER, 1, :ITEM, '1'); COMMIT; END;", {0, group, item});
        auto countOf = [&](int access) {
            TOraQuery c;
            c.SetSession(s.get());
            c.SetSQLText("SELECT count(*) AS N FROM ZANDRELL5.V_MENUCFG WHERE ACCESSID = :A");
            c.ParamByName("A").SetAsInteger(access);
            c.Open();
            return c.FieldByName("N")->AsInteger();
        };

        TSmartQuery access;
        access.SetName("AccessTbl");
        access.SetSession(s.get());
        access.SetSQLText("SELECT * FROM &shema.V_ACCESS");
        access.MacroByName("shema").SetValue("ZANDRELL5");
        TDataSource accessSrc(nullptr, &access);
        TSmartQuery menu;
        menu.SetName("V_MENUCFG");
        menu.SetSession(s.get());
        menu.SetSQL({"select * from &shema.V_MENUCFG", "WHERE ACCESSID=:ACCESSID", "ORDER BY SORT_ORDER"});
        menu.MacroByName("shema").SetValue("ZANDRELL5");
        menu.SetMasterSource(&accessSrc);
        TDataSource menuSrc(nullptr, &menu);
        TSmartQuery items;
        items.SetName("V_SRVITEMS");
        items.SetSession(s.get());
        items.SetSQL({"SELECT * FROM &shema.V_SRVITEMS", "WHERE ITEMID=:ITEMID"});
        items.MacroByName("shema").SetValue("ZANDRELL5");
        items.SetMasterSource(&menuSrc);

        access.Open();
        menu.Open();
        items.Open();
        QCOMPARE(access.FieldByName("ACCESSID")->AsInteger(), 1);
        QCOMPARE(menu.RecordCount(), countOf(1));
        QVERIFY(access.Locate("ACCESSID", 2, loPartialKey));
        QCOMPARE(menu.RecordCount(), countOf(2));
        QCOMPARE(menu.FieldByName("ACCESSID")->AsInteger(), 2);
        // The menu model filters on the owner.
        QVERIFY(access.Locate("ACCESSID", 1, 0));
        menu.SetFilter("Owner=" + group.toString());
        menu.SetFiltered(true);
        QCOMPARE(menu.RecordCount(), 1);
        QCOMPARE(menu.FieldByName("ISGROUP")->AsInteger(), 0);
        QCOMPARE(items.RecordCount(), 1);
        QCOMPARE(items.FieldByName("DLLNAME")->AsString(), QStringLiteral("Test.so"));
        menu.SetFiltered(false);
        QVERIFY(menu.Locate("ID_CFG", group, 0));
        QCOMPARE(items.RecordCount(), 0); // a group has no service
        // While controls are disabled the detail does not follow; it catches up after.
        access.DisableControls();
        access.Locate("ACCESSID", 2, 0);
        QCOMPARE(menu.FieldByName("ACCESSID")->AsInteger(), 1);
        access.EnableControls();
        QCOMPARE(menu.FieldByName("ACCESSID")->AsInteger(), 2);
        // The session lists its data sets by name.
        QStringList names;
        for (TOraDataSet *ds : s->DataSets())
            names << ds->Name();
        QCOMPARE(names, (QStringList{"AccessTbl", "V_MENUCFG", "V_SRVITEMS"}));
        s->Disconnect();
        QVERIFY(!access.Active() && !menu.Active() && !items.Active());
    }

    void refreshRecordAndUpdateTexts()
    {
        TestServer server;
        auto s = server.Connect();
        auto other = server.Connect();
        TOraQuery access;
        access.SetSession(s.get());
        access.SetSQL({"SELECT *", "FROM &shema.V_ACCESS", "&ORDER &FIELD"});
        access.MacroByName("shema").SetValue("ZANDRELL5");
        access.MacroByName("ORDER").SetValue("ORDER BY");
        access.MacroByName("FIELD").SetValue("NAME");
        access.SQLRefresh = {"WHERE", "ACCESSID = :ACCESSID"};
        access.Open();
        QCOMPARE(access.FieldByName("NAME")->AsString(), QStringLiteral("Администраторы"));
        other->ExecSQL("BEGIN ZANDRELL5.MENUPACK.UPD_ACCESS(1, 'Админы'); COMMIT; END;");
        access.RefreshRecord();
        QCOMPARE(access.FieldByName("NAME")->AsString(), QStringLiteral("Админы"));
        const int groups = access.RecordCount();
        // A row deleted on the server leaves the data set on refresh.
        other->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_ACCESS(:PID, 'Пустая'); COMMIT; END;", {0});
        access.Refresh();
        QCOMPARE(access.RecordCount(), groups + 1);
        QVERIFY(access.Locate("NAME", "Пустая", 0));
        const int id = access.FieldByName("ACCESSID")->AsInteger();
        other->ExecSQL("BEGIN ZANDRELL5.MENUPACK.DEL_ACCESS_RECURCIVE(:ID); COMMIT; END;", {id});
        access.RefreshRecord();
        QCOMPARE(access.RecordCount(), groups);
        QVERIFY(!access.Locate("ACCESSID", id, 0));

        // Changes go through the update and insert texts; without one they stay local.
        access.SQLUpdate = {"begin", "  ZANDRELL5.MENUPACK.UPD_ACCESS(:ACCESSID, :NAME);", "end;"};
        access.SQLInsert = {"begin", "  ZANDRELL5.MENUPACK.INS_ACCESS(:ACCESSID, :NAME);", "end;"};
        QVERIFY(access.Locate("ACCESSID", 2, 0));
        access.Edit();
        access.FieldByName("NAME")->SetAsString("Операторы смены");
        access.Post();
        access.Append();
        access.FieldByName("NAME")->SetAsString("Гости");
        access.Post();
        QVERIFY(access.FieldByName("ACCESSID")->AsInteger() > 2); // the new id came back
        s->Commit();
        TOraQuery check;
        check.SetSession(other.get());
        check.SetSQLText("SELECT NAME FROM ZANDRELL5.V_ACCESS ORDER BY ACCESSID");
        check.Open();
        QStringList names;
        for (; !check.Eof(); check.Next())
            names << check.FieldByName("NAME")->AsString();
        QCOMPARE(names.mid(0, 2), (QStringList{"Админы", "Операторы смены"}));
        QVERIFY(names.contains(QStringLiteral("Гости")));
        access.Options().LocalUpdate = true;
        access.Edit();
        access.FieldByName("NAME")->SetAsString("Только здесь");
        access.Post();
        QVERIFY(!s->InTransaction());
    }

    void errorHandlersAndSessionError()
    {
        TestServer server;
        TOraSession s;
        s.SetConnectPrompt(false);
        s.SetServer("ZANDRELL");
        TOraErrorHandler handler;
        handler.SetSession(&s);
        QList<int> codes;
        handler.OnError = [&](int code, QString &message) {
            codes << code;
            if (code == 1017)
                message = QStringLiteral("Incorrect password/login");
        };
        s.OnError = [](TOraSession *, EDAError &e) {
            if (e.ErrorCode() == 28000)
                e.Reinit(942, QStringLiteral("Ora-Error: 28000 -> 942 -> The user is locked"));
        };
        s.SetUsername("ZL_USER");
        s.SetPassword("bad");
        try {
            s.Connect();
            QFAIL("connected");
        } catch (const EDAError &e) {
            QCOMPARE(e.message(), QStringLiteral("Incorrect password/login"));
        }
        s.SetUsername("LOCKED");
        s.SetPassword("demo");
        try {
            s.Connect();
            QFAIL("connected");
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), 942);
            QCOMPARE(e.className(), QStringLiteral("EDAError"));
            QVERIFY(e.message().contains(QStringLiteral("locked")));
        }
        QCOMPARE(codes, (QList<int>{1017, 28000}));
        s.SetUsername("ZL_USER");
        s.Connect();
        // Errors of statements pass through the handler too.
        QCOMPARE(ErrorOf([&] { s.ExecSQL("SELECT * FROM ZANDRELL5.NO_SUCH_TABLE"); }), 942);
        QCOMPARE(codes.last(), 942);
    }

    void connectDialogRetriesAndCancel()
    {
        TestServer server;
        RecordingDialogService dialogs;
        TOraSession s;
        TConnectDialog dialog;
        dialog.LabelSet = TLabelSet::lsCustom;
        dialog.Caption = QStringLiteral("Connection by \"ZANDRELL5\" scheme");
        dialog.ServerLabel = QStringLiteral("Server");
        s.SetConnectDialog(&dialog);
        s.SetServer("ZANDRELL");
        s.SetUsername("ZL_USER");
        TOraErrorHandler handler;
        handler.SetSession(&s);
        int attempts = 0;
        handler.OnError = [&](int code, QString &message) {
            ++attempts;
            if (code == 1017)
                message = QStringLiteral("Incorrect password/login");
        };
        // A person types a wrong password twice, then the right one.
        QStringList offered;
        int shown = 0;
        dialogs.onModal = [&](QDialog *d) {
            ++shown;
            offered.clear();
            auto *server = d->findChild<QComboBox *>("edServer");
            for (int i = 0; i < server->count(); ++i)
                offered << server->itemText(i);
            d->findChild<QLineEdit *>("edPassword")->setText(shown < 3 ? "bad" : "demo");
            return int(QDialog::Accepted);
        };
        s.Connect();
        QVERIFY(s.Connected());
        QCOMPARE(shown, 3);
        QCOMPARE(attempts, 2);
        QCOMPARE(offered, (QStringList{"ZANDRELL", "NOFILES"}));
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(dialogs.boxes[0].text, QStringLiteral("Incorrect password/login"));
        QCOMPARE(dialogs.boxes[0].caption, dialog.Caption);
        s.Disconnect();

        // Three wrong attempts: the last error is raised, not shown.
        dialogs.clear();
        shown = 0;
        bool connectChange = false;
        s.OnConnectChange = [&](TOraSession *session, bool connecting) {
            connectChange = connecting;
            session->PerformConnect(false);
        };
        dialogs.onModal = [&](QDialog *d) {
            ++shown;
            d->findChild<QLineEdit *>("edPassword")->setText("bad");
            return int(QDialog::Accepted);
        };
        QCOMPARE(ErrorOf([&] { s.Connect(); }), 1017);
        QCOMPARE(shown, 3);
        QCOMPARE(dialogs.boxes.size(), 2);
        QVERIFY(connectChange);

        // Cancel raises EAbort.
        dialogs.onModal = nullptr;
        QVERIFY_THROWS_EXCEPTION(EAbort, s.Connect());
        QVERIFY(!s.Connected());
    }

    void oracleBackendWithoutItsDriver()
    {
        TestServer server;
        TIniFile ini(server.IniPath());
        ini.WriteString("PROD", "Backend", "oracle");
        ini.WriteString("PROD", "Driver", "QOCI");
        ini.WriteString("PROD", "Database", "//dbhost:1521/ORCL");
        ini.WriteString("ODD", "Backend", "nosuchbackend");
        TOraSession s;
        s.SetConnectPrompt(false);
        s.SetUsername("ZL_USER");
        s.SetPassword("demo");
        s.SetServer("prod");
        try {
            s.Connect();
            QFAIL("connected without a driver");
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), 12560);
            QVERIFY2(e.message().contains(QStringLiteral("QOCI")) && e.message().contains(QStringLiteral("not installed")),
                     qPrintable(e.message()));
        }
        s.SetServer("ODD");
        QCOMPARE(ErrorOf([&] { s.Connect(); }), 12154);
        QVERIFY(TOracleBackend::ChooseDriver("QNOSUCH").isEmpty());
        QCOMPARE(TOracleBackend::ChooseDriver("QSQLITE"), QStringLiteral("QSQLITE"));
        QCOMPARE(ServerAliasNames(), (QStringList{"ZANDRELL", "NOFILES", "PROD", "ODD"}));
        TServerAlias alias;
        QVERIFY(FindServerAlias("zandrell", &alias));
        QCOMPARE(alias.backend, QStringLiteral("sqlite"));
        QCOMPARE(alias.path, server.Folder());
        QVERIFY(FindServerAlias("PROD", &alias));
        QCOMPARE(alias.database, QStringLiteral("//dbhost:1521/ORCL"));
        QVERIFY(!FindServerAlias("", nullptr));
    }

    void oracleHomes()
    {
        QTemporaryDir dir;
        QFile oratab(dir.filePath("oratab"));
        QVERIFY(oratab.open(QIODevice::WriteOnly));
        oratab.write("# comment\nORCL:/opt/oracle/19c:N\n\nBAD\nTEST:/opt/oracle/21c:Y\nDUP:/opt/oracle/19c:N\n");
        oratab.close();
        SetOratabPath(oratab.fileName());
        qputenv("ORACLE_HOME", "/opt/oracle/21c");
        DetectOCI();
        QCOMPARE(OracleHomeCount(), 2);
        QCOMPARE(OracleHomeNames(0), QStringLiteral("ORCL"));
        QCOMPARE(OracleHomeNames(1), QStringLiteral("TEST"));
        QCOMPARE(OracleHomeNames(2), QString());
        QCOMPARE(DefaultOracleHome().Name, QStringLiteral("TEST"));
        qunsetenv("ORACLE_HOME");
        SetOratabPath(dir.filePath("missing"));
        QCOMPARE(OracleHomeCount(), 0);
        QVERIFY(DefaultOracleHome().Path.isEmpty());
        SetOratabPath(QString());
    }

    void connectDialogUnattended()
    {
        TestServer server;
        qputenv("KORCONSOLE_HEADLESS", "1");
        TOraSession s;
        s.SetServer("ZANDRELL");
        s.SetUsername("OPERATOR");
        s.SetPassword("demo");
        // The prompt is on: the window is accepted with the values it was given.
        s.Connect();
        QVERIFY(s.Connected());
        s.Disconnect();
        s.SetPassword("wrong");
        QCOMPARE(ErrorOf([&] { s.Connect(); }), 1017);
        qunsetenv("KORCONSOLE_HEADLESS");
    }

    void connectDialogTexts()
    {
        TConnectDialog d;
        QCOMPARE(d.Retries, 3);
        QCOMPARE(d.EffectiveConnectButton(), QStringLiteral("Connect"));
        d.LabelSet = TLabelSet::lsRussian;
        QCOMPARE(d.EffectiveCancelButton(), QStringLiteral("Отменить"));
        d.LabelSet = TLabelSet::lsCustom;
        d.PasswordLabel = QStringLiteral("Пароль");
        QCOMPARE(d.EffectivePasswordLabel(), QStringLiteral("Пароль"));
        QCOMPARE(d.EffectiveUsernameLabel(), QStringLiteral("Username"));
    }
};

QTEST_MAIN(tst_OraSession)
#include "tst_OraSession.moc"
