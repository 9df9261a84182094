// Sessions on the embedded server: logging in and its Oracle errors, the
// Oracle SQL forms and functions the console writes, queries, stored
// procedures, packages, master-detail, refresh and update texts (the connect
// dialog and the error hooks are tested with the login); the language
// package: the language data module and the resource strings in the user's
// language.
#include "LanguagesDM.h"
#include "OraPackage.h"
#include "OraQuery.h"
#include "OraStoredProc.h"
#include "IniFile.h"
#include "TestServer.h"

#include <QtTest>

class tst_OraSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestServer::BuildTemplate(); }
    void cleanup() { SetComLanguages(nullptr); }

    void textsAsThePackageGivesThem_data()
    {
        QTest::addColumn<int>("lang");
        QTest::newRow("Russian") << 25;
        QTest::newRow("English") << 9;
    }
    void textsAsThePackageGivesThem()
    {
        QFETCH(int, lang);
        TestServer server;
        auto s = server.Connect(QStringLiteral("OPERATOR"));
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, QStringLiteral("ZANDRELL5"), s.get());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("rstrServer")), QStringLiteral("Сервер")); // read before the change
        dm->SET_USER_APL_LANG(lang, 0);
        TOraPackage pack;
        pack.SetSession(s.get());
        pack.SetPackageName(QStringLiteral("ZANDRELL5.LANG_PACK"));
        const QStringList keys = {"rstrServer", "rstrUser", "Настройка меню", "Документы", "Нет такого текста", "rstrserver", ""};
        for (const QString &key : keys) {
            const QVariant apl = pack.ExecProc(QStringLiteral("GET_RESOURCE_APL_TXT"), {key});
            QCOMPARE(dm->GET_RESOURCE_APL_TXT(key), apl.isNull() ? key : apl.toString());
            const QVariant en = pack.ExecProc(QStringLiteral("GET_RESOURCE_APL_EN_TXT"), {key});
            QCOMPARE(dm->GET_RESOURCE_APL_EN_TXT(key), en.isNull() ? key : en.toString());
            QString text = key;
            dm->RESOURCE_APL_TXT(text);
            QCOMPARE(text, pack.ExecProc(QStringLiteral("RESOURCE_APL_TXT"), {key}).toString());
        }
        dm->SET_USER_APL_LANG(25, 0);
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("rstrServer")), QStringLiteral("Сервер"));
    }


    // Logging in: the Oracle error of each refusal (0: connected) and what its message names.
    void connectErrors_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("named");
        QTest::newRow("connected") << "ZANDRELL" << " zl_user " << "demo" << 0 << "";
        QTest::newRow("wrong password") << "ZANDRELL" << "ZL_USER" << "wrong" << 1017 << "";
        QTest::newRow("password is case-sensitive") << "ZANDRELL" << "ZL_USER" << "DEMO" << 1017 << "";
        QTest::newRow("unknown user") << "ZANDRELL" << "NOBODY" << "demo" << 1017 << "";
        QTest::newRow("empty password") << "ZANDRELL" << "ZL_USER" << "" << 1005 << "";
        QTest::newRow("locked") << "ZANDRELL" << "LOCKED" << "demo" << 28000 << "";
        // A locked account with a wrong password says no more than any wrong password.
        QTest::newRow("locked, wrong password") << "ZANDRELL" << "LOCKED" << "nope" << 1017 << "";
        QTest::newRow("missing files") << "NOFILES" << "ZL_USER" << "demo" << 1157 << "Db/NOFILES";
        QTest::newRow("damaged file") << "ZANDRELL" << "ZL_USER" << "demo" << 1157 << "ZANDRELL5.db";
        QTest::newRow("Oracle without its driver") << "prod" << "ZL_USER" << "demo" << 12560 << "QOCI";
    }
    void connectErrors()
    {
        QFETCH(QString, server);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, code);
        QFETCH(QString, named);
        TestServer test;
        TIniFile ini(test.IniPath());
        ini.WriteString("PROD", "Backend", "oracle");
        ini.WriteString("PROD", "Driver", "QOCI");
        ini.WriteString("PROD", "Database", "//dbhost:1521/ORCL");
        QFile damaged(test.Folder() + QStringLiteral("/ZANDRELL5.db"));
        if (named == QLatin1String("ZANDRELL5.db")) {
            QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
            damaged.write(QByteArray(8192, 'x'));
            damaged.close();
        }
        TOraSession s;
        s.SetConnectPrompt(false);
        s.SetServer(server);
        s.SetUsername(user);
        s.SetPassword(password);
        try {
            s.Connect();
            QCOMPARE(0, code);
            QVERIFY(s.Connected());
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), code);
            QVERIFY2(e.message().contains(named), qPrintable(e.message()));
            QVERIFY(!s.Connected());
        }
    }

    // The Oracle forms the console writes beyond the login's own statements (which its tests run).
    void oracleSqlForms()
    {
        TestServer server;
        auto s = server.Connect();
        TOraQuery q;
        q.SetSession(s.get());
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
        QTest::newRow("SYSDATE") << "NVL2(SYSDATE, 'set', 'unset')" << "set";
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

    // Statements the server refuses, with the Oracle error of each; the transaction stays clean.
    void refusedStatements_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("code");
        QTest::newRow("missing scheme") << "SELECT * FROM TARVEL.V_SYSUSERS" << 942;
        QTest::newRow("missing column") << "SELECT NOSUCHCOLUMN FROM ZANDRELL5.V_ACCESS" << 904;
        QTest::newRow("no statement") << "SELEKT 1 FROM DUAL" << 900;
        // The accounts and their hashes are out of a client's reach; so are the database's own commands.
        QTest::newRow("accounts") << "SELECT * FROM main.ACCOUNTS" << 942;
        QTest::newRow("accounts, short") << "SELECT * FROM ACCOUNTS" << 942;
        QTest::newRow("attach") << "ATTACH DATABASE '/tmp/x.db' AS X" << 942;
        QTest::newRow("drop") << "DROP TABLE ZANDRELL5.SYSUSER" << 942;
        QTest::newRow("missing package") << "BEGIN ZANDRELL5.NOPACK.X(1); END;" << 6550;
        QTest::newRow("package of another scheme") << "BEGIN TARVEL.MENUPACK.DEL_MENUITEM(1); END;" << 6550;
        QTest::newRow("wrong argument count") << "BEGIN ZANDRELL5.MENUPACK.DEL_MENUITEM(1, 2); END;" << 6550;
    }
    void refusedStatements()
    {
        QFETCH(QString, statement);
        QFETCH(int, code);
        TestServer server;
        auto s = server.Connect();
        TOraQuery q;
        q.SetSession(s.get());
        q.SetSQLText(statement);
        QCOMPARE(ErrorOf([&] { statement.startsWith(QLatin1String("SELECT")) ? q.Open() : q.ExecSQL(); }), code);
        QVERIFY(!s->InTransaction());
        // A query on a disconnected session without permission to connect.
        TOraSession idle;
        idle.Options().NeverConnect = true;
        q.SetSession(&idle);
        QCOMPARE(ErrorOf([&] { q.Open(); }), 1012);
    }

    void storedProceduresAndPackages()
    {
        TestServer server;
        auto s = server.Connect(QStringLiteral("OPERATOR"));
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

    // A function returning a cursor opens as a data set with the fields it declares, a subset too.
    void cursorFunctionOpensAsDataSet()
    {
        TestServer server;
        auto s = server.Connect();
        auto open = [&](const QList<const char *> &fields) {
            auto rights = std::make_unique<TOraStoredProc>();
            rights->SetSession(s.get());
            rights->SetStoredProcName("ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT");
            for (const char *field : fields)
                rights->AddField(QString::fromLatin1(field), TFieldType::ftString, 150);
            rights->ParamByName("PID_CFG").SetAsInteger(12); // the operators' orders entry
            rights->Open();
            return rights;
        };
        auto all = open({"RCHECK", "NAME", "SOURCE_NAME", "ISLANG"});
        QCOMPARE(all->RecordCount(), 2);
        QCOMPARE(all->FieldByName("RCHECK")->AsString() + all->FieldByName("NAME")->AsString(), QStringLiteral("+Просмотр сумм"));
        QCOMPARE(all->FieldByName("SOURCE_NAME")->AsString(), QStringLiteral("Просмотр сумм"));
        QCOMPARE(all->FieldByName("ISLANG")->AsString(), QStringLiteral("0"));
        // The older shape of the function: RCHECK and NAME only.
        auto older = open({"RCHECK", "NAME"});
        QCOMPARE(older->FieldCount(), 2);
        QCOMPARE(older->RecordCount(), 2);
        // A declared field the cursor lacks is an error.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, open({"NOFIELD"}));
    }

    // Access groups, their menu, the menu's services: each detail follows its master by the parameter's name.
    void masterDetailByParameterName()
    {
        TestServer server;
        auto s = server.Connect();
        auto make = [&](const char *table, const char *where, TDataSource *master) {
            auto q = std::make_unique<TSmartQuery>();
            q->SetName(QString::fromLatin1(table));
            q->SetSession(s.get());
            q->SetSQL({QStringLiteral("SELECT * FROM &shema.") + QLatin1String(table), QString::fromLatin1(where)});
            q->MacroByName("shema").SetValue("ZANDRELL5");
            q->SetMasterSource(master);
            return q;
        };
        auto access = make("V_ACCESS", "", nullptr);
        TDataSource accessSource(nullptr, access.get());
        auto menu = make("V_MENUCFG", "WHERE ACCESSID=:ACCESSID ORDER BY SORT_ORDER", &accessSource);
        TDataSource menuSource(nullptr, menu.get());
        auto items = make("V_SRVITEMS", "WHERE ITEMID=:ITEMID", &menuSource);
        access->Open();
        menu->Open();
        items->Open();
        QCOMPARE(menu->FieldByName("ACCESSID")->AsInteger(), 1);
        QVERIFY(access->Locate("ACCESSID", 2, 0));
        QCOMPARE(menu->FieldByName("ACCESSID")->AsInteger(), 2);
        QVERIFY(menu->Locate("ITEMID", 1, 0));
        QCOMPARE(items->RecordCount(), 1);
        QCOMPARE(items->FieldByName("DLLNAME")->AsString(), QStringLiteral("Orders.so"));
        QVERIFY(menu->Locate("ISGROUP", 1, 0));
        QCOMPARE(items->RecordCount(), 0); // a group has no service
        // While controls are disabled the detail does not follow; it catches up after.
        access->DisableControls();
        access->Locate("ACCESSID", 1, 0);
        QCOMPARE(menu->FieldByName("ACCESSID")->AsInteger(), 2);
        access->EnableControls();
        QCOMPARE(menu->FieldByName("ACCESSID")->AsInteger(), 1);
        // The session lists its data sets by name and closes them when it disconnects.
        QStringList names;
        for (TOraDataSet *ds : s->DataSets())
            names << ds->Name();
        QCOMPARE(names, (QStringList{"V_ACCESS", "V_MENUCFG", "V_SRVITEMS"}));
        s->Disconnect();
        QVERIFY(!access->Active() && !menu->Active() && !items->Active());
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

    void existsLangPack()
    {
        TestServer server;
        auto s = server.Connect();
        QVERIFY(ExistsLangPack(QStringLiteral("ZANDRELL5"), s.get()));
        QVERIFY(ExistsLangPack(QStringLiteral("zandrell5"), s.get()));
        QVERIFY(!ExistsLangPack(QStringLiteral("NOSCHEME"), s.get()));
        QVERIFY(!ExistsLangPack(QString(), s.get()));
        QVERIFY(!ExistsLangPack(QStringLiteral("ZANDRELL5"), nullptr));
        QVERIFY_THROWS_EXCEPTION(EDAError, CreateComLanguages(nullptr, QStringLiteral("NOSCHEME"), s.get()));
        QVERIFY(!ExistsLangPack(QStringLiteral("ZANDRELL5' OR '1'='1"), s.get()));
        QVERIFY_THROWS_EXCEPTION(EDAError, TDbLanguagesDM(nullptr, QStringLiteral("ZANDRELL5.X; --"), s.get()));
        QVERIFY(GetComLanguages() == nullptr);
    }

    void russianUser()
    {
        TestServer server;
        auto s = server.Connect();
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, QStringLiteral("ZANDRELL5"), s.get());
        QCOMPARE(GetComLanguages(), dm);
        QCOMPARE(dm->Connection(), s.get());
        QCOMPARE(dm->GET_USER_APL_LANG_ID(), 25);
        QVERIFY(!dm->IsNecessaryAplTrans());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("rstrServer")), QStringLiteral("Сервер"));
        QCOMPARE(dm->GET_RESOURCE_APL_EN_TXT(QStringLiteral("rstrServer")), QStringLiteral("Server"));
        QVERIFY(dm->UntranslatedTexts.contains(QStringLiteral("Oracle Home")));
        IniResString();
        QCOMPARE(TranslateAplText(QStringLiteral("rstr_msg_UserLocked")), QStringLiteral("Пользователь заблокирован"));
        QCOMPARE(CaseMessageTxt(QStringLiteral("Да"), QStringLiteral("Yes")), QStringLiteral("Да"));
    }

    void englishUser()
    {
        TestServer server;
        auto s = server.Connect(QStringLiteral("OPERATOR"));
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, QStringLiteral("ZANDRELL5"), s.get());
        dm->SET_USER_APL_LANG(9, 0);
        QVERIFY(!s->InTransaction()); // stored and committed
        QCOMPARE(dm->GET_USER_APL_LANG_ID(), 9);
        QVERIFY(dm->IsNecessaryAplTrans());
        QVERIFY(!dm->IsNecessaryRepTrans());
        dm->SET_USER_REP_LANG(9, 0);
        QVERIFY(dm->IsNecessaryRepTrans());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("rstrServer")), QStringLiteral("Server"));
        // An identifier the pack does not know comes back as it is.
        QCOMPARE(dm->GET_RESOURCE_APL_TXT(QStringLiteral("Нет такого")), QStringLiteral("Нет такого"));
        QString text = QStringLiteral("Настройка меню");
        dm->RESOURCE_APL_TXT(text);
        QCOMPARE(text, QStringLiteral("Menu set-up"));
        text = QStringLiteral("Нет перевода");
        dm->RESOURCE_APL_TXT(text);
        QVERIFY(text.isEmpty());
        QCOMPARE(dm->GET_RESOURCE_APL_TXT_OF_FIELD(QStringLiteral("Сервис"), 0, QStringLiteral("x")), QStringLiteral("Service"));
        QCOMPARE(dm->GET_RESOURCE_APL_TXT_OF_FIELD(QStringLiteral("NOFIELD"), 0, QStringLiteral("Default")), QStringLiteral("Default"));

        IniResString();
        QCOMPARE(TranslateAplText(QStringLiteral("rstrServer")), QStringLiteral("Server"));
        QCOMPARE(ResStr(QStringLiteral("rstr_to_Apply")), QStringLiteral("Apply"));
        QCOMPARE(CaseMessageTxt(QStringLiteral("Да"), QStringLiteral("Yes")), QStringLiteral("Yes"));
        // The module goes with its owner, and the texts go back to Russian.
        delete dm;
        QVERIFY(GetComLanguages() == nullptr);
        QCOMPARE(TranslateAplText(QStringLiteral("rstrServer")), QStringLiteral("Сервер"));
    }

    void everyResourceStringIsInThePack()
    {
        TestServer server;
        auto s = server.Connect();
        QObject owner;
        TLanguagesDM *dm = CreateComLanguages(&owner, QStringLiteral("ZANDRELL5"), s.get());
        auto *db = static_cast<TDbLanguagesDM *>(dm);
        for (const QString &id : ResStrIds()) {
            if (ResStrRu(id).isEmpty())
                continue; // an empty built-in text has nothing to store
            QCOMPARE(db->PackText(QStringLiteral("GET_RESOURCE_APL_TXT"), id).toString(), ResStrRu(id));
            QCOMPARE(db->PackText(QStringLiteral("GET_RESOURCE_APL_EN_TXT"), id).toString(), ResStrEn(id));
        }
    }
};

QTEST_MAIN(tst_OraSession)
#include "tst_OraSession.moc"
