// The embedded server: SQL texts (macros, parameters, translation, PL/SQL),
// server-side procedures, transactions, session tables, two processes writing
// at once, password hashes, and faults of Servers.ini, of the server's files
// and folder, and write locks.
#include "DataAccess/DAError.h"
#include "DataAccess/DbWait.h"
#include "DataAccess/OraMacro.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraStoredProc.h"
#include "DataAccess/SqlLexer.h"
#include "EmbeddedServer/PasswordHash.h"
#include "EmbeddedServer/PlsqlBlock.h"
#include "EmbeddedServer/SqlTranslator.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "EmbeddedServer/SqliteConnection.h"
#include "tests/common/ScratchMount.h"
#include "tests/common/TestFiles.h"
#include "tests/common/TestServer.h"
#include "tools/dbbuild/DbBuilder.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int Count(TOraSession *s, const QString &where, const QVariantList &values = {})
{
    return Scalar(s, QStringLiteral("SELECT count(*) FROM ZANDRELL5.") + where, values).toInt();
}

// A column of one row of the menu configuration.
QVariant MenuColumn(TOraSession *s, const char *column, int idCfg)
{
    return Scalar(s, QStringLiteral("SELECT %1 FROM ZANDRELL5.V_MENUCFG WHERE ID_CFG = :I").arg(QLatin1String(column)),
                  {idCfg});
}

struct Menu {
    explicit Menu(TOraSession *s) { pack.SetSession(s), pack.SetPackageName("ZANDRELL5.MENUPACK"); }
    int Call(const QString &name, const QVariantList &values, const char *out = "PID")
    {
        pack.ExecProc(name, values);
        return out ? pack.ParamByName(QString::fromLatin1(out)).AsInteger() : 0;
    }
    TOraPackage pack;
};

// The writer of the two-process test: many small committed inserts.
int RunWriter(const QStringList &args)
{
    SetServersIniPath(args.value(0));
    const int count = args.value(1).toInt();
    const QString tag = args.value(2);
    try {
        const auto s = ConnectTo(QStringLiteral("ZANDRELL"));
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("%1-%2").arg(tag).arg(i);
            s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_ACCESS(:PID, :NAME); END;", {0, name});
            Scalar(s.get(), "SELECT count(*) FROM ZANDRELL5.V_ACCESS");
            s->Commit();
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "writer %s: %s\n", qPrintable(tag), e.what());
        return 1;
    }
}

// The log-in of the file-fault test as another user: the readable cause, or "connected".
int RunConnect(const QStringList &args)
{
    SetServersIniPath(args.value(0));
    try {
        ConnectTo(QStringLiteral("ZANDRELL"));
        std::printf("connected\n");
    } catch (const EDAError &e) {
        std::printf("%s\n", qPrintable(e.Detail().isEmpty() ? e.message() : e.Detail()));
    }
    return 0;
}

// What a statement raises; code 0 when it raises nothing.
EDAError errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const EDAError &e) {
        return e;
    }
    return EDAError(0, QString());
}

// An SQLite connection of another program to a file.
struct ForeignConnection {
    explicit ForeignConnection(const QString &path) { sqlite3_open(QFile::encodeName(path).constData(), &db); }
    ~ForeignConnection() { sqlite3_close(db); }
    bool Exec(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    sqlite3 *db = nullptr;
};

// A hash as the server wrote it before Argon2id.
QString legacyHash(const QString &password, int iterations = 20000)
{
    const QByteArray salt("0123456789abcdef");
    const QByteArray key =
        QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations, 32);
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(key.toBase64()));
}

QString storedHashOf(const TestServer &server, const QString &user)
{
    TSqliteBackend admin;
    admin.OpenAsAdministrator(server.Folder(), false);
    return admin.Connection()
        ->Scalar(QStringLiteral("SELECT PASSWORD_HASH FROM main.ACCOUNTS WHERE USERNAME = ?"), {user})
        .toString();
}

// Connects to the alias; the error it raised (code 0: none).
EDAError connectError(const QString &alias, const QString &user = QStringLiteral("ZL_USER"),
                      const QString &password = QStringLiteral("demo"))
{
    try {
        ConnectTo(alias, user, password);
    } catch (const EDAError &e) {
        return e;
    }
    return EDAError(0, QString());
}

// Records the wait as the user would be told of it; may release the lock meanwhile.
struct RecordingIndicator : TDbWaitIndicator {
    RecordingIndicator() { SetDbWaitIndicator(this); }
    ~RecordingIndicator() override { SetDbWaitIndicator(nullptr); }
    void WaitStarted() override { ++started; }
    void WaitGoesOn(int elapsedMs) override
    {
        longest = qMax(longest, elapsedMs);
        if (release && elapsedMs >= releaseAtMs) {
            release();
            release = nullptr;
        }
    }
    void WaitEnded() override { ++ended; }
    int started = 0;
    int ended = 0;
    int longest = 0;
    int releaseAtMs = 0;
    std::function<void()> release;
};
} // namespace

class tst_SchemeServer : public QObject {
    Q_OBJECT

    std::unique_ptr<TestServer> server;
    std::unique_ptr<TOraSession> s;

private slots:
    void initTestCase() { TestServer::BuildTemplate(); }
    // A fresh copy of the demo database and an administrator's session for each test.
    void init()
    {
        server = std::make_unique<TestServer>();
        s = server->Connect();
    }
    void cleanup()
    {
        s.reset();
        server.reset();
    }

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

    // Macros and parameters of a query: found without regard to case, their values kept when the text grows.
    void queryMacrosAndParameters()
    {
        TOraQuery q;
        q.SetSQLText(QStringLiteral("SELECT &shema.F(:pUser, ':x', :PUSER, :Second) FROM DUAL WHERE A := 1 OR B::int"));
        q.MacroByName(QStringLiteral("Shema")).SetValue(QStringLiteral("S1"));
        QCOMPARE(q.ParamCount(), 2);
        q.ParamByName(QStringLiteral("PUSER")).SetAsString(QStringLiteral("ZL_USER"));
        QCOMPARE(q.ParamByName(QStringLiteral("puser")).AsString(), QStringLiteral("ZL_USER"));
        QVERIFY(q.FindParam(QStringLiteral("x")) == nullptr);
        QVERIFY_THROWS_EXCEPTION(EDAError, q.ParamByName(QStringLiteral("none")));
        q.SQL().append(QStringLiteral("AND C = :third"));
        QCOMPARE(q.ParamCount(), 3);
        QCOMPARE(q.ParamByName(QStringLiteral("pUser")).AsString(), QStringLiteral("ZL_USER"));
        QCOMPARE(q.MacroCount(), 1);
        QVERIFY(q.FinalSQL().startsWith(QStringLiteral("SELECT S1.F(:pUser")));
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
        QCOMPARE(ErrorOf([&] { p.AsInteger(); }), 1722);
        p.SetAsVariant(QVariant());
        QVERIFY(p.IsNull());
    }

    void translatorRewritesPackageFunctionsOnly()
    {
        const QString in =
            QStringLiteral("SELECT SI.*, 0 AS F_SEL,\nnvl(ZANDRELL5.lang_pack.GET_RESOURCE_APL_TXT(SI.SRVNAME), '?' || "
                           "SI.SRVNAME) as TR_SRVNAME\n"
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
        QCOMPARE(TranslateOracleSql(QStringLiteral("UPDATE T SET A = 1 WHERE B = 2")),
                 QStringLiteral("UPDATE T SET A = 1 WHERE B = 2"));
        QCOMPARE(TranslateOracleSql(QStringLiteral("SELECT SYSDATE FROM DUAL MINUS SELECT T.SYSDATE FROM T")),
                 QStringLiteral("SELECT ZSYSDATE() FROM DUAL EXCEPT SELECT T.SYSDATE FROM T"));
        // A session table is the session's own copy wherever it is named; a function of that name is none.
        const QSet<QString> session{QStringLiteral("S.TMP")};
        QCOMPARE(TranslateOracleSql(QStringLiteral("SELECT T.A, S.TMP(1) FROM s.tmp T WHERE EXISTS "
                                                   "(SELECT 1 FROM S.TMP WHERE S.TMP.A = T.A)"),
                                    session),
                 QStringLiteral("SELECT T.A, Z$CALL('S.TMP', 1) FROM temp.\"S.TMP\" T WHERE EXISTS "
                                "(SELECT 1 FROM temp.\"S.TMP\" WHERE temp.\"S.TMP\".A = T.A)"));
        QCOMPARE(TranslateOracleSql(QStringLiteral("INSERT INTO S.TMP (A) VALUES (1)"), session),
                 QStringLiteral("INSERT INTO temp.\"S.TMP\" (A) VALUES (1)"));
    }

    void blocksOfCalls()
    {
        const QList<TPlsqlStep> steps =
            ParsePlsqlBlock(QStringLiteral("BEGIN \r\nZANDRELL5.LANG_PACK.SET_USER_APL_LANG(9, 0); \r\n  :RESULT := "
                                           "S.MENUPACK.GET_MENU_ITEM_RIGHT(:PID_CFG);\n"
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
        const QList<TPlsqlStep> one =
            ParsePlsqlBlock(QStringLiteral("begin TARVEL.lang_pack.SAVE_RUSSIAN_PHRASE(:text,12,''); end;"));
        QCOMPARE(one[0].args[2].expression, QStringLiteral("''"));
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
        const QStringList parts =
            SplitSqlScript(QStringLiteral("-- a; comment\nCREATE TABLE T (A VARCHAR2(10) DEFAULT ';');\n"
                                          "INSERT INTO T VALUES ('x;y');;\n/* ; */ INSERT INTO T VALUES ('z')"));
        QCOMPARE(parts.size(), 3);
        QVERIFY(parts[0].endsWith(QStringLiteral("DEFAULT ';')")));
        QCOMPARE(parts[1], QStringLiteral("INSERT INTO T VALUES ('x;y')"));
        QVERIFY(parts[2].endsWith(QStringLiteral("VALUES ('z')")));
    }

    void menuGroupsAndItems()
    {
        Menu m(s.get());
        const int top = m.Call("INS_MENUGRP", {0, "Верхняя", 0, 2});
        const int topSort = MenuColumn(s.get(), "SORT_ORDER", top).toInt();
        QCOMPARE(topSort,
                 Scalar(s.get(), "SELECT max(SORT_ORDER) FROM ZANDRELL5.V_MENUCFG WHERE ACCESSID = 2 AND OWNER = 0")
                     .toInt());
        QVERIFY(topSort > 20);
        const int sub1 = m.Call("INS_MENUGRP", {0, "Первая", top, 2});
        const int sub2 = m.Call("INS_MENUGRP", {0, "Вторая", top, 2});
        QCOMPARE(MenuColumn(s.get(), "SORT_ORDER", sub1).toInt(), 10);
        QCOMPARE(MenuColumn(s.get(), "SORT_ORDER", sub2).toInt(), 20);
        QCOMPARE(MenuColumn(s.get(), "ISGROUP", sub2).toInt(), 1);
        // A group under a group of another access list, or in a missing list, is refused.
        QCOMPARE(ErrorOf([&] { m.Call("INS_MENUGRP", {0, "X", 1, 2}); }), 20001);
        QCOMPARE(ErrorOf([&] { m.Call("INS_MENUGRP", {0, "X", 0, 999}); }), 2291);
        QCOMPARE(ErrorOf([&] { m.Call("INS_MENUGRP", {0, "", 0, 2}); }), 1400);

        const int item = m.Call("INS_SRVITEM", {0, 0, "TST-S1", "Test.so", "Тест", 0});
        const int entry = m.Call("INS_MENUITEM", {0, sub1, 2, item, "101"});
        QCOMPARE(MenuColumn(s.get(), "ITEMMODE", entry).toString(), QStringLiteral("101"));
        QCOMPARE(ErrorOf([&] { m.Call("INS_MENUITEM", {0, 0, 2, item, "1"}); }), 20001);
        QCOMPARE(ErrorOf([&] { m.Call("INS_MENUITEM", {0, entry, 2, item, "1"}); }), 20001);
        QCOMPARE(ErrorOf([&] { m.Call("INS_MENUITEM", {0, sub1, 2, 9999, "1"}); }), 2291);

        m.Call("UPD_MENU", {sub2, "Переименована"}, nullptr);
        QCOMPARE(MenuColumn(s.get(), "MENUNAME", sub2).toString(), QStringLiteral("Переименована"));
        QCOMPARE(ErrorOf([&] { m.Call("UPD_MENU", {sub2, " "}, nullptr); }), 1400);

        // DEL_MENUITEM deletes one row; a group that still holds entries stays.
        QCOMPARE(ErrorOf([&] { m.Call("DEL_MENUITEM", {top}, nullptr); }), 2292);
        const int before = Count(s.get(), "V_MENUCFG WHERE ACCESSID = 2");
        m.Call("DEL_MENUITEM", {entry}, nullptr);
        m.Call("DEL_MENUITEM", {sub1}, nullptr);
        QCOMPARE(Count(s.get(), "V_MENUCFG WHERE ACCESSID = 2"), before - 2);
        s->Commit();
    }

    void moveItem()
    {
        Menu m(s.get());
        const int a = m.Call("INS_MENUGRP", {0, "A", 0, 2});
        const int a1 = m.Call("INS_MENUGRP", {0, "A1", a, 2});
        const int a2 = m.Call("INS_MENUGRP", {0, "A2", a, 2});
        const int b = m.Call("INS_MENUGRP", {0, "B", 0, 2});
        auto sortOf = [&](int id) { return MenuColumn(s.get(), "SORT_ORDER", id).toInt(); };
        auto ownerOf = [&](int id) { return MenuColumn(s.get(), "OWNER", id).toInt(); };
        // Into B: after its children (none yet).
        m.Call("MOVE_ITEM", {a1, b, 0}, nullptr);
        QCOMPARE(ownerOf(a1), b);
        QCOMPARE(sortOf(a1), 10);
        // Beside a sibling: right after the sibling with that sort order.
        const int b2 = m.Call("INS_MENUGRP", {0, "B2", b, 2});
        QCOMPARE(sortOf(b2), 20);
        m.Call("MOVE_ITEM", {a2, b, 10}, nullptr);
        QCOMPARE(ownerOf(a2), b);
        QVERIFY(sortOf(a1) < sortOf(a2));
        QVERIFY(sortOf(a2) < sortOf(b2));
        // To the top level.
        m.Call("MOVE_ITEM", {a2, 0, 0}, nullptr);
        QCOMPARE(ownerOf(a2), 0);
        // Never into itself or below itself.
        QCOMPARE(ErrorOf([&] { m.Call("MOVE_ITEM", {b, a1, 0}, nullptr); }), 20001);
        QCOMPARE(ErrorOf([&] { m.Call("MOVE_ITEM", {b, b, 0}, nullptr); }), 20001);
        QCOMPARE(ownerOf(b), 0);
        QCOMPARE(ErrorOf([&] { m.Call("MOVE_ITEM", {99999, 0, 0}, nullptr); }), 1403);
    }

    void accessGroups()
    {
        Menu m(s.get());
        const int groups = Count(s.get(), "V_ACCESS");
        const int id = m.Call("INS_ACCESS", {0, "Гости"});
        QCOMPARE(Count(s.get(), "V_ACCESS"), groups + 1);
        m.Call("UPD_ACCESS", {id, "Посетители"}, nullptr);
        QCOMPARE(Scalar(s.get(), "SELECT NAME FROM ZANDRELL5.V_ACCESS WHERE ACCESSID = :I", {id}).toString(),
                 QStringLiteral("Посетители"));
        const int g = m.Call("INS_MENUGRP", {0, "Меню гостей", 0, id});
        m.Call("INS_MENUGRP", {0, "Подменю", g, id});

        // Refused while users are attached: nothing changes.
        const int operatorsMenu = Count(s.get(), "V_MENUCFG WHERE ACCESSID = 2");
        QCOMPARE(ErrorOf([&] { m.Call("DEL_ACCESS_RECURCIVE", {2}, nullptr); }), 2292);
        QCOMPARE(Count(s.get(), "V_ACCESS WHERE ACCESSID = 2"), 1);
        QCOMPARE(Count(s.get(), "V_MENUCFG WHERE ACCESSID = 2"), operatorsMenu);
        // A group without users goes with its whole menu.
        m.Call("DEL_ACCESS_RECURCIVE", {id}, nullptr);
        QCOMPARE(Count(s.get(), "V_ACCESS WHERE ACCESSID = :I", {id}), 0);
        QCOMPARE(Count(s.get(), "V_MENUCFG WHERE ACCESSID = :I", {id}), 0);
        QCOMPARE(ErrorOf([&] { m.Call("DEL_ACCESS_RECURCIVE", {id}, nullptr); }), 1403);
        s->Commit();
    }

    void duplicateAccessCopiesMenuAndRights()
    {
        Menu m(s.get());
        const int item = m.Call("INS_SRVITEM", {0, 1, "TST-S1", "Test.so", "Тест", 0});
        const int sub = m.Call("INS_MENUGRP", {0, "Глубже", 2, 1});
        m.Call("INS_MENUITEM", {0, sub, 1, item, "1011"});
        m.pack.ExecProc("DUBLICATE_ACCESS", {1, "Копия администраторов"});
        const int copy = m.pack.ParamByName("PID").AsInteger();
        QVERIFY(copy > 2);
        QCOMPARE(Scalar(s.get(), "SELECT NAME FROM ZANDRELL5.V_ACCESS WHERE ACCESSID = :I", {copy}).toString(),
                 QStringLiteral("Копия администраторов"));
        // The same tree: names, kinds, rights and order, with owners inside the copy.
        const QString shape = QStringLiteral(
            "SELECT group_concat(X, '|') FROM (SELECT M.ISGROUP || ':' || COALESCE(M.MENUNAME, '') || ':' || "
            "COALESCE(M.ITEMID, '') || ':' "
            "|| COALESCE(M.ITEMMODE, '') || ':' || M.SORT_ORDER || ':' || COALESCE(P.MENUNAME, '-') AS X "
            "FROM ZANDRELL5.V_MENUCFG M LEFT JOIN ZANDRELL5.V_MENUCFG P ON P.ID_CFG = M.OWNER "
            "WHERE M.ACCESSID = :A ORDER BY X)");
        const QString original = Scalar(s.get(), shape, {1}).toString();
        QVERIFY(original.contains(QStringLiteral("0::%1:1011:10:Глубже").arg(item)));
        QCOMPARE(Scalar(s.get(), shape, {copy}).toString(), original);
        QCOMPARE(Count(s.get(),
                       "V_MENUCFG M WHERE M.ACCESSID = :A AND M.OWNER <> 0 AND NOT EXISTS "
                       "(SELECT 1 FROM ZANDRELL5.V_MENUCFG P WHERE P.ID_CFG = M.OWNER AND P.ACCESSID = :B)",
                       {copy, copy}),
                 0);
        QCOMPARE(ErrorOf([&] { m.pack.ExecProc("DUBLICATE_ACCESS", {999, "x"}); }), 1403);
        QCOMPARE(ErrorOf([&] { m.pack.ExecProc("DUBLICATE_ACCESS", {1, ""}); }), 1400);
    }

    // The storekeepers have a three-level menu and no users: deleted without a trace.
    void storekeepersAreDeletedWhole()
    {
        QCOMPARE(Count(s.get(), "v_Sysusers WHERE ACCESSID = 3"), 0);
        QCOMPARE(Count(s.get(),
                       "V_MENUCFG C JOIN ZANDRELL5.V_MENUCFG P ON P.ID_CFG = C.OWNER JOIN ZANDRELL5.V_MENUCFG G "
                       "ON G.ID_CFG = P.OWNER WHERE C.ACCESSID = 3 AND G.OWNER = 0 AND C.ITEMMODE = '110'"),
                 1);
        Menu(s.get()).Call("DEL_ACCESS_RECURCIVE", {3}, nullptr);
        s->Commit();
        QCOMPARE(Count(s.get(), "V_ACCESS WHERE ACCESSID = 3") + Count(s.get(), "V_MENUCFG WHERE ACCESSID = 3"), 0);
    }

    // Two administrators tick rights of one entry: each write is the whole string, the later commit wins.
    void rightsOfOneEntryFromTwoAdministrators()
    {
        auto b = server->Connect();
        Menu(s.get()).Call("UPD_RIGHT", {14, "110"}, nullptr);
        s->Commit();
        Menu(b.get()).Call("UPD_RIGHT", {14, "101"}, nullptr);
        b->Commit();
        QCOMPARE(MenuColumn(s.get(), "ITEMMODE", 14).toString(), QStringLiteral("101"));
    }

    void rightsOfAMenuEntry()
    {
        Menu m(s.get());
        const int item = m.Call("INS_SRVITEM", {0, 0, "TST-S1", "Test.so", "Тест", 1});
        for (int i = 1; i <= 3; ++i)
            m.pack.ExecProc("INS_SRVITEM_MODE", {"TST-S1", i, QStringLiteral("Право %1").arg(i), i % 2});
        const int entry = m.Call("INS_MENUITEM", {0, 2, 1, item, "1"});
        TOraStoredProc sp;
        sp.SetSession(s.get());
        sp.SetStoredProcName("ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT");
        auto rights = [&]() {
            sp.Close();
            sp.ParamByName("PID_CFG").SetAsInteger(entry);
            sp.Open();
            QString out;
            for (sp.First(); !sp.Eof(); sp.Next())
                out += sp.FieldByName("RCHECK")->AsString();
            return out;
        };
        QCOMPARE(rights(), QStringLiteral("---")); // "1": nothing granted
        m.Call("UPD_RIGHT", {entry, "1011"}, nullptr);
        QCOMPARE(rights(), QStringLiteral("-++"));
        m.Call("UPD_RIGHT", {entry, "11"}, nullptr);
        QCOMPARE(rights(), QStringLiteral("+--"));
        sp.First();
        QCOMPARE(sp.FieldByName("NAME")->AsString(), QStringLiteral("Право 1"));
        QCOMPARE(sp.FieldByName("SOURCE_NAME")->AsString(), QStringLiteral("Право 1"));
        QCOMPARE(sp.FieldByName("ISLANG")->AsInteger(), 1);
        // A group and a missing entry have no rights.
        sp.Close();
        sp.ParamByName("PID_CFG").SetAsInteger(2);
        sp.Open();
        QVERIFY(sp.IsEmpty());
        // The rights of all services, as the service selection reads them.
        QCOMPARE(Count(s.get(), "v_srvitems_mode WHERE ITEMID = :I", {item}), 3);
    }

    void serviceCatalogue()
    {
        Menu m(s.get());
        const int services = Count(s.get(), "V_SRVITEMS");
        const int item = m.Call("INS_SRVITEM", {0, 1, "TST-S1", "Test.so", "Тест", 0});
        QCOMPARE(Count(s.get(), "V_SRVITEMS"), services + 1);
        QCOMPARE(ErrorOf([&] { m.Call("INS_SRVITEM", {0, 1, "TST-S1", "Other.so", "Другой", 0}); }), 1);
        m.pack.ExecProc("INS_SRVITEM_MODE", {"TST-S1", 1, "Просмотр", 0});
        m.pack.ExecProc("INS_REPORT_ITEM", {"TST-S1", "R1", "Отчет", "Описание", 0});
        QCOMPARE(ErrorOf([&] { m.pack.ExecProc("INS_SRVITEM_MODE", {"NO-GUID", 1, "x", 0}); }), 1403);
        m.Call("UPD_SRVITEMS", {item, 0}, nullptr);
        QCOMPARE(Scalar(s.get(), "SELECT CREATEBTN FROM ZANDRELL5.V_SRVITEMS WHERE ITEMID = :I", {item}).toInt(), 0);
        QCOMPARE(m.Call("SERVICEEXISTS", {item, 0}, "PITEMID"), 0);
        m.Call("INS_MENUITEM", {0, 2, 1, item, "11"});
        m.Call("INS_MENUITEM", {0, 7, 2, item, "10"});
        QCOMPARE(m.Call("SERVICEEXISTS", {item, 0}, "PITEMID"), 2);
        QCOMPARE(ErrorOf([&] { m.Call("DEL_SRVITEM", {item}, nullptr); }), 2292);
        m.Call("DEL_SRV_FROM_ALL_MNU", {item}, nullptr);
        QCOMPARE(m.Call("SERVICEEXISTS", {item, 0}, "PITEMID"), 0);
        m.Call("DEL_SRVITEM", {item}, nullptr);
        QCOMPARE(Count(s.get(), "V_SRVITEMS"), services);
        QCOMPARE(Count(s.get(), "v_srvitems_mode WHERE ITEMID = :I", {item}), 0);
        s->Commit();
    }

    // A user changes only his own password (the login's forced change is tested with the login); an administrator any.
    void passwordChange()
    {
        auto userSession = server->Connect(QStringLiteral("NEWBIE"));
        TOraPackage emp;
        emp.SetSession(userSession.get());
        emp.SetPackageName("ZANDRELL5.EMPLOYEPACK");
        // One user may not change another'userSession password; an administrator may.
        QCOMPARE(ErrorOf([&] { emp.ExecProc("ALTER_USER", {2, "OPERATOR", "x", 0}); }), 1031);
        QCOMPARE(ErrorOf([&] { emp.ExecProc("ALTER_USER", {4, "OPERATOR", "x", 0}); }), 1403);
        QCOMPARE(ErrorOf([&] { emp.ExecProc("ALTER_USER", {4, "NEWBIE", "", 0}); }), 988);
        auto admin = server->Connect();
        TOraPackage adminEmp;
        adminEmp.SetSession(admin.get());
        adminEmp.SetPackageName("ZANDRELL5.EMPLOYEPACK");
        adminEmp.ExecProc("ALTER_USER", {2, "OPERATOR", "Other2", 0});
        QCOMPARE(adminEmp.ParamByName("PRESULT").AsInteger(), 1);
        admin->Commit();
        QVERIFY(server->Connect(QStringLiteral("OPERATOR"), QStringLiteral("Other2"))->Connected());
        // The statement form does the same.
        QCOMPARE(ErrorOf([&] { userSession->ExecSQL("ALTER USER OPERATOR IDENTIFIED BY x"); }), 1031);
        userSession->ExecSQL("ALTER USER NEWBIE IDENTIFIED BY Third3");
        userSession->Commit();
        QVERIFY(server->Connect(QStringLiteral("NEWBIE"), QStringLiteral("Third3"))->Connected());
    }

    // What the language data module does not reach: the languages view and an unknown language.
    void languagePack()
    {
        auto userSession = server->Connect(QStringLiteral("OPERATOR"));
        // The statement of the login that sets the user'userSession languages.
        userSession->ExecSQL("BEGIN \r\nZANDRELL5.LANG_PACK.SET_USER_APL_LANG(9, 0); "
                             "\r\nZANDRELL5.LANG_PACK.SET_USER_REP_LANG(9, 0); \r\nCOMMIT; \r\nEND;");
        QVERIFY(!userSession->InTransaction());
        QCOMPARE(ErrorOf([&] { userSession->ExecSQL("BEGIN ZANDRELL5.LANG_PACK.SET_USER_APL_LANG(77, 0); END;"); }),
                 20003);
        // The languages view ticks the user'userSession choice; another user still has Russian.
        const QString checked = QStringLiteral("SELECT APL_LANG_CHECKED FROM ZANDRELL5.V_LANGUAGES WHERE LANG_ID = :L");
        QCOMPARE(Scalar(userSession.get(), checked, {9}).toInt(), 1);
        QCOMPARE(Scalar(userSession.get(), checked, {25}).toInt(), 0);
        QCOMPARE(Scalar(server->Connect().get(), checked, {25}).toInt(), 1);
        QCOMPARE(Count(userSession.get(), "LANG_TEXTS WHERE RES_KEY = 'rstr_msg_UserLocked' AND LANG_ID IN (9, 25)"),
                 2);
    }

    // The text function inside a query reads the user's language once per
    // run of the query: the next run of the same statement sees a new choice.
    void textFunctionInAQueryFollowsTheLanguage()
    {
        auto userSession = server->Connect(QStringLiteral("OPERATOR"));
        TOraQuery q;
        q.SetSession(userSession.get());
        q.SetSQLText("SELECT K, nvl(ZANDRELL5.LANG_PACK.GET_RESOURCE_APL_TXT(K), '?' || K) AS TR FROM "
                     "(SELECT 'rstrServer' AS K FROM DUAL UNION ALL SELECT 'Нет такого' FROM DUAL) ORDER BY K");
        auto texts = [&] {
            q.Close();
            q.Open();
            QStringList out;
            for (q.First(); !q.Eof(); q.Next())
                out << q.FieldByName("TR")->AsString();
            return out;
        };
        QCOMPARE(texts(), (QStringList{"Сервер", "?Нет такого"}));
        userSession->ExecSQL("BEGIN ZANDRELL5.LANG_PACK.SET_USER_APL_LANG(9, 0); COMMIT; END;");
        QCOMPARE(texts(), (QStringList{"Server", "?Нет такого"}));
        userSession->ExecSQL("BEGIN ZANDRELL5.LANG_PACK.SET_USER_APL_LANG(25, 0); COMMIT; END;");
        QCOMPARE(texts(), (QStringList{"Сервер", "?Нет такого"}));
    }

    // Statements kept prepared follow changes of the tables they read, made on
    // their own connection or on another; a client never reuses what the server's
    // own procedures may read.
    void preparedStatementsFollowTheSchema()
    {
        TSqliteBackend admin;
        admin.OpenAsAdministrator(server->Folder(), false);
        TSqliteConnection &a = *admin.Connection();
        a.Exec("CREATE TABLE ZANDRELL5.T_KEPT (A INTEGER)");
        a.Exec("INSERT INTO ZANDRELL5.T_KEPT VALUES (1)");
        const QString all = QStringLiteral("SELECT * FROM ZANDRELL5.T_KEPT");
        QCOMPARE(a.Query(all).columns.size(), 1);
        TOraQuery q;
        q.SetSession(s.get());
        q.SetSQLText(all);
        q.Open();
        QCOMPARE(q.FieldCount(), 1);

        a.Exec("ALTER TABLE ZANDRELL5.T_KEPT ADD COLUMN B VARCHAR2(10) DEFAULT 'b' NOT NULL");
        const TResultSet r = a.Query(all);
        QCOMPARE(r.columns.size(), 2);
        QCOMPARE(r.columns[1].name, QStringLiteral("B"));
        QCOMPARE(r.columns[1].size, 10);
        QVERIFY(r.columns[1].required);
        QCOMPARE(r.rows.value(0).value(1).toString(), QStringLiteral("b"));
        q.Close();
        q.Open();
        QCOMPARE(q.FieldCount(), 2);
        QCOMPARE(q.FieldByName("B")->AsString(), QStringLiteral("b"));

        a.Exec("DROP TABLE ZANDRELL5.T_KEPT");
        q.Close();
        QCOMPARE(ErrorOf([&] { q.Open(); }), int(OraErr::TableOrViewMissing));
        a.Exec("CREATE TABLE ZANDRELL5.T_KEPT (C VARCHAR2(5))");
        q.Open();
        QCOMPARE(q.FieldCount(), 1);
        QCOMPARE(q.Fields(0)->FieldName(), QStringLiteral("C"));

        // The same text, prepared for the server itself, stays refused to the client.
        TSqliteConnection c;
        c.Open(server->Folder(), false);
        c.SessionUser = QStringLiteral("ZL_USER");
        const QString accounts = QStringLiteral("SELECT count(*) FROM main.ACCOUNTS");
        {
            TSqliteConnection::InternalScope internal(c);
            QVERIFY(c.Scalar(accounts).toInt() > 0);
        }
        QCOMPARE(ErrorOf([&] { c.Scalar(accounts); }), int(OraErr::TableOrViewMissing));
        // The kept statements are bounded.
        for (int i = 0; i < 3 * TStatementCache::kDefaultCapacity; ++i)
            c.Scalar(QStringLiteral("SELECT %1 FROM DUAL").arg(i));
        QVERIFY(c.CachedStatementCount() <= TStatementCache::kDefaultCapacity);
    }

    void orderLinesAndPhraseCapture()
    {
        TOraPackage tmp;
        tmp.SetSession(s.get());
        tmp.SetPackageName("ZANDRELL5.TEMP_SELECT_PACK");
        tmp.ExecProc("INS_ORDER_LINES_REPORT", {"{GUID}", "sqLines", "AAAB"});
        tmp.ExecProc("INS_ORDER_LINES_REPORT", {"{GUID}", "sqLines", "AAAB"});
        QCOMPARE(Count(s.get(), "TEMP_ORDER_LINES_REPORT WHERE ROWID_QUERY = 'AAAB'"), 1);
        tmp.ExecProc("DEL_ORDER_LINES_REPORT", {"{GUID}", "sqLines", "AAAB"});
        QCOMPARE(Count(s.get(), "TEMP_ORDER_LINES_REPORT"), 0);

        // The statements of the language-pack capture, as written: a project, a form, its phrases once each.
        QVERIFY(!Scalar(s.get(), "SELECT id_dpr FROM tarvel.dpr WHERE NAME = 'KorConsole.dpr'").isValid());
        const QString dpr =
            Scalar(s.get(), "SELECT (NVL(MAX(id_dpr), 0) + 1) as dpr_id_next FROM tarvel.dpr").toString();
        QCOMPARE(dpr, QStringLiteral("1"));
        s->ExecSQL("INSERT INTO tarvel.dpr (id_dpr, name) VALUES(" + dpr + ", 'KorConsole.dpr')");
        const QString dfm =
            Scalar(s.get(), "SELECT (NVL(MAX(id_dfm), 0) + 1) as dfm_id_next FROM tarvel.dfm").toString();
        s->ExecSQL("INSERT INTO tarvel.dfm (fk_dpr, name, id_dfm,  is_translit) VALUES(" + dpr + ", 'TMenuConfig', " +
                   dfm + ", 0)");
        for (const char *text : {"Настройка меню", "Закрыть", "Настройка меню"})
            s->ExecSQL("begin TARVEL.lang_pack.SAVE_RUSSIAN_PHRASE(:text," + dfm + ",''); end;",
                       {QString::fromUtf8(text)});
        s->ExecSQL("UPDATE TARVEL.DFM t SET t.IS_TRANSLIT = 1 WHERE t.ID_DFM = " + dfm);
        s->Commit();
        QCOMPARE(Scalar(s.get(), "SELECT count(*) FROM TARVEL.RUSSIAN_PHRASES WHERE ID_DFM = :D", {dfm}).toInt(), 2);
        QCOMPARE(Scalar(s.get(), "SELECT IS_TRANSLIT FROM TARVEL.DFM WHERE ID_DFM = :D", {dfm}).toInt(), 1);
        QCOMPARE(ErrorOf([&] { s->ExecSQL("begin TARVEL.lang_pack.SAVE_RUSSIAN_PHRASE('x', 999, ''); end;"); }), 2291);
    }

    void failedBlockLeavesNothing()
    {
        const int groups = Count(s.get(), "V_ACCESS");
        // The second call fails: the first one's change goes too.
        QCOMPARE(ErrorOf([&] {
                     s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_ACCESS(:PID, 'Новая'); "
                                "ZANDRELL5.MENUPACK.DEL_ACCESS_RECURCIVE(2); END;",
                                {0});
                 }),
                 2292);
        QCOMPARE(Count(s.get(), "V_ACCESS"), groups);
        QVERIFY(!s->InTransaction());
        // Earlier uncommitted work of the session stays.
        s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_ACCESS(:PID, 'Первая'); END;", {0});
        QCOMPARE(ErrorOf([&] { s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.UPD_ACCESS(1, ''); END;"); }), 1400);
        QCOMPARE(Count(s.get(), "V_ACCESS"), groups + 1);
        QVERIFY(s->InTransaction());
        s->Rollback();
        QCOMPARE(Count(s.get(), "V_ACCESS"), groups);
    }

    void changesAreSeenAfterCommitOnly()
    {
        auto a = server->Connect();
        auto b = server->Connect(QStringLiteral("OPERATOR"));
        const int groups = Count(b.get(), "V_ACCESS");
        a->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_ACCESS(:PID, 'Невидимая'); END;", {0});
        QVERIFY(a->InTransaction());
        QCOMPARE(Count(a.get(), "V_ACCESS"), groups + 1);
        QCOMPARE(Count(b.get(), "V_ACCESS"), groups);
        a->Commit();
        QVERIFY(!a->InTransaction());
        QCOMPARE(Count(b.get(), "V_ACCESS"), groups + 1);
        // A rolled back change is never seen; disconnecting drops uncommitted work.
        a->ExecSQL("UPDATE ZANDRELL5.SYSUSER SET NAME = 'x' WHERE ID = 2");
        a->Rollback();
        QCOMPARE(Scalar(b.get(), "SELECT NAME FROM ZANDRELL5.v_Sysusers WHERE ID = 2").toString(),
                 QStringLiteral("Оператор"));
        a->ExecSQL("UPDATE ZANDRELL5.SYSUSER SET NAME = 'y' WHERE ID = 2");
        a->Disconnect();
        QCOMPARE(Scalar(b.get(), "SELECT NAME FROM ZANDRELL5.v_Sysusers WHERE ID = 2").toString(),
                 QStringLiteral("Оператор"));
        // Read-only procedures take no write lock: another session writes meanwhile.
        auto c = server->Connect();
        TOraStoredProc cfg;
        cfg.SetSession(c.get());
        cfg.SetStoredProcName("ZANDRELL5.GET_CURRCONFIG");
        cfg.ExecProc();
        QVERIFY(!c->InTransaction());
        b->ExecSQL("BEGIN ZANDRELL5.LANG_PACK.SET_USER_APL_LANG(9, 0); COMMIT; END;");
    }

    void twoProcessesWriteAtOnce()
    {
        const int groups = Count(s.get(), "V_ACCESS");
        constexpr int kEach = 25;
        QList<QProcess *> writers;
        for (const char *tag : {"P1", "P2"}) {
            auto *p = new QProcess(this);
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(),
                     {"--writer", server->IniPath(), QString::number(kEach), QString::fromLatin1(tag)});
            QVERIFY(p->waitForStarted());
            writers << p;
        }
        // This process writes too, at the same time.
        QCOMPARE(RunWriter({server->IniPath(), QString::number(kEach), "P0"}), 0);
        for (QProcess *p : writers) {
            QVERIFY(p->waitForFinished(120000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }
        QCOMPARE(Count(s.get(), "V_ACCESS"), groups + 3 * kEach);
        for (const char *tag : {"P0", "P1", "P2"})
            QCOMPARE(Count(s.get(), "V_ACCESS WHERE NAME LIKE :T", {QString::fromLatin1(tag) + "-%"}), kEach);
        QCOMPARE(Scalar(s.get(), "SELECT count(DISTINCT ACCESSID) FROM ZANDRELL5.V_ACCESS").toInt(),
                 groups + 3 * kEach);
        qDeleteAll(writers);
    }

    void storedHashes_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("needsRehash");
        const QString current = HashPassword(QStringLiteral("Secret 1"));
        QTest::newRow("Argon2id, right password") << current << "Secret 1" << true << false;
        QTest::newRow("Argon2id, wrong password") << current << "secret 1" << false << false;
        QTest::newRow("Argon2id of a lower cost")
            << QString::fromLatin1("$argon2id$v=19$m=8192,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$"
                                   "7UR5UiJN6dqGeVDuL0xgbdqBtzrf1LvWEukJxB5fb3k")
            << "x" << false << true;
        QTest::newRow("PBKDF2, right password") << legacyHash(QStringLiteral("Secret 1")) << "Secret 1" << true << true;
        QTest::newRow("PBKDF2, wrong password")
            << legacyHash(QStringLiteral("Secret 1")) << "Secret 2" << false << true;
        QTest::newRow("PBKDF2 without iterations")
            << legacyHash(QStringLiteral("x")).replace("$20000$", "$0$") << "x" << false << true;
        QTest::newRow("empty") << QString() << "x" << false << true;
        QTest::newRow("garbage") << "not a hash at all"
                                 << "x" << false << true;
        // Cut inside its salt: the form itself is broken (a hash cut inside its last field may still parse).
        QTest::newRow("Argon2id cut short") << current.left(current.size() - 50) << "Secret 1" << false << true;
        // A damaged cost must not make a log-in take a gigabyte or minutes.
        QTest::newRow("Argon2id asking 4 GiB")
            << QString(current).replace("m=19456", "m=4194304") << "Secret 1" << false << true;
        QTest::newRow("Argon2id asking 1000 passes")
            << QString(current).replace("t=2", "t=1000") << "Secret 1" << false << true;
    }
    void storedHashes()
    {
        QFETCH(QString, stored);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        QFETCH(bool, needsRehash);
        QCOMPARE(VerifyPassword(password, stored), accepted);
        QCOMPARE(PasswordNeedsRehash(stored), needsRehash);
    }

    void olderHashIsReplacedAtTheNextLogin()
    {
        const TestServer &other = *this->server;
        const QString legacy = legacyHash(QStringLiteral("demo"));
        {
            TSqliteBackend admin;
            admin.OpenAsAdministrator(other.Folder(), false);
            admin.Connection()->Exec(QStringLiteral("UPDATE main.ACCOUNTS SET PASSWORD_HASH = ? WHERE USERNAME = ?"),
                                     {legacy, QStringLiteral("OPERATOR")});
        }
        // A wrong password changes nothing.
        QCOMPARE(
            connectError(QStringLiteral("ZANDRELL"), QStringLiteral("OPERATOR"), QStringLiteral("typo")).ErrorCode(),
            1017);
        QCOMPARE(storedHashOf(other, QStringLiteral("OPERATOR")), legacy);
        QCOMPARE(
            connectError(QStringLiteral("ZANDRELL"), QStringLiteral("OPERATOR"), QStringLiteral("demo")).ErrorCode(),
            0);
        // New hashes are Argon2id of the current cost, with a salt of their own each time.
        const QString replaced = storedHashOf(other, QStringLiteral("OPERATOR"));
        static const QRegularExpression form(
            QStringLiteral("^\\$argon2id\\$v=19\\$m=19456,t=2,p=1\\$[A-Za-z0-9+/]{22}\\$[A-Za-z0-9+/]{43}$"));
        QVERIFY2(form.match(replaced).hasMatch(), qPrintable(replaced));
        QVERIFY(HashPassword(QStringLiteral("demo")) != replaced);
        QVERIFY(VerifyPassword(QStringLiteral("demo"), replaced));
        // The next log-in verifies the new hash and leaves it as it is.
        QCOMPARE(
            connectError(QStringLiteral("ZANDRELL"), QStringLiteral("OPERATOR"), QStringLiteral("demo")).ErrorCode(),
            0);
        QCOMPARE(storedHashOf(other, QStringLiteral("OPERATOR")), replaced);
    }

    void serverListFaults_data()
    {
        QTest::addColumn<QByteArray>("serversIni"); // "<none>": no file
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("detail"); // %1: the path of Servers.ini
        QTest::newRow("missing") << QByteArray("<none>") << "ZANDRELL"
                                 << "The server list \"%1\" is not found";
        QTest::newRow("binary junk") << QByteArray("\x7f"
                                                   "ELF\x02\x01\x00\x00garbage",
                                                   14)
                                     << "ZANDRELL"
                                     << "The server list \"%1\" is damaged (line 1)";
        QTest::newRow("cut in a section name") << QByteArray("[ZANDRELL]\nPath=Db/ZANDRELL\n[PRO") << "ZANDRELL"
                                               << "The server list \"%1\" is damaged (line 3)";
        QTest::newRow("unknown alias") << QByteArray("[ZANDRELL]\nPath=Db/ZANDRELL\n") << "NOWHERE"
                                       << "Server \"NOWHERE\" is not described in \"%1\"";
        QTest::newRow("unknown backend") << QByteArray("[ODD]\nBackend=postgres\nPath=Db/ZANDRELL\n") << "odd"
                                         << "Server \"ODD\" in \"%1\": unknown backend \"postgres\"";
        QTest::newRow("no database path")
            << QByteArray("; the path was forgotten\n[ZANDRELL]\nBackend=sqlite\n") << "ZANDRELL"
            << "Server \"ZANDRELL\" in \"%1\": no database path (Path) is given";
    }
    void serverListFaults()
    {
        QFETCH(QByteArray, serversIni);
        QFETCH(QString, alias);
        QFETCH(QString, detail);
        QFile::remove(server->IniPath());
        if (serversIni != "<none>") {
            QFile f(server->IniPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(serversIni);
        }
        const EDAError e = connectError(alias);
        // Every fault of the name's resolution is ORA-12154, as on Oracle.
        QCOMPARE(e.ErrorCode(), 12154);
        QCOMPARE(e.Detail(), detail.arg(server->IniPath()));
        QVERIFY2(e.message().contains(e.Detail()), qPrintable(e.message()));
    }

    void accountsDatabaseFaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("text"); // %1: the file
        const QString damaged = QStringLiteral("The accounts database \"%1\" is damaged");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("The database file \"%1\" is empty");
        QTest::newRow("garbage") << QByteArray(4096, '\xA5') << damaged;
        QTest::newRow("cut after its header") << QByteArray("SQLite format 3\0", 16) << damaged;
        QTemporaryDir dir;
        ForeignConnection(dir.filePath(QStringLiteral("notes.db"))).Exec("CREATE TABLE NOTES (TXT TEXT)");
        QTest::newRow("another program's database")
            << ReadBytes(dir.filePath(QStringLiteral("notes.db")))
            << QStringLiteral("The file \"%1\" is no accounts database of this server: it has no table ACCOUNTS");
    }
    void accountsDatabaseFaults()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        const QString accounts = server->Folder() + QStringLiteral("/accounts.db");
        QFile::remove(accounts);
        for (const char *suffix : {"-wal", "-shm"})
            QFile::remove(accounts + QLatin1String(suffix));
        {
            QFile f(accounts);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            const EDAError e = connectError(QStringLiteral("ZANDRELL"));
            QCOMPARE(e.ErrorCode(), 1157);
            QCOMPARE(e.Detail(), text.arg(accounts));
        }
        // Reported, never made anew nor switched to another journal mode: the file is as it was.
        QCOMPARE(ReadBytes(accounts), content);
    }

    // An installation whose path is longer than the database library takes says so, and why.
    void serverFolderWhosePathIsTooLong()
    {
        QTemporaryDir base;
        QString folder = base.path();
        while (QFile::encodeName(folder).size() < 600)
            folder += QStringLiteral("/a_rather_long_folder_name");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(
            QFile::copy(server->Folder() + QStringLiteral("/accounts.db"), folder + QStringLiteral("/accounts.db")));
        TSqliteConnection connection;
        try {
            connection.Open(folder, false);
            QFAIL("a server folder of 600 bytes was opened");
        } catch (const EDAError &e) {
            QCOMPARE(e.ErrorCode(), 1157);
            QVERIFY2(e.Detail().contains(folder) && e.Detail().contains(QStringLiteral(" 504 ")),
                     qPrintable(e.Detail()));
        }
    }

    // A deleted row's id is never given again, so a stale call cannot reach a newer row.
    void idsNeverRepeat_data()
    {
        QTest::addColumn<QString>("insert");
        QTest::addColumn<QString>("remove");
        QTest::newRow("menu group") << u"INS_MENUGRP"_s << u"DEL_MENUITEM"_s;
        QTest::newRow("access group") << u"INS_ACCESS"_s << u"DEL_ACCESS_RECURCIVE"_s;
        QTest::newRow("service") << u"INS_SRVITEM"_s << u"DEL_SRVITEM"_s;
    }
    void idsNeverRepeat()
    {
        QFETCH(QString, insert);
        QFETCH(QString, remove);
        Menu m(s.get());
        int n = 0;
        auto add = [&] {
            const QString name = QStringLiteral("N%1").arg(++n);
            if (insert == QLatin1String("INS_MENUGRP"))
                return m.Call(insert, {0, name, 0, 2});
            if (insert == QLatin1String("INS_ACCESS"))
                return m.Call(insert, {0, name});
            return m.Call(insert, {0, 0, name, "Seq.so", "Seq", 0});
        };
        const int first = add();
        m.Call(remove, {first}, nullptr);
        s->Commit();
        const int second = add();
        QVERIFY(second > first);
        m.Call(remove, {second}, nullptr);
        s->Commit();
        auto later = server->Connect(); // also over a new session, after the highest id went
        m.pack.SetSession(later.get());
        QVERIFY(add() > second);
    }

    // The rows of a copied menu take ids of their own that never come back either.
    void copiedMenuIdsNeverReturn()
    {
        Menu m(s.get());
        const int copy = m.Call("DUBLICATE_ACCESS", {1, "Копия"});
        const int highest =
            Scalar(s.get(), "SELECT max(ID_CFG) FROM ZANDRELL5.V_MENUCFG WHERE ACCESSID = :A", {copy}).toInt();
        m.Call("DEL_ACCESS_RECURCIVE", {copy}, nullptr);
        s->Commit();
        QVERIFY(m.Call("INS_MENUGRP", {0, "После копии", 0, 1}) > highest);
    }

    // Identifiers longer than their columns are refused whole: a cut GUID or
    // file name names another service or no file. A GUID is known whatever its case.
    void identifiersThatDoNotFitAreRefused_data()
    {
        QTest::addColumn<QString>("guid");
        QTest::addColumn<QString>("dll");
        QTest::addColumn<QString>("rguid");
        QTest::addColumn<int>("error");
        const QString g50 = QStringLiteral("{%1}").arg(QString(48, QLatin1Char('A')));
        const QString d50 = QString(47, QLatin1Char('m')) + QStringLiteral(".so");
        QTest::newRow("all at 50") << g50 << d50 << g50 << 0;
        QTest::newRow("GUID of 51") << g50 + QLatin1Char('B') << u"a.so"_s << u"R"_s << 12899;
        QTest::newRow("file name of 51") << "{G}" << QLatin1Char('x') + d50 << u"R"_s << 12899;
        QTest::newRow("report id of 51") << "{G}" << u"a.so"_s << g50 + QLatin1Char('B') << 12899;
        QTest::newRow("a registered GUID in lower case") << "" << u"a.so"_s << u"R"_s << 1;
    }
    void identifiersThatDoNotFitAreRefused()
    {
        QFETCH(QString, guid);
        QFETCH(QString, dll);
        QFETCH(QString, rguid);
        QFETCH(int, error);
        Menu m(s.get());
        if (guid.isEmpty())
            guid = Scalar(s.get(), "SELECT min(GUID) FROM ZANDRELL5.V_SRVITEMS").toString().toLower();
        QCOMPARE(ErrorOf([&] {
                     m.Call("INS_SRVITEM", {0, 0, guid, dll, "Имя", 0});
                     m.pack.ExecProc("INS_REPORT_ITEM", {guid, rguid, "Отчет", "", 0});
                 }),
                 error);
        if (error)
            s->Rollback();
        QCOMPARE(Count(s.get(), "V_SRVITEMS WHERE upper(GUID) = upper(:G)", {guid}), error == 12899 ? 0 : 1);
        QCOMPARE(Count(s.get(), "V_SRVITEMS WHERE DLLNAME = :D", {dll}), error ? 0 : 1);
        QCOMPARE(Count(s.get(), "REPORT_ITEMS WHERE RGUID = :R", {rguid}), error ? 0 : 1);
    }

    // A service is once in a menu; another access group may hold it, and after leaving it may come back.
    void aMenuHoldsAServiceOnce()
    {
        Menu m(s.get());
        const int item = m.Call("INS_SRVITEM", {0, 0, "TST-ONCE", "Test.so", "Тест", 0});
        const int first = m.Call("INS_MENUITEM", {0, 1, 1, item, "1"});
        QCOMPARE(ErrorOf([&] { m.Call("INS_MENUITEM", {0, 4, 1, item, "1"}); }), 1);
        m.Call("INS_MENUITEM", {0, 6, 2, item, "1"});
        m.Call("DEL_MENUITEM", {first}, nullptr);
        m.Call("INS_MENUITEM", {0, 4, 1, item, "1"});
        QCOMPARE(Count(s.get(), "V_MENUCFG WHERE ItemID = :I", {item}), 2);
    }

    // A drop into a group (sort order 0) puts the entry after the group's children.
    void dropIntoAGroupAttachesLast()
    {
        Menu m(s.get());
        const int stock = m.Call("INS_MENUGRP", {0, "Склад", 0, 1});
        m.Call("MOVE_ITEM", {stock, 1, 0}, nullptr);
        QCOMPARE(
            Scalar(s.get(), "SELECT ID_CFG FROM ZANDRELL5.V_MENUCFG WHERE OWNER = 1 ORDER BY SORT_ORDER DESC").toInt(),
            stock);
        QCOMPARE(Count(s.get(), "V_MENUCFG WHERE OWNER = 1"), 3);
    }

    // Two administrators: each call is checked against what the other committed
    // meanwhile, and a stale one is refused and changes nothing. args: values,
    // g and h the menu groups, entry the service's entry in g, item the service.
    void staleCallsOfAnotherAdministrator_data()
    {
        // meanwhile: group: g deleted; service: deleted; move: g into h; access: group 3 deleted
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("args");
        QTest::addColumn<int>("error");
        QTest::newRow("move into the deleted group") << "group" << u"MOVE_ITEM"_s << u"h,g,0"_s << 1403;
        QTest::newRow("move the deleted group") << "group" << u"MOVE_ITEM"_s << u"g,h,0"_s << 1403;
        QTest::newRow("rename the deleted group") << "group" << u"UPD_MENU"_s << u"g,X"_s << 1403;
        QTest::newRow("delete the deleted group") << "group" << u"DEL_MENUITEM"_s << u"g"_s << 1403;
        QTest::newRow("group in the deleted group") << "group" << u"INS_MENUGRP"_s << u"0,X,g,1"_s << 1403;
        QTest::newRow("service in the deleted group") << "group" << u"INS_MENUITEM"_s << u"0,g,1,item,1"_s << 1403;
        QTest::newRow("rights of a deleted entry") << "group" << u"UPD_RIGHT"_s << u"entry,11"_s << 1403;
        QTest::newRow("cycle with the other's move") << "move" << u"MOVE_ITEM"_s << u"h,g,0"_s << 20001;
        QTest::newRow("button of a deleted service") << "service" << u"UPD_SRVITEMS"_s << u"item,1"_s << 1403;
        QTest::newRow("delete a deleted service") << "service" << u"DEL_SRVITEM"_s << u"item"_s << 1403;
        QTest::newRow("menu of a deleted access group") << "access" << u"INS_MENUGRP"_s << u"0,Новое,0,3"_s << 2291;
        QTest::newRow("rename a deleted access group") << "access" << u"UPD_ACCESS"_s << u"3,Новое"_s << 2291;
        QTest::newRow("copy a deleted access group") << "access" << u"DUBLICATE_ACCESS"_s << u"3,Копия,0"_s << 1403;
        QTest::newRow("delete a deleted access group") << "access" << u"DEL_ACCESS_RECURCIVE"_s << u"3"_s << 1403;
    }
    void staleCallsOfAnotherAdministrator()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, call);
        QFETCH(QString, args);
        QFETCH(int, error);
        auto other = server->Connect();
        Menu a(s.get()), b(other.get());
        const int item = a.Call("INS_SRVITEM", {0, 0, "TST-STALE", "Test.so", "Тест", 0});
        const int g = a.Call("INS_MENUGRP", {0, "G", 0, 1});
        const int h = a.Call("INS_MENUGRP", {0, "H", 0, 1});
        const int entry = a.Call("INS_MENUITEM", {0, g, 1, item, "1"});
        s->Commit();
        if (meanwhile == QLatin1String("move"))
            b.Call("MOVE_ITEM", {g, h, 0}, nullptr);
        else if (meanwhile == QLatin1String("access"))
            b.Call("DEL_ACCESS_RECURCIVE", {3}, nullptr);
        else
            b.Call("DEL_MENUITEM", {entry}, nullptr);
        if (meanwhile == QLatin1String("service"))
            b.Call("DEL_SRVITEM", {item}, nullptr);
        else if (meanwhile == QLatin1String("group"))
            b.Call("DEL_MENUITEM", {g}, nullptr);
        other->Commit();
        // The other administrator's new group never takes a freed id.
        const int fresh = b.Call("INS_MENUGRP", {0, "New", 0, 1});
        other->Commit();
        QVERIFY(fresh != g && fresh != entry);
        const QHash<QString, QVariant> names{{"g", g}, {"h", h}, {"entry", entry}, {"item", item}};
        QVariantList values;
        for (const QString &arg : args.split(QLatin1Char(','))) {
            bool number = false;
            const int n = arg.toInt(&number);
            values << (number ? QVariant(n) : names.value(arg, arg));
        }
        const int groups = Count(s.get(), "V_ACCESS"), rows = Count(s.get(), "V_MENUCFG");
        QCOMPARE(ErrorOf([&] { a.pack.ExecProc(call, values); }), error);
        s->Commit();
        QCOMPARE(Count(s.get(), "V_ACCESS"), groups);
        QCOMPARE(Count(s.get(), "V_MENUCFG"), rows);
        QCOMPARE(Count(s.get(), "V_MENUCFG M WHERE M.OWNER <> 0 AND NOT EXISTS "
                                "(SELECT 1 FROM ZANDRELL5.V_MENUCFG P WHERE P.ID_CFG = M.OWNER AND P.IsGroup = 1)"),
                 0);
        QVERIFY(MenuColumn(s.get(), "OWNER", h).toInt() != g || MenuColumn(s.get(), "OWNER", g).toInt() != h);
    }

    // Names reach the tables as bound values, whatever they hold. A menu name is
    // cut to 50 without splitting a character (inMenu; empty: refused with
    // ORA-01400); an access group's name of more than 100 characters is refused whole.
    void hostileNamesAreBound_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("inMenu");
        QTest::addColumn<int>("accessError");
        const QString a49(49, QLatin1Char('a')), smile = QStringLiteral("\U0001F600");
        const QString quotes = u"O'Brien \"x\"'') --"_s, format = u"%s %d %1 &shema.V_ACCESS &"_s;
        const QString statement = u"x'); DELETE FROM ZANDRELL5.MENUCFG; --"_s;
        QTest::newRow("quotes") << quotes << quotes << 0;
        QTest::newRow("statement") << statement << statement << 0;
        QTest::newRow("; DELETE") << u"; DELETE"_s << u"; DELETE"_s << 0;
        QTest::newRow("format and macro") << format << format << 0;
        QTest::newRow("50 characters") << a49 + 'b' << a49 + 'b' << 0;
        QTest::newRow("51 characters") << a49 + "bc" << a49 + 'b' << 0;
        QTest::newRow("pair split at 50") << a49 + smile << a49 << 0;
        QTest::newRow("pair within 50") << a49.left(48) + smile << a49.left(48) + smile << 0;
        QTest::newRow("100 characters") << QString(100, QChar(u'Я')) << QString(50, QChar(u'Я')) << 0;
        QTest::newRow("101 characters") << QString(101, QChar(u'Я')) << QString(50, QChar(u'Я')) << 12899;
        QTest::newRow("pair as the 100th character") << a49 + a49 + 'a' + smile << a49 + 'a' << 0;
        QTest::newRow("pair as the 101st character") << a49 + a49 + "aa" + smile << a49 + 'a' << 12899;
        QTest::newRow("blank") << " \t " << u""_s << 1400;
    }
    void hostileNamesAreBound()
    {
        QFETCH(QString, name);
        QFETCH(QString, inMenu);
        QFETCH(int, accessError);
        Menu m(s.get());
        const int menuError = inMenu.isEmpty() ? 1400 : 0;
        const int renamed = m.Call("INS_MENUGRP", {0, "Переименуемая", 0, 1});
        QCOMPARE(ErrorOf([&] { m.Call("UPD_MENU", {renamed, name}, nullptr); }), menuError);
        QCOMPARE(MenuColumn(s.get(), "MENUNAME", renamed).toString(), menuError ? "Переименуемая" : inMenu);
        int id = 0;
        QCOMPARE(ErrorOf([&] { id = m.Call("INS_MENUGRP", {0, name, 0, 1}); }), menuError);
        QCOMPARE(MenuColumn(s.get(), "MENUNAME", id).toString(), menuError ? QString() : inMenu);
        // Access groups: inserted, renamed and copied.
        const int groups = Count(s.get(), "V_ACCESS");
        QCOMPARE(ErrorOf([&] { m.pack.ExecProc("INS_ACCESS", {0, name}); }), accessError);
        QCOMPARE(ErrorOf([&] { m.pack.ExecProc("UPD_ACCESS", {3, name}); }), accessError);
        QCOMPARE(ErrorOf([&] { m.pack.ExecProc("DUBLICATE_ACCESS", {3, name, 0}); }), accessError);
        QCOMPARE(Count(s.get(), "V_ACCESS"), groups + (accessError ? 0 : 2));
        QCOMPARE(Count(s.get(), "V_ACCESS WHERE NAME = :N", {name}), accessError ? 0 : 3);
        s->Commit();
    }

    // What one session leaves uncommitted stops no other session's log-in or
    // reads: its ticks are its own and lock nothing; its change of a scheme
    // makes only a second writer of that scheme wait the lock wait.
    void uncommittedWorkBlocksNoOne_data()
    {
        QTest::addColumn<QString>("left"); // what the first session runs and does not commit
        QTest::addColumn<QString>("locked");
        QTest::newRow("a ticked order line")
            << "BEGIN ZANDRELL5.TEMP_SELECT_PACK.INS_ORDER_LINES_REPORT('{G}', 'sqLines', 'L1'); END;"
            << "";
        QTest::newRow("a change of the scheme") << "UPDATE ZANDRELL5.SYSUSER SET NAME = 'x' WHERE ID = 2"
                                                << "ZANDRELL5";
        QTest::newRow("a capture of phrases") << "UPDATE TARVEL.DPR SET NAME = NAME"
                                              << "TARVEL";
    }
    void uncommittedWorkBlocksNoOne()
    {
        QFETCH(QString, left);
        QFETCH(QString, locked);
        s->ExecSQL(left);
        QCOMPARE(s->InTransaction(), !locked.isEmpty());
        const int usual = TSqliteConnection::BusyTimeoutMs();
        TSqliteConnection::SetBusyTimeoutMs(300);
        RecordingIndicator indicator;
        // Another console logs in, reads its configuration and sets its language without a wait.
        auto other = server->Connect(QStringLiteral("OPERATOR"));
        other->ExecSQL("BEGIN ZANDRELL5.LANG_PACK.SET_USER_APL_LANG(25, 0); "
                       "ZANDRELL5.LANG_PACK.SET_USER_REP_LANG(25, 0); COMMIT; END;");
        TOraStoredProc config;
        config.SetSession(other.get());
        config.SetStoredProcName("ZANDRELL5.GET_CURRCONFIG");
        config.ExecProc();
        QVERIFY(Count(other.get(), "V_MENUCFG") > 0);
        QCOMPARE(Count(other.get(), "TEMP_ORDER_LINES_REPORT"), 0);
        QCOMPARE(indicator.started, 0);
        // A writer of the locked scheme is told after the lock wait; the other scheme takes changes at once.
        for (const QString &scheme : {QStringLiteral("ZANDRELL5"), QStringLiteral("TARVEL")}) {
            const EDAError e = errorOf([&] {
                other->ExecSQL(scheme == QLatin1String("TARVEL") ? "UPDATE TARVEL.DFM SET NAME = NAME"
                                                                 : "UPDATE ZANDRELL5.SYSUSER SET NAME = NAME");
                other->Commit();
            });
            QCOMPARE(e.ErrorCode(), scheme == locked ? 54 : 0);
            QCOMPARE(e.message().contains(u'"' + scheme + u'"'), scheme == locked);
        }
        TSqliteConnection::SetBusyTimeoutMs(usual);
        if (locked.isEmpty()) {
            // The ticks are the session's own and end with it.
            QCOMPARE(Count(s.get(), "TEMP_ORDER_LINES_REPORT WHERE LOGIN = 'ZL_USER'"), 1);
            s = server->Connect();
            QCOMPARE(Count(s.get(), "TEMP_ORDER_LINES_REPORT"), 0);
        }
    }

    // Only the server's administrator declares a session table, named with its
    // scheme and keeping its rows for the session.
    void sessionTableDeclarations_data()
    {
        QTest::addColumn<QString>("declaration");
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<int>("error");
        const char *const columns = " (ID NUMBER(9) PRIMARY KEY, TXT VARCHAR2(20))";
        QTest::newRow("declared") << u"CREATE GLOBAL TEMPORARY TABLE ZANDRELL5.TMP%1 ON COMMIT PRESERVE ROWS"_s.arg(
                                         QLatin1String(columns))
                                  << true << 0;
        QTest::newRow("by a user") << u"CREATE GLOBAL TEMPORARY TABLE ZANDRELL5.TMP%1 ON COMMIT PRESERVE ROWS"_s.arg(
                                          QLatin1String(columns))
                                   << false << 1031;
        QTest::newRow("rows gone at commit")
            << u"CREATE GLOBAL TEMPORARY TABLE ZANDRELL5.TMP%1 ON COMMIT DELETE ROWS"_s.arg(QLatin1String(columns))
            << true << 922;
        QTest::newRow("no scheme") << u"CREATE GLOBAL TEMPORARY TABLE TMP%1 ON COMMIT PRESERVE ROWS"_s.arg(
                                          QLatin1String(columns))
                                   << true << 922;
        QTest::newRow("name of a table") << u"CREATE GLOBAL TEMPORARY TABLE ZANDRELL5.SYSUSER%1 ON COMMIT PRESERVE "
                                            "ROWS"_s.arg(QLatin1String(columns))
                                         << true << 955;
    }
    void sessionTableDeclarations()
    {
        QFETCH(QString, declaration);
        QFETCH(bool, administrator);
        QFETCH(int, error);
        TSqliteBackend admin;
        admin.OpenAsAdministrator(server->Folder(), false);
        TOraParams none;
        QCOMPARE(ErrorOf([&] {
                     if (administrator)
                         admin.Execute(declaration, none);
                     else
                         s->ExecSQL(declaration);
                 }),
                 error);
        admin.Commit();
        if (error)
            return;
        // Every later session has its own copy, empty at first.
        auto a = server->Connect();
        auto b = server->Connect(QStringLiteral("OPERATOR"));
        a->ExecSQL("INSERT INTO ZANDRELL5.TMP (ID, TXT) VALUES (1, 'a')");
        QVERIFY(!a->InTransaction());
        QCOMPARE(Count(a.get(), "TMP"), 1);
        QCOMPARE(Count(b.get(), "TMP"), 0);
        QCOMPARE(Count(b.get(), "V_ACCESS"), Count(a.get(), "V_ACCESS"));
        QCOMPARE(
            Scalar(a.get(), "SELECT OBJECT_TYPE FROM ALL_OBJECTS WHERE OWNER = 'ZANDRELL5' AND OBJECT_NAME = 'TMP'")
                .toString(),
            u"TABLE"_s);
    }

    // A scheme file the server cannot offer is left as it was and named with
    // its cause; the log-in and the other schemes go on.
    void schemeFilesLeftOut_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("why"); // %1: the file
        QTest::newRow("empty") << "ZANDRELL5"
                               << "empty"
                               << "The database file \"%1\" is empty";
        QTest::newRow("damaged") << "TARVEL"
                                 << "garbage"
                                 << "The database file \"%1\" is damaged";
        QTest::newRow("another program's")
            << "TARVEL"
            << "foreign"
            << "The file \"%1\" is no scheme of this server: it has no table SERVER_OBJECTS";
        QTest::newRow("locked by another program") << "TARVEL"
                                                   << "locked"
                                                   << "The database file \"%1\" is locked by another program";
    }
    void schemeFilesLeftOut()
    {
        QFETCH(QString, scheme);
        QFETCH(QString, change);
        QFETCH(QString, why);
        s.reset(); // no session holds the files
        const QString path = server->Folder() + u'/' + scheme + u".db"_s;
        std::unique_ptr<ForeignConnection> other;
        if (change == QLatin1String("foreign")) {
            QVERIFY(QFile::remove(path));
            other = std::make_unique<ForeignConnection>(path);
            QVERIFY(other->Exec("CREATE TABLE NOTES (TXT TEXT); INSERT INTO NOTES VALUES ('of another program')"));
            other.reset();
        } else if (change == QLatin1String("locked")) {
            other = std::make_unique<ForeignConnection>(path);
            QVERIFY(other->Exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; "
                                "UPDATE SERVER_OBJECTS SET OBJECT_TYPE = OBJECT_TYPE"));
        } else {
            WriteBytes(path, change == QLatin1String("empty") ? QByteArray() : QByteArray(4096, '\xA5'));
        }
        const QByteArray before = ReadBytes(path);
        auto session = server->Connect();
        const QString text = why.arg(path);
        QCOMPARE(session->SchemeFault(scheme), text);
        const EDAError e =
            errorOf([&] { Scalar(session.get(), u"SELECT count(*) FROM %1.SERVER_OBJECTS"_s.arg(scheme)); });
        QCOMPARE(e.ErrorCode(), 1157);
        QCOMPARE(e.Detail(), text);
        const QString another = scheme == QLatin1String("TARVEL") ? u"ZANDRELL5"_s : u"TARVEL"_s;
        QVERIFY(Scalar(session.get(), u"SELECT count(*) FROM %1.SERVER_OBJECTS"_s.arg(another)).toInt() > 0);
        QCOMPARE(session->SchemeFault(another), QString());
        session.reset();
        other.reset();
        // Never made a database, never switched to another journal mode.
        QCOMPARE(ReadBytes(path), before);
    }

    // A full disk, a read-only file system and a user who may not write the
    // server's folder are told as such, not as a damaged database.
    void serverFolderFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("text"); // %1: the server folder
        QTest::newRow("full disk") << "full"
                                   << "The disk of the folder \"%1\" is full";
        QTest::newRow("read-only file system") << "read-only"
                                               << "The folder \"%1\" is on a read-only file system";
        QTest::newRow("an ordinary user, the server root's")
            << "nobody"
            << "The user \"nobody\" may not write to \"%1\" (owner root)";
    }
    void serverFolderFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, text);
        if (geteuid() != 0)
            QSKIP("a mount of its own and another user need root");
        s.reset();
        ScratchMount disk;
        if (!disk.Mount(2048))
            QSKIP("no file system can be mounted here");
        const QString folder = disk.filePath(u"Db/ZANDRELL"_s);
        QVERIFY(QDir().mkpath(folder));
        for (const QString &f : QDir(server->Folder()).entryList(QDir::Files))
            QVERIFY(QFile::copy(server->Folder() + u'/' + f, folder + u'/' + f));
        const QString ini = disk.filePath(u"Servers.ini"_s);
        WriteServerAlias(ini, u"ZANDRELL"_s, u"Db/ZANDRELL"_s);
        if (fault == QLatin1String("full")) {
            QFile filler(disk.filePath(u"filler"_s));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(4096, '\0');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        } else if (fault == QLatin1String("read-only")) {
            QVERIFY(disk.MakeReadOnly());
        }
        QProcess child;
        const QStringList args{u"--connect"_s, ini};
        if (fault == QLatin1String("nobody"))
            child.start(u"runuser"_s,
                        QStringList{u"-u"_s, u"nobody"_s, u"--"_s, QCoreApplication::applicationFilePath()} + args);
        else
            child.start(QCoreApplication::applicationFilePath(), args);
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed(), text.arg(folder));
    }

    void writeLockOfAnotherConnection_data()
    {
        QTest::addColumn<int>("releaseAtMs"); // -1: never
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("pastTwoSeconds");
        QTest::newRow("released soon") << 300 << 0 << false;
        QTest::newRow("released after two seconds") << 2200 << 0 << true;
        QTest::newRow("never released") << -1 << 54 << true;
    }
    void writeLockOfAnotherConnection()
    {
        QFETCH(int, releaseAtMs);
        QFETCH(int, error);
        QFETCH(bool, pastTwoSeconds);
        TSqliteBackend holder;
        TSqliteBackend waiter;
        holder.OpenAsAdministrator(server->Folder(), false);
        waiter.OpenAsAdministrator(server->Folder(), false);
        holder.Connection()->BeginWrite(QStringLiteral("ZANDRELL5"));
        const int usual = TSqliteConnection::BusyTimeoutMs();
        TSqliteConnection::SetBusyTimeoutMs(3000);
        RecordingIndicator indicator;
        indicator.releaseAtMs = releaseAtMs;
        if (releaseAtMs >= 0)
            indicator.release = [&holder] { holder.Connection()->Commit(); };
        const EDAError e = errorOf([&] { waiter.Connection()->BeginWrite(QStringLiteral("ZANDRELL5")); });
        TSqliteConnection::SetBusyTimeoutMs(usual);
        QCOMPARE(e.ErrorCode(), error);
        // The lock wait ends in a message that names the scheme.
        if (error)
            QCOMPARE(e.message(), QStringLiteral("ORA-00054: Another session is changing the scheme \"ZANDRELL5\" and "
                                                 "has not saved its changes yet; try again later"));
        QCOMPARE(waiter.Connection()->InTransaction(), error == 0);
        // One wait, told from its start to its end, however it ended.
        QCOMPARE(indicator.started, 1);
        QCOMPARE(indicator.ended, 1);
        QCOMPARE(indicator.longest >= 2000, pastTwoSeconds);
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 2 && args[1] == QLatin1String("--writer"))
        return RunWriter(args.mid(2));
    if (args.size() >= 2 && args[1] == QLatin1String("--connect"))
        return RunConnect(args.mid(2));
    tst_SchemeServer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SchemeServer.moc"
