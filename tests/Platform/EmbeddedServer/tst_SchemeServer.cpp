// The embedded server: SQL texts (macros, parameters, translation, PL/SQL),
// server-side procedures, transactions, session tables, two processes writing
// at once, password hashes, and faults of Servers.ini, of the server's files
// and folder, and write locks.
#include "Core/IniFile.h"
#include "DataAccess/DAError.h"
#include "DataAccess/DbWait.h"
#include "DataAccess/OraMacro.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraStoredProc.h"
#include "DataAccess/PlsqlBlock.h"
#include "DataAccess/SqlLexer.h"
#include "EmbeddedServer/PasswordHash.h"
#include "EmbeddedServer/SqlTranslator.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "EmbeddedServer/SqliteConnection.h"
#include "PostgresServer/PgErrors.h"
#include "PostgresServer/PgTranslator.h"
#include "PostgresServer/PostgresBackend.h"
#include "tests/common/ScratchMount.h"
#include "tests/common/TestFiles.h"
#include "tests/common/TestServer.h"
#include "tools/dbbuild/DbBuilder.h"
#include "tools/pgbuild/PgSchemeInstaller.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int Count(TOraSession *s, const QString &where, const QVariantList &values = {})
{
    return Scalar(s, u"SELECT count(*) FROM ZANDRELL5."_s + where, values).toInt();
}

// The first column of every row the query gives, as texts.
QStringList FirstColumn(TOraSession *s, const QString &sql, const QVariantList &values = {})
{
    TOraQuery q;
    q.SetSession(s);
    q.SetSQLText(sql);
    for (int i = 0; i < values.size(); ++i)
        q.Params()[i].SetAsVariant(values[i]);
    q.Open();
    QStringList out;
    for (q.First(); !q.Eof(); q.Next())
        out << q.Fields(0)->AsString();
    return out;
}

// A column of one row of the menu configuration.
QVariant MenuColumn(TOraSession *s, const char *column, int idCfg)
{
    return Scalar(s, u"SELECT %1 FROM ZANDRELL5.V_MENUCFG WHERE ID_CFG = :I"_s.arg(QLatin1String(column)), {idCfg});
}

// Every row of the menus and the catalogue as one text: what a refused call leaves as it was.
QString MenuTables(TOraSession *s)
{
    QStringList tables;
    for (const char *rows :
         {"SELECT ACCESSID || ':' || NAME FROM ZANDRELL5.ACCESSLIST ORDER BY ACCESSID",
          "SELECT ID_CFG || ':' || ACCESSID || ':' || OWNER || ':' || MENUNAME || ':' || ITEMMODE || ':' || "
          "SORT_ORDER FROM ZANDRELL5.MENUCFG ORDER BY ID_CFG",
          "SELECT ITEMID || ':' || CREATEBTN || ':' || SRVNAME FROM ZANDRELL5.SRVITEMS ORDER BY ITEMID",
          "SELECT count(*) FROM ZANDRELL5.SRVITEMS_MODE", "SELECT count(*) FROM ZANDRELL5.REPORT_ITEMS"})
        tables << FirstColumn(s, QString::fromLatin1(rows)).join(QLatin1Char('|'));
    return tables.join(QLatin1Char('/'));
}

// A call's Oracle number (0: none) once the caller committed, and whether the reader sees the menus changed.
QString Outcome(TOraSession *reader, TOraSession *caller, const std::function<void()> &call)
{
    const QString before = MenuTables(reader);
    const int error = ErrorOf(call);
    caller->Commit();
    return QString::number(error) + (MenuTables(reader) == before ? "" : ", menus changed");
}

struct Menu {
    explicit Menu(TOraSession *s) { pack.SetSession(s), pack.SetPackageName("ZANDRELL5.MENUPACK"); }
    int Call(const QString &name, const QVariantList &values, const char *out = "PID")
    {
        pack.ExecProc(name, values);
        return out ? pack.ParamByName(QString::fromLatin1(out)).AsInteger() : 0;
    }
    // A service of the test, in no menu yet, committed.
    int NewService()
    {
        const int item = Call("INS_SRVITEM", {0, 0, "{TST}", "Test.so", "Тест", 0});
        pack.Session()->Commit();
        return item;
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
        const auto s = ConnectTo(u"ZANDRELL"_s);
        for (int i = 0; i < count; ++i) {
            const QString name = u"%1-%2"_s.arg(tag).arg(i);
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
        ConnectTo(u"ZANDRELL"_s);
        std::printf("connected\n");
    } catch (const EDAError &e) {
        std::printf("%s\n", qPrintable(e.Detail().isEmpty() ? e.message() : e.Detail()));
    }
    return 0;
}

// A stored procedure of the session.
std::unique_ptr<TOraStoredProc> Proc(TOraSession *s, const char *name)
{
    auto proc = std::make_unique<TOraStoredProc>();
    proc->SetSession(s);
    proc->SetStoredProcName(QString::fromLatin1(name));
    return proc;
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
    return u"pbkdf2-sha256$%1$%2$%3"_s.arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(key.toBase64()));
}

// Connects to the alias; the error it raised (code 0: none).
EDAError connectError(const QString &alias, const QString &user = u"ZL_USER"_s, const QString &password = u"demo"_s)
{
    return errorOf([&] { ConnectTo(alias, user, password); });
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
    int started = 0, ended = 0, longest = 0, releaseAtMs = 0;
    std::function<void()> release;
};
// Whether this process holds a lock on the file, as another process sees it:
// asked from a child, since closing a descriptor of our own would drop the locks.
bool LockedByThisProcess(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(name.constData(), O_RDWR);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        const bool locked =
            fd >= 0 && ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK && probe.l_pid == parent;
        ::_exit(locked ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

// A test of the embedded server's own files, folder or locks: none of them is there on PostgreSQL.
#define SKIP_ON_POSTGRES(what)                                                                                         \
    if (TestServer::OnPostgres())                                                                                      \
    QSKIP("the embedded server's " what)

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

    // Macros are found outside literals and comments, parameters too; both without regard to case,
    // parameter values kept when the text grows.
    void macrosAndParameters()
    {
        const QString sql =
            u"SELECT '&notamacro' FROM &shema.V_ACCESS -- &comment\nWHERE X = &Shema.F(1) &ORDER &FIELD"_s;
        QCOMPARE(TMacros::NamesIn(sql), (QStringList{"shema", "ORDER", "FIELD"}));
        TMacros m;
        m.ParseFrom(sql);
        m.MacroByName(u"SHEMA"_s).SetValue(u"ZANDRELL5"_s);
        m.MacroByName(u"order"_s).SetValue(u"ORDER BY"_s);
        m.MacroByName(u"field"_s).SetValue(u"NAME"_s);
        QCOMPARE(m.Expand(sql),
                 u"SELECT '&notamacro' FROM ZANDRELL5.V_ACCESS -- &comment\nWHERE X = ZANDRELL5.F(1) ORDER BY NAME"_s);
        m.MacroByName(u"ORDER"_s).SetActive(false);
        m.MacroByName(u"FIELD"_s).SetActive(false);
        QVERIFY(m.Expand(sql).endsWith(u"F(1)  "_s));
        QVERIFY_THROWS_EXCEPTION(Exception, m.MacroByName(u"missing"_s));

        TOraQuery q;
        q.SetSQLText(u"SELECT &shema.F(:pUser, ':x', :PUSER, :Second) FROM DUAL WHERE A := 1 OR B::int"_s);
        q.MacroByName(u"Shema"_s).SetValue(u"S1"_s);
        QCOMPARE(q.ParamCount(), 2);
        q.ParamByName(u"PUSER"_s).SetAsString(u"ZL_USER"_s);
        QVERIFY(q.FindParam(u"x"_s) == nullptr);
        QVERIFY_THROWS_EXCEPTION(EDAError, q.ParamByName(u"none"_s));
        q.SQL().append(u"AND C = :third"_s);
        QCOMPARE(q.ParamCount(), 3);
        QCOMPARE(q.ParamByName(u"pUser"_s).AsString(), u"ZL_USER"_s);
        QVERIFY(q.FinalSQL().startsWith(u"SELECT S1.F(:pUser"_s));
        // A parameter's text read as a number rounds, or is no number.
        TOraParam &p = q.ParamByName(u"third"_s);
        p.SetAsString(u"7.6"_s);
        QCOMPARE(p.AsInteger(), 8);
        p.SetAsString(u"abc"_s);
        QCOMPARE(ErrorOf([&] { p.AsInteger(); }), 1722);
        // A session that may not connect refuses the query.
        TOraSession idle;
        idle.Options().NeverConnect = true;
        q.SetSession(&idle);
        QCOMPARE(ErrorOf([&] { q.Open(); }), 1012);
    }

    // The embedded server's rewrite of Oracle SQL: package functions, "||" chains, the alias of an
    // UPDATE's or DELETE's one table, SYSDATE and MINUS, and the session table S.TMP.
    void translationForTheEmbeddedServer_data()
    {
        QTest::addColumn<QString>("oracle");
        QTest::addColumn<QString>("sqlite");
        const char *const rows[][3] = {
            {"package function",
             "SELECT nvl(ZANDRELL5.lang_pack.GET_RESOURCE_APL_TXT(SI.SRVNAME), '?' || SI.SRVNAME) "
             "FROM V SI ORDER BY 'a.b.c(' ;",
             "SELECT nvl(Z$CALL('ZANDRELL5.LANG_PACK.GET_RESOURCE_APL_TXT', SI.SRVNAME), Z$CONCAT('?', SI.SRVNAME)) "
             "FROM V SI ORDER BY 'a.b.c(' "},
            {"function without arguments", "select S.PACK.F() from dual", "select Z$CALL('S.PACK.F') from dual"},
            {"table before its columns", "INSERT INTO tarvel.dpr (id_dpr, name) VALUES(1, 'x')",
             "INSERT INTO tarvel.dpr (id_dpr, name) VALUES(1, 'x')"},
            {"|| of plain operands", "SELECT A.X || '-' || F(B, C) || (1 + 2) || :P FROM T A",
             "SELECT Z$CONCAT(A.X, '-', F(B, C), (1 + 2), :P) FROM T A"},
            {"|| next to arithmetic", "SELECT 1 + 2 || 'x', 'a' || 'b' FROM DUAL",
             "SELECT 1 + 2 || 'x', Z$CONCAT('a', 'b') FROM DUAL"},
            {"alias of UPDATE", "UPDATE TARVEL.DFM t SET t.IS_TRANSLIT = 1 WHERE t.ID_DFM = 5",
             "UPDATE TARVEL.DFM SET IS_TRANSLIT = 1 WHERE ID_DFM = 5"},
            {"alias of DELETE", "DELETE FROM T AS x WHERE x.A = 'x.A'", "DELETE FROM T WHERE A = 'x.A'"},
            {"SYSDATE, MINUS", "SELECT SYSDATE FROM DUAL MINUS SELECT T.SYSDATE FROM T",
             "SELECT ZSYSDATE() FROM DUAL EXCEPT SELECT T.SYSDATE FROM T"},
            {"session table, and a function of its name",
             "SELECT T.A, S.TMP(1) FROM s.tmp T WHERE EXISTS (SELECT 1 FROM S.TMP WHERE S.TMP.A = T.A)",
             "SELECT T.A, Z$CALL('S.TMP', 1) FROM temp.\"S.TMP\" T WHERE EXISTS "
             "(SELECT 1 FROM temp.\"S.TMP\" WHERE temp.\"S.TMP\".A = T.A)"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromLatin1(row[1]) << QString::fromLatin1(row[2]);
    }
    void translationForTheEmbeddedServer()
    {
        QFETCH(QString, oracle);
        QFETCH(QString, sqlite);
        QCOMPARE(TranslateOracleSql(oracle, {u"S.TMP"_s}), sqlite);
    }

    // The console's Oracle SQL as PostgreSQL with orafce takes it (package functions and session
    // tables are met by the scenarios below).
    void translationForPostgres_data()
    {
        QTest::addColumn<QString>("oracle");
        QTest::addColumn<QString>("postgres");
        const auto row = [](const char *name, const char *oracle, const char *postgres) {
            QTest::newRow(name) << QString::fromLatin1(oracle) << QString::fromLatin1(postgres);
        };
        row("one number per parameter", "SELECT :A, :b, :a FROM DUAL", "SELECT $1, $2, $1 FROM DUAL");
        row("SYSDATE, MINUS", "SELECT SYSDATE FROM DUAL MINUS SELECT T.SYSDATE FROM T",
            "SELECT LOCALTIMESTAMP(0) FROM DUAL EXCEPT SELECT T.SYSDATE FROM T");
        row("empty text, quoted name", "SELECT \"ZANDRELL5\".X, 'it''s' FROM T WHERE A = ''",
            "SELECT \"zandrell5\".X, 'it''s' FROM T WHERE A = NULL");
        row("sub-query without alias", "SELECT K FROM (SELECT 1 AS K FROM DUAL) ORDER BY K",
            "SELECT K FROM (SELECT 1 AS K FROM DUAL) zsub1 ORDER BY K");
        row("sub-query with alias", "SELECT K FROM (SELECT 1 AS K FROM DUAL) Q",
            "SELECT K FROM (SELECT 1 AS K FROM DUAL) Q");
        row("alias of the one table", "UPDATE TARVEL.DFM t SET t.IS_TRANSLIT = 1 WHERE t.ID_DFM = :ID",
            "UPDATE TARVEL.DFM SET IS_TRANSLIT = 1 WHERE ID_DFM = $1");
        row("TO_CHAR of NULL", "SELECT TO_CHAR(NULL) FROM DUAL", "SELECT CAST(NULL AS varchar) FROM DUAL");
        row("a literal keeps its text", "SELECT 'NVL(:X) || SYSDATE' FROM DUAL",
            "SELECT 'NVL(:X) || SYSDATE' FROM DUAL");
    }
    void translationForPostgres()
    {
        QFETCH(QString, oracle);
        QFETCH(QString, postgres);
        QCOMPARE(TranslateForPostgres(oracle).sql, postgres);
    }

    // Oracle's account statements as role statements; a password is a quoted literal whatever it holds.
    void accountStatementsForPostgres_data()
    {
        QTest::addColumn<QString>("oracle");
        QTest::addColumn<QString>("postgres"); // "ORA-n": refused with that number
        QTest::newRow("new password") << u"ALTER USER Newbie IDENTIFIED BY \"it's\""_s
                                      << u"ALTER ROLE \"newbie\" PASSWORD 'it''s'"_s;
        QTest::newRow("new account") << u"CREATE USER X IDENTIFIED BY p ACCOUNT LOCK"_s
                                     << u"CREATE ROLE \"x\" PASSWORD 'p' NOLOGIN"_s;
        QTest::newRow("drop") << u"DROP USER X"_s << u"DROP ROLE \"x\""_s;
        QTest::newRow("empty password") << u"ALTER USER X IDENTIFIED BY \"\""_s << u"ORA-988"_s;
        QTest::newRow("unknown option") << u"ALTER USER X QUOTA 5M"_s << u"ORA-922"_s;
        QTest::newRow("no account statement") << u"ALTER TABLE X ADD Y NUMBER"_s << u""_s;
    }
    void accountStatementsForPostgres()
    {
        QFETCH(QString, oracle);
        QFETCH(QString, postgres);
        QString out;
        const int error = ErrorOf([&] { out = PgAccountStatement(oracle); });
        QCOMPARE(error ? u"ORA-%1"_s.arg(error) : out, postgres);
    }

    // The server's errors as the Oracle numbers the console knows, where the scenarios below meet
    // none: a foreign key's two faults share one SQLSTATE, and a log-in that reaches no server.
    void errorNumbersOfPostgres_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("code");
        const auto row = [](const char *name, const char *state, const char *message, int code) {
            QTest::newRow(name) << QString::fromLatin1(state) << QString::fromLatin1(message) << code;
        };
        row("missing parent", "23503", "insert or update on table violates foreign key constraint", 2291);
        row("child rows", "23503",
            "update or delete on table \"a\" violates foreign key: Key (x)=(1) is still referenced", 2292);
        row("no server on the socket", "", "connect failed: No such file or directory", 12541);
        row("unknown host", "", "could not translate host name \"x\" to address", 12545);
    }
    void errorNumbersOfPostgres()
    {
        QFETCH(QString, state);
        QFETCH(QString, message);
        QFETCH(int, code);
        QCOMPARE(OracleCodeOfPgError(state, PgPrimaryMessage(message)), code);
    }

    void blocksBeyondTheServerAreRefused_data()
    {
        QTest::addColumn<QString>("block");
        QTest::newRow("declare") << u"DECLARE x NUMBER; BEGIN NULL; END;"_s;
        QTest::newRow("if") << u"BEGIN IF 1 = 1 THEN NULL; END IF; END;"_s;
        QTest::newRow("no end") << u"BEGIN P.X(1);"_s;
        QTest::newRow("named args") << u"BEGIN P.X(A => 1); END;"_s;
    }
    void blocksBeyondTheServerAreRefused()
    {
        QFETCH(QString, block);
        const EDAError e = errorOf([&] { ParsePlsqlBlock(block); });
        QCOMPARE(e.ErrorCode(), 6550);
    }

    void scriptsSplitAtStatementEnds()
    {
        const QStringList parts =
            SplitSqlScript(QStringLiteral("-- a; comment\nCREATE TABLE T (A VARCHAR2(10) DEFAULT ';');\n"
                                          "INSERT INTO T VALUES ('x;y');;\n/* ; */ INSERT INTO T VALUES ('z')"));
        QCOMPARE(parts.size(), 3);
        QVERIFY(parts[0].endsWith(u"DEFAULT ';')"_s));
        QCOMPARE(parts[1], u"INSERT INTO T VALUES ('x;y')"_s);
        QVERIFY(parts[2].endsWith(u"VALUES ('z')"_s));
    }

    // A new node goes last among its siblings; a move into a group puts the
    // node after the group's children, a move beside a sibling right after it.
    void newAndMovedNodesTakeTheirPlace()
    {
        Menu m(s.get());
        auto sortOf = [&](int id) { return MenuColumn(s.get(), "SORT_ORDER", id).toInt(); };
        auto ownerOf = [&](int id) { return MenuColumn(s.get(), "OWNER", id).toInt(); };
        const int a = m.Call("INS_MENUGRP", {0, "A", 0, 2});
        QVERIFY(sortOf(a) > sortOf(8)); // after the operators' last top-level group
        const int a1 = m.Call("INS_MENUGRP", {0, "A1", a, 2});
        const int a2 = m.Call("INS_MENUGRP", {0, "A2", a, 2});
        QCOMPARE(sortOf(a1), 10);
        QCOMPARE(sortOf(a2), 20);
        const int b = m.Call("INS_MENUGRP", {0, "B", 0, 2});
        const int b1 = m.Call("INS_MENUGRP", {0, "B1", b, 2});
        m.Call("MOVE_ITEM", {a1, b, 0}, nullptr);
        QCOMPARE(ownerOf(a1), b);
        QVERIFY(sortOf(a1) > sortOf(b1));
        m.Call("MOVE_ITEM", {a2, b, sortOf(b1)}, nullptr);
        QCOMPARE(ownerOf(a2), b);
        QVERIFY(sortOf(b1) < sortOf(a2) && sortOf(a2) < sortOf(a1));
        // To the top level, called with the three arguments of the older signature.
        s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.MOVE_ITEM(:I, 0, 0); END;", {a2});
        QCOMPARE(ownerOf(a2), 0);
    }

    // Calls the menu package refuses, with the Oracle number of each; no row
    // changes. -1 stands for a service made for the test, in no menu yet.
    void refusedMenuCalls_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<int>("error");
        const auto row = [](const char *name, const char *call, const QVariantList &args, int error) {
            QTest::newRow(name) << QString::fromLatin1(call) << args << error;
        };
        row("group under another access group's group", "INS_MENUGRP", {0, "X", 1, 2}, 20001);
        row("service on the root", "INS_MENUITEM", {0, 0, 1, -1, "1"}, 20001);
        row("missing service", "INS_MENUITEM", {0, 1, 1, 9999, "1"}, 2291);
        row("a service twice in one menu", "INS_MENUITEM", {0, 4, 1, 1, "1"}, 1);
        row("delete a group that holds rows", "DEL_MENUITEM", {1}, 2292);
        row("move a group into its own branch", "MOVE_ITEM", {1, 2, 0}, 20001);
        row("move a group into itself", "MOVE_ITEM", {4, 4, 0}, 20001);
        row("move a missing row", "MOVE_ITEM", {99999, 0, 0}, 1403);
        row("delete an access group with users", "DEL_ACCESS_RECURCIVE", {2}, 2292);
        row("right of an unknown service", "INS_SRVITEM_MODE", {"NO-GUID", 1, "x", 0}, 1403);
        row("delete a service still in menus", "DEL_SRVITEM", {1}, 2292);
        row("blank group name", "UPD_MENU", {4, " \t "}, 1400);
        row("a registered GUID in lower case", "INS_SRVITEM",
            {0, 0, "{5b0c2a61-7d3e-4f1a-9a40-0d5e1c2b7a01}", "a.so", "N", 0}, 1);
    }
    void refusedMenuCalls()
    {
        QFETCH(QString, call);
        QFETCH(QVariantList, args);
        QFETCH(int, error);
        Menu m(s.get());
        std::replace(args.begin(), args.end(), QVariant(-1), QVariant(m.NewService()));
        QCOMPARE(Outcome(s.get(), s.get(), [&] { m.pack.ExecProc(call, args); }), QString::number(error));
    }

    void duplicateAccessCopiesMenuAndRights()
    {
        Menu m(s.get());
        const int item = m.Call("INS_SRVITEM", {0, 1, "TST-S1", "Test.so", "Тест", 0});
        const int sub = m.Call("INS_MENUGRP", {0, "Глубже", 2, 1});
        m.Call("INS_MENUITEM", {0, sub, 1, item, "1011"});
        const int copy = m.Call("DUBLICATE_ACCESS", {1, "Копия администраторов"});
        // The same tree: names, kinds, rights and order, with owners inside the copy.
        const auto shape = [&](int access) {
            QStringList rows =
                FirstColumn(s.get(),
                            "SELECT M.ISGROUP || ':' || M.MENUNAME || ':' || M.ITEMID || ':' || M.ITEMMODE || ':' || "
                            "M.SORT_ORDER || ':' || NVL(P.MENUNAME, '-') AS X FROM ZANDRELL5.V_MENUCFG M "
                            "LEFT JOIN ZANDRELL5.V_MENUCFG P ON P.ID_CFG = M.OWNER WHERE M.ACCESSID = :A",
                            {access});
            rows.sort();
            return rows;
        };
        const QStringList original = shape(1);
        QVERIFY(original.contains(u"0::%1:1011:10:Глубже"_s.arg(item)));
        QCOMPARE(shape(copy), original);
        QCOMPARE(Count(s.get(),
                       "V_MENUCFG M WHERE M.ACCESSID = :A AND M.OWNER <> 0 AND NOT EXISTS "
                       "(SELECT 1 FROM ZANDRELL5.V_MENUCFG P WHERE P.ID_CFG = M.OWNER AND P.ACCESSID = :B)",
                       {copy, copy}),
                 0);
    }

    void rightsOfAMenuEntry()
    {
        Menu m(s.get());
        const int item = m.Call("INS_SRVITEM", {0, 0, "TST-S1", "Test.so", "Тест", 1});
        for (int i = 1; i <= 3; ++i)
            m.pack.ExecProc("INS_SRVITEM_MODE", {"TST-S1", i, u"Право %1"_s.arg(i), i % 2});
        const int entry = m.Call("INS_MENUITEM", {0, 2, 1, item, "1"});
        const auto sp = Proc(s.get(), "ZANDRELL5.MENUPACK.GET_MENU_ITEM_RIGHT");
        auto rights = [&](int id) {
            sp->Close();
            sp->ParamByName("PID_CFG").SetAsInteger(id);
            sp->Open();
            QString out;
            for (sp->First(); !sp->Eof(); sp->Next())
                out += sp->FieldByName("RCHECK")->AsString();
            return out;
        };
        QCOMPARE(rights(entry), u"---"_s); // "1": nothing granted
        m.Call("UPD_RIGHT", {entry, "1011"}, nullptr);
        QCOMPARE(rights(entry), u"-++"_s);
        m.Call("UPD_RIGHT", {entry, "11"}, nullptr);
        QCOMPARE(rights(entry), u"+--"_s);
        QCOMPARE(rights(2), QString()); // a group has no rights
    }

    // How many menus hold a service, and its way out of all of them.
    void serviceLeavesEveryMenu()
    {
        Menu m(s.get());
        QCOMPARE(m.Call("SERVICEEXISTS", {3, 0}, "PITEMID"), 3);
        m.Call("DEL_SRV_FROM_ALL_MNU", {3}, nullptr);
        QCOMPARE(m.Call("SERVICEEXISTS", {3, 0}, "PITEMID"), 0);
    }

    // Every way a log-in ends, with the Oracle number the console turns into its text and what
    // its message names.
    void logInOutcomes_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("named");
        const auto row = [](const char *name, const char *alias, const char *user, const char *password, int error,
                            const char *named = "") {
            QTest::newRow(name) << QString::fromLatin1(alias) << QString::fromLatin1(user)
                                << QString::fromLatin1(password) << error << QString::fromLatin1(named);
        };
        row("administrator", "ZANDRELL", "ZL_USER", "demo", 0);
        row("lower case, blanks around", "ZANDRELL", " operator ", "demo", 0);
        row("wrong password", "ZANDRELL", "ZL_USER", "Demo", 1017);
        row("empty password", "ZANDRELL", "ZL_USER", "", 1005);
        row("locked account", "ZANDRELL", "LOCKED", "demo", 28000);
        // A locked account with a wrong password says no more than any wrong password.
        row("locked account, wrong password", "ZANDRELL", "LOCKED", "x", 1017);
        // The embedded server misses its files, PostgreSQL its database.
        if (TestServer::OnPostgres())
            row("server without its scheme", "NOFILES", "ZL_USER", "demo", 12154);
        else
            row("server without its scheme", "NOFILES", "ZL_USER", "demo", 1157, "Db/NOFILES");
        row("Oracle without its driver", "prod", "ZL_USER", "demo", 12560, "QOCI");
    }
    void logInOutcomes()
    {
        QFETCH(QString, alias);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, error);
        QFETCH(QString, named);
        TIniFile ini(server->IniPath());
        ini.WriteString("PROD", "Backend", "oracle");
        ini.WriteString("PROD", "Driver", "QOCI");
        ini.WriteString("PROD", "Database", "//dbhost:1521/ORCL");
        const EDAError e = connectError(alias, user, password);
        QCOMPARE(e.ErrorCode(), error);
        QVERIFY2(e.message().contains(named), qPrintable(e.message()));
    }

    // What the log-in asks of the scheme besides its configuration (the operator's log-in is the
    // console's own journey): whether a column is there, and whether the password must change.
    void configurationOfANewEmployee()
    {
        auto session = server->Connect(u"NEWBIE"_s);
        const auto request = Proc(session.get(), "ZANDRELL5.Request");
        auto column = [&](const char *table, const char *columnName) {
            request->ParamByName("PTYPE").SetAsString("COLUMN");
            request->ParamByName("PVAL_1").SetAsString(QString::fromLatin1(table));
            request->ParamByName("PVAL_2").SetAsString(QString::fromLatin1(columnName));
            request->ExecProc();
            return request->ParamByName("RESULT").AsInteger();
        };
        QCOMPARE(column("SYSUSER", "FORCE_PASS_CHANGE"), 1);
        QCOMPARE(column("SYSUSER", "NO_SUCH_COLUMN"), 0);
        QCOMPARE(column("V_SYSUSERS\"; DROP TABLE SYSUSER; --", "FORCE_PASS_CHANGE"), 0);
        QCOMPARE(Scalar(session.get(), "SELECT FORCE_PASS_CHANGE FROM ZANDRELL5.v_Sysusers_2 WHERE LOGIN = 'NEWBIE'")
                     .toInt(),
                 1);
    }

    // The Oracle numbers of the faults the console and its modules meet, the
    // same on both servers; the session goes on afterwards.
    void errorNumbers_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("error");
        const auto row = [](const char *name, const char *statement, int error) {
            QTest::newRow(name) << QString::fromLatin1(statement) << error;
        };
        row("missing table", "SELECT * FROM ZANDRELL5.NO_SUCH_TABLE", 942);
        row("missing column", "SELECT NO_SUCH_COLUMN FROM ZANDRELL5.V_ACCESS", 904);
        row("unique key", "INSERT INTO ZANDRELL5.ACCESSLIST (ACCESSID, NAME) VALUES (1, 'x')", 1);
        row("missing parent",
            "INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP) VALUES (900, 999, 0, 1)", 2291);
        row("required column", "INSERT INTO ZANDRELL5.ACCESSLIST (ACCESSID, NAME) VALUES (901, NULL)", 1400);
        row("no statement", "SELEKT 1 FROM DUAL", 900);
        row("missing package", "BEGIN ZANDRELL5.NO_SUCH_PACK.NO_SUCH_PROC(1); END;", 6550);
        // The accounts and their hashes are out of a client's reach; so are the database's own commands.
        row("accounts", "SELECT * FROM main.ACCOUNTS", 942);
        // PostgreSQL knows no ATTACH, and refuses the administrator of a scheme its tables' definitions.
        row("attach", "ATTACH DATABASE '/tmp/x.db' AS X", TestServer::OnPostgres() ? 900 : 942);
        row("drop", "DROP TABLE ZANDRELL5.SYSUSER", TestServer::OnPostgres() ? 1031 : 942);
    }
    void errorNumbers()
    {
        QFETCH(QString, statement);
        QFETCH(int, error);
        const int groups = Count(s.get(), "V_ACCESS");
        QCOMPARE(ErrorOf([&] { s->ExecSQL(statement, {0}); }), error);
        QCOMPARE(Count(s.get(), "V_ACCESS"), groups);
        QVERIFY(!s->InTransaction());
    }

    // A user changes only his own password (the login's forced change is tested with the login); an administrator any.
    void passwordChange()
    {
        auto userSession = server->Connect(u"NEWBIE"_s);
        TOraPackage emp;
        emp.SetSession(userSession.get());
        emp.SetPackageName("ZANDRELL5.EMPLOYEPACK");
        // One user may not change another's password; an administrator may.
        QCOMPARE(ErrorOf([&] { emp.ExecProc("ALTER_USER", {2, "OPERATOR", "x", 0}); }), 1031);
        QCOMPARE(ErrorOf([&] { emp.ExecProc("ALTER_USER", {4, "OPERATOR", "x", 0}); }), 1403);
        QCOMPARE(ErrorOf([&] { emp.ExecProc("ALTER_USER", {4, "NEWBIE", "", 0}); }), 988);
        emp.SetSession(s.get());
        emp.ExecProc("ALTER_USER", {2, "OPERATOR", "Other2", 0});
        QCOMPARE(emp.ParamByName("PRESULT").AsInteger(), 1);
        s->Commit();
        QVERIFY(server->Connect(u"OPERATOR"_s, u"Other2"_s)->Connected());
        // The statement form does the same.
        QCOMPARE(ErrorOf([&] { userSession->ExecSQL("ALTER USER OPERATOR IDENTIFIED BY x"); }), 1031);
        userSession->ExecSQL("ALTER USER NEWBIE IDENTIFIED BY Third3");
        userSession->Commit();
        QVERIFY(server->Connect(u"NEWBIE"_s, u"Third3"_s)->Connected());
    }

    // Statements kept prepared follow changes of the tables they read, made on
    // their own connection or on another; a client never reuses what the server's
    // own procedures may read.
    void preparedStatementsFollowTheSchema()
    {
        SKIP_ON_POSTGRES("statement cache");
        TSqliteBackend admin;
        admin.OpenAsAdministrator(server->Folder(), false);
        TSqliteConnection &a = *admin.Connection();
        a.Exec("CREATE TABLE ZANDRELL5.T_KEPT (A INTEGER)");
        a.Exec("INSERT INTO ZANDRELL5.T_KEPT VALUES (1)");
        const QString all = u"SELECT * FROM ZANDRELL5.T_KEPT"_s;
        QCOMPARE(a.Query(all).columns.size(), 1);
        TOraQuery q;
        q.SetSession(s.get());
        q.SetSQLText(all);
        q.Open();
        QCOMPARE(q.FieldCount(), 1);

        a.Exec("ALTER TABLE ZANDRELL5.T_KEPT ADD COLUMN B VARCHAR2(10) DEFAULT 'b' NOT NULL");
        QCOMPARE(a.Query(all).rows.value(0).value(1).toString(), u"b"_s);
        q.Close();
        q.Open();
        QCOMPARE(q.FieldCount(), 2);
        QCOMPARE(q.FieldByName("B")->AsString(), u"b"_s);

        a.Exec("DROP TABLE ZANDRELL5.T_KEPT");
        q.Close();
        QCOMPARE(ErrorOf([&] { q.Open(); }), int(OraErr::TableOrViewMissing));
        a.Exec("CREATE TABLE ZANDRELL5.T_KEPT (C VARCHAR2(5))");
        q.Open();
        QCOMPARE(q.FieldCount(), 1);
        QCOMPARE(q.Fields(0)->FieldName(), u"C"_s);

        // The same text, prepared for the server itself, stays refused to the client.
        TSqliteConnection c;
        c.Open(server->Folder(), false);
        c.SessionUser = u"ZL_USER"_s;
        const QString accounts = u"SELECT count(*) FROM main.ACCOUNTS"_s;
        {
            TSqliteConnection::InternalScope internal(c);
            QVERIFY(c.Scalar(accounts).toInt() > 0);
        }
        QCOMPARE(ErrorOf([&] { c.Scalar(accounts); }), int(OraErr::TableOrViewMissing));
        for (int i = 0; i < 3 * TStatementCache::kDefaultCapacity; ++i)
            c.Scalar(u"SELECT %1 FROM DUAL"_s.arg(i));
        QVERIFY(c.CachedStatementCount() <= TStatementCache::kDefaultCapacity);
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
    // Another session sees a change once it is committed; never one rolled back or dropped by a
    // disconnect.
    void changesAreSeenAfterCommitOnly()
    {
        auto other = server->Connect(u"OPERATOR"_s);
        const QString name = u"SELECT NAME FROM ZANDRELL5.v_Sysusers WHERE ID = 2"_s;
        for (const QString &end : {u"rollback"_s, u"disconnect"_s, u"commit"_s}) {
            s->ExecSQL(u"UPDATE ZANDRELL5.SYSUSER SET NAME = '%1' WHERE ID = 2"_s.arg(end));
            QVERIFY(s->InTransaction());
            QCOMPARE(Scalar(other.get(), name).toString(), u"Оператор"_s);
            if (end == u"rollback"_s)
                s->Rollback();
            else if (end == u"disconnect"_s)
                s = server->Connect();
            else
                s->Commit();
            QVERIFY(!s->InTransaction());
            QCOMPARE(Scalar(other.get(), name).toString(), end == u"commit"_s ? end : u"Оператор"_s);
        }
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
        const auto row = [](const char *name, const QString &stored, const char *password, bool accepted,
                            bool needsRehash) {
            QTest::newRow(name) << stored << QString::fromLatin1(password) << accepted << needsRehash;
        };
        const QString current = HashPassword(u"Secret 1"_s), legacy = legacyHash(u"Secret 1"_s);
        row("Argon2id, right password", current, "Secret 1", true, false);
        row("Argon2id, wrong password", current, "secret 1", false, false);
        row("Argon2id of a lower cost",
            u"$argon2id$v=19$m=8192,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$7UR5UiJN6dqGeVDuL0xgbdqBtzrf1LvWEukJxB5fb3k"_s, "x",
            false, true);
        row("PBKDF2, right password", legacy, "Secret 1", true, true);
        row("PBKDF2, wrong password", legacy, "Secret 2", false, true);
        row("empty", QString(), "x", false, true);
        // A damaged cost must not make a log-in take a gigabyte or minutes.
        row("Argon2id asking 4 GiB", QString(current).replace("m=19456", "m=4194304"), "Secret 1", false, true);
        // A damaged digest accepts no password, not even the right one.
        row("PBKDF2 key cut short", legacy.left(legacy.lastIndexOf(u'$') + 24), "Secret 1", false, true);
        row("Argon2id digest cut short", current.left(current.size() - 8), "Secret 1", false, true);
        // One whole character of the digest changed (the last one also holds unused bits).
        QString changed = current;
        changed[changed.size() - 2] = changed[changed.size() - 2] == u'A' ? u'B' : u'A';
        row("Argon2id digest changed", changed, "Secret 1", false, false);
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
    // A hash of the older form is replaced by Argon2id of the current cost, with a salt of its own,
    // at the next right log-in; a wrong password changes nothing.
    void olderHashIsReplacedAtTheNextLogin()
    {
        SKIP_ON_POSTGRES("own password hashes");
        const QString legacy = legacyHash(u"demo"_s);
        TSqliteBackend admin;
        admin.OpenAsAdministrator(server->Folder(), false);
        admin.Connection()->Exec(u"UPDATE main.ACCOUNTS SET PASSWORD_HASH = ? WHERE USERNAME = 'OPERATOR'"_s, {legacy});
        admin.Commit();
        const auto stored = [&] {
            return admin.Connection()->Scalar(u"SELECT PASSWORD_HASH FROM main.ACCOUNTS WHERE USERNAME = 'OPERATOR'"_s);
        };
        const auto logIn = [](const char *password) {
            return connectError(u"ZANDRELL"_s, u"OPERATOR"_s, QString::fromLatin1(password)).ErrorCode();
        };
        QCOMPARE(logIn("typo"), 1017);
        QCOMPARE(stored().toString(), legacy);
        QCOMPARE(logIn("demo"), 0);
        const QString replaced = stored().toString();
        static const QRegularExpression form(
            u"^\\$argon2id\\$v=19\\$m=19456,t=2,p=1\\$[A-Za-z0-9+/]{22}\\$[A-Za-z0-9+/]{43}$"_s);
        QVERIFY2(form.match(replaced).hasMatch(), qPrintable(replaced));
        QVERIFY(HashPassword(u"demo"_s) != replaced);
        QCOMPARE(logIn("demo"), 0);
        QCOMPARE(stored().toString(), replaced);
    }

    void serverListFaults_data()
    {
        QTest::addColumn<QByteArray>("serversIni"); // "<none>": no file
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("detail"); // %1: the path of Servers.ini
        const auto row = [](const char *name, const QByteArray &serversIni, const char *alias, const char *detail) {
            QTest::newRow(name) << serversIni << QString::fromLatin1(alias) << QString::fromLatin1(detail);
        };
        row("missing", "<none>", "ZANDRELL", "The server list \"%1\" is not found");
        row("binary junk", QByteArray("\177ELF\2\1\0\0garbage", 14), "ZANDRELL",
            "The server list \"%1\" is damaged (line 1)");
        row("unknown alias", "[ZANDRELL]\nPath=Db/ZANDRELL\n", "NOWHERE",
            "Server \"NOWHERE\" is not described in \"%1\"");
        row("unknown backend", "[ODD]\nBackend=mysql\nPath=Db/ZANDRELL\n", "odd",
            "Server \"ODD\" in \"%1\": unknown backend \"mysql\"");
        row("no database path", "; the path was forgotten\n[ZANDRELL]\nBackend=sqlite\n", "ZANDRELL",
            "Server \"ZANDRELL\" in \"%1\": no database path (Path) is given");
    }
    void serverListFaults()
    {
        QFETCH(QByteArray, serversIni);
        QFETCH(QString, alias);
        QFETCH(QString, detail);
        QFile::remove(server->IniPath());
        if (serversIni != "<none>")
            QVERIFY(WriteBytes(server->IniPath(), serversIni));
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
        const QString damaged = u"The accounts database \"%1\" is damaged"_s;
        QTest::newRow("empty file") << QByteArray() << u"The database file \"%1\" is empty"_s;
        QTest::newRow("garbage") << QByteArray(4096, '\xA5') << damaged;
        QTemporaryDir dir;
        ForeignConnection(dir.filePath(u"notes.db"_s)).Exec("CREATE TABLE NOTES (TXT TEXT)");
        QTest::newRow("another program's database")
            << ReadBytes(dir.filePath(u"notes.db"_s))
            << u"The file \"%1\" is no accounts database of this server: it has no table ACCOUNTS"_s;
    }
    void accountsDatabaseFaults()
    {
        SKIP_ON_POSTGRES("accounts file");
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        const QString accounts = server->Folder() + u"/accounts.db"_s;
        for (const char *suffix : {"-wal", "-shm"})
            QFile::remove(accounts + QLatin1String(suffix));
        QVERIFY(WriteBytes(accounts, content));
        for (int attempt = 0; attempt < 2; ++attempt) {
            const EDAError e = connectError(u"ZANDRELL"_s);
            QCOMPARE(e.ErrorCode(), 1157);
            QCOMPARE(e.Detail(), text.arg(accounts));
        }
        // Reported, never made anew nor switched to another journal mode: the file is as it was.
        QCOMPARE(ReadBytes(accounts), content);
    }

    // A new session reads the first bytes of every file of the server while
    // the sessions of this process hold their locks on them. Those locks must
    // outlive it: without them a console elsewhere that closes its last session
    // folds and deletes the write-ahead log under this one (lost rows).
    void aNewSessionKeepsTheLocksOfTheOthers()
    {
        SKIP_ON_POSTGRES("files");
        QVERIFY(Count(s.get(), "V_ACCESS") > 0);
        for (const char *file : {"/accounts.db", "/ZANDRELL5.db"}) {
            const QString path = server->Folder() + QLatin1String(file);
            QVERIFY2(LockedByThisProcess(path), file);
            auto other = server->Connect();
            QVERIFY2(LockedByThisProcess(path), file);
        }
    }

    // An installation whose path is longer than the database library takes says so, and why.
    void serverFolderWhosePathIsTooLong()
    {
        SKIP_ON_POSTGRES("folder");
        QTemporaryDir base;
        QString folder = base.path();
        while (QFile::encodeName(folder).size() < 600)
            folder += u"/a_rather_long_folder_name"_s;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(server->Folder() + u"/accounts.db"_s, folder + u"/accounts.db"_s));
        TSqliteConnection connection;
        const EDAError e = errorOf([&] { connection.Open(folder, false); });
        QCOMPARE(e.ErrorCode(), 1157);
        QVERIFY2(e.Detail().contains(folder) && e.Detail().contains(u" 504 "_s), qPrintable(e.Detail()));
    }

    // A deleted row's id is never given again, so a stale call cannot reach a newer row: neither
    // the demo's own rows nor those of a scheme whose sequences were never seeded or that is older
    // than them (on PostgreSQL the installer brings such a scheme up to date in place).
    void deletedDemoRowsKeepTheirIds_data()
    {
        QTest::addColumn<QStringList>("older"); // what makes the scheme older than the demo
        QTest::addColumn<QStringList>("olderOnPostgres");
        QTest::newRow("demo scheme") << QStringList() << QStringList();
        QTest::newRow("sequences never seeded") << QStringList{u"DELETE FROM \"ZANDRELL5\".ID_SEQUENCES"_s}
                                                << QStringList{u"ALTER SEQUENCE zandrell5.accesslist_seq RESTART"_s,
                                                               u"ALTER SEQUENCE zandrell5.menucfg_seq RESTART"_s};
        QTest::newRow("scheme without sequences and history")
            << QStringList{u"DROP TABLE \"ZANDRELL5\".ID_SEQUENCES"_s, u"DROP VIEW \"ZANDRELL5\".V_MENU_HISTORY"_s,
                           u"DROP TABLE \"ZANDRELL5\".MENU_HISTORY"_s}
            << QStringList{u"DROP SEQUENCE zandrell5.accesslist_seq, zandrell5.menucfg_seq CASCADE"_s,
                           u"DROP TABLE zandrell5.menu_history CASCADE"_s,
                           u"UPDATE zandrell5.scheme_version SET version = 0"_s,
                           u"DROP VIEW zandrell5.v_access"_s,
                           u"DROP SCHEMA menupack CASCADE"_s,
                           u"DROP TABLE zandrell5.user_langs CASCADE"_s,
                           u"install"_s};
    }
    void deletedDemoRowsKeepTheirIds()
    {
        QFETCH(QStringList, older);
        QFETCH(QStringList, olderOnPostgres);
        if (!older.isEmpty()) {
            s.reset();
            if (TestServer::OnPostgres()) {
                for (const QString &statement : olderOnPostgres)
                    if (statement == QLatin1String("install"))
                        InstallPgScheme(server->Administrator(),
                                        qEnvironmentVariable("ZANDRELL_SOURCE_DIR") + u"/Scheme/postgres"_s,
                                        server->Database());
                    else
                        server->AdminExec(statement);
            } else {
                TSqliteBackend admin;
                admin.OpenAsAdministrator(server->Folder(), false);
                for (const QString &statement : older)
                    admin.Connection()->Exec(statement);
            }
            s = server->Connect();
        }
        // The storekeepers hold the highest demo access id and menu ids; their three-level menu goes with them.
        const int highestMenu = Scalar(s.get(), "SELECT max(ID_CFG) FROM ZANDRELL5.V_MENUCFG").toInt();
        Menu m(s.get());
        m.Call("DEL_ACCESS_RECURCIVE", {3}, nullptr);
        const int service = m.Call("INS_SRVITEM", {0, 0, "{SEQ}", "Seq.so", "Seq", 0});
        m.pack.ExecProc("INS_SRVITEM_MODE", {"{SEQ}", 1, "Право", 0});
        m.Call("DEL_SRVITEM", {service}, nullptr); // with its rights
        s->Commit();
        QCOMPARE(Count(s.get(), "V_MENUCFG WHERE ACCESSID = 3"), 0);
        QCOMPARE(Count(s.get(), "v_srvitems_mode WHERE ITEMID = :I", {service}), 0);
        s = server->Connect(); // over a new session too, after the highest ids went
        m.pack.SetSession(s.get());
        QVERIFY(m.Call("INS_ACCESS", {0, "Кладовщики"}) > 3);
        QVERIFY(m.Call("INS_MENUGRP", {0, "Склад", 0, 1}) > highestMenu);
        QVERIFY(m.Call("INS_SRVITEM", {0, 0, "{SEQ}", "Seq.so", "Seq", 0}) > service);
        QCOMPARE(Count(s.get(), "V_MENU_HISTORY WHERE OPERATION IN ('DEL_ACCESS_RECURCIVE', 'INS_ACCESS')"), 2);
        s->ExecSQL("BEGIN ZANDRELL5.LANG_PACK.SET_USER_APL_LANG(9, 0); COMMIT; END;");
    }

    // Two administrators: each call is checked against what the other committed meanwhile, and a stale one
    // is refused and changes nothing. "CALL a,b": g ("Первая") and h stand for the menu groups, gsort for g's
    // sort order, entry for the service's entry in g, item for the service.
    void staleCallsOfAnotherAdministrator_data()
    {
        QTest::addColumn<QString>("meanwhile"); // the other's calls
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("error");
        const auto row = [](const char *name, const char *meanwhile, const char *call, int error) {
            QTest::newRow(name) << QString::fromUtf8(meanwhile) << QString::fromUtf8(call) << error;
        };
        const char *group = "DEL_MENUITEM entry; DEL_MENUITEM g; INS_MENUGRP 0,Первая,0,1"; // made again
        const char *rename = "UPD_MENU g,Переименована; UPD_ACCESS 3,Склад", *move = "MOVE_ITEM g,h,0";
        const char *service = "DEL_MENUITEM entry; DEL_SRVITEM item";
        const char *access = "DEL_ACCESS_RECURCIVE 3; INS_ACCESS 0,Кладовщики"; // made again
        row("move into the deleted group", group, "MOVE_ITEM h,g,0", 1403);
        row("rights of a deleted entry", group, "UPD_RIGHT entry,11", 1403);
        row("delete a renamed group", rename, "DEL_MENUITEM g,Первая,1", 20002);
        row("move a node the other moved", move, "MOVE_ITEM g,0,0,0,gsort", 20002);
        row("cycle with the other's move", move, "MOVE_ITEM h,g,0", 20001);
        row("rights the other changed", "UPD_RIGHT entry,10", "UPD_RIGHT entry,111,1", 20002);
        row("button of a deleted service", service, "UPD_SRVITEMS item,1", 1403);
        row("button the other set", "UPD_SRVITEMS item,1", "UPD_SRVITEMS item,1,0", 20002);
        row("menu of a deleted access group", access, "INS_MENUGRP 0,Новое,0,3", 2291);
        row("copy a deleted access group", access, "DUBLICATE_ACCESS 3,Копия,0", 1403);
        row("rename a renamed access group", rename, "UPD_ACCESS 3,Новое,Кладовщики", 20002);
    }
    void staleCallsOfAnotherAdministrator()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, call);
        QFETCH(int, error);
        auto other = server->Connect();
        Menu a(s.get()), b(other.get());
        const int item = a.NewService();
        const int g = a.Call("INS_MENUGRP", {0, "Первая", 0, 1});
        const int h = a.Call("INS_MENUGRP", {0, "Вторая", 0, 1});
        const int entry = a.Call("INS_MENUITEM", {0, g, 1, item, "1"});
        const int gsort = MenuColumn(s.get(), "SORT_ORDER", g).toInt();
        const QHash<QString, QVariant> names{{"g", g}, {"h", h}, {"entry", entry}, {"item", item}, {"gsort", gsort}};
        s->Commit();
        const auto run = [&](Menu &m, const QString &text) { // the call's first value
            QVariantList values;
            for (const QString &arg : text.section(u' ', 1).split(u',')) {
                bool number = false;
                const int n = arg.toInt(&number);
                values << (number ? QVariant(n) : names.value(arg, arg));
            }
            m.pack.ExecProc(text.section(u' ', 0, 0), values);
            return values.first().toInt();
        };
        int deleted = 0;
        for (const QString &step : meanwhile.split(u"; "_s)) {
            const int first = run(b, step);
            if (step.startsWith(u"DEL"))
                deleted = qMax(deleted, first);
            else if (step.startsWith(u"INS")) // a freed id never comes back
                QVERIFY(b.pack.ParamByName(u"PID"_s).AsInteger() > deleted);
        }
        other->Commit();
        QCOMPARE(Outcome(s.get(), s.get(), [&] { run(a, call); }), QString::number(error));
    }

    // Walks up the owners of a menu end on any shape of rows: a cycle, an owner
    // that is a service entry, a group numbered 0 or without a number. Calls
    // into such groups are refused; the rows themselves can be deleted, or moved
    // back into the menu. rows: the broken rows of the administrators' menu.
    void brokenOwners_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("left"); // ID_CFG:OWNER of the broken rows afterwards
        const auto row = [](const char *name, const char *call, const QVariantList &args, int error,
                            const char *left = "0:5,41:42,42:41,43:9,44:43") {
            QTest::newRow(name) << QString::fromLatin1(call) << args << error << QString::fromLatin1(left);
        };
        row("move into a cycle", "MOVE_ITEM", {4, 41, 0}, 20001);
        row("move into a group under a service", "MOVE_ITEM", {4, 44, 0}, 20001);
        row("service into a cycle", "INS_MENUITEM", {0, 41, 1, 6, "1"}, 20001);
        row("move the group numbered 0", "MOVE_ITEM", {0, 4, 0}, 20001);
        row("a cycle's group to the top", "MOVE_ITEM", {41, 0, 0}, 0, "0:5,41:0,42:41,43:9,44:43");
        row("delete a cycle's group", "DEL_MENUITEM", {41}, 0, "0:5,42:41,43:9,44:43");
        row("delete the group numbered 0", "DEL_MENUITEM", {0, "Ноль", 1}, 0, "41:42,42:41,43:9,44:43");
        row("delete a group without a number", "DEL_MENUITEM", {QVariant(), "Без номера", 1}, 0);
        row("a group without a number of another access group", "DEL_MENUITEM", {QVariant(), "Без номера", 2}, 1403);
    }
    void brokenOwners()
    {
        QFETCH(QString, call);
        QFETCH(QVariantList, args);
        QFETCH(int, error);
        QFETCH(QString, left);
        // PostgreSQL keeps no row without its key.
        const bool withoutNumber = args.value(0).isNull() && call == QLatin1String("DEL_MENUITEM");
        if (TestServer::OnPostgres() && withoutNumber)
            QSKIP("a menu row without a number cannot be stored on PostgreSQL");
        s->ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, "
                                  "SORT_ORDER) VALUES (0, 1, 5, 1, 'Ноль', 20), (41, 1, 42, 1, 'Кольцо 1', 10), "
                                  "(42, 1, 41, 1, 'Кольцо 2', 10), (43, 1, 9, 1, 'Под сервисом', 10), "
                                  "(44, 1, 43, 1, 'Ниже', 10)") +
                   (TestServer::OnPostgres() ? QString() : u", (NULL, 1, 4, 1, 'Без номера', 30)"_s));
        s->Commit();
        const int rows = Count(s.get(), "MENUCFG");
        QCOMPARE(ErrorOf([&] { Menu(s.get()).pack.ExecProc(call, args); }), error);
        s->Commit();
        QCOMPARE(FirstColumn(s.get(), "SELECT ID_CFG || ':' || OWNER FROM ZANDRELL5.MENUCFG "
                                      "WHERE ID_CFG IN (0, 41, 42, 43, 44) ORDER BY ID_CFG")
                     .join(u','),
                 left);
        const bool deleted = call == QLatin1String("DEL_MENUITEM") && error == 0;
        QCOMPARE(Count(s.get(), "MENUCFG"), rows - (deleted ? 1 : 0));
    }

    // The package refuses an operator (ORA-01031) whatever he calls, reading or writing, and changes
    // nothing; an administrator's same call goes through.
    void operatorsMayNotCallThePackage_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("args");
        const auto row = [](const char *call, const QVariantList &args) {
            QTest::newRow(call) << QString::fromLatin1(call) << args;
        };
        row("INS_MENUGRP", {0, "N", 6, 2});
        row("GET_MENU_ITEM_RIGHT", {12});
        row("DUBLICATE_ACCESS", {1, "N"});
        row("DEL_SRVITEM", {-1}); // the service made for the test
    }
    void operatorsMayNotCallThePackage()
    {
        QFETCH(QString, call);
        QFETCH(QVariantList, args);
        Menu m(s.get());
        std::replace(args.begin(), args.end(), QVariant(-1), QVariant(m.NewService()));
        auto operatorSession = server->Connect(u"OPERATOR"_s);
        Menu o(operatorSession.get());
        QCOMPARE(Outcome(s.get(), operatorSession.get(), [&] { o.pack.ExecProc(call, args); }), u"1031"_s);
        QCOMPARE(ErrorOf([&] { m.pack.ExecProc(call, args); }), 0);
    }

    // Names and rights strings longer than their columns are refused whole, with
    // one message for every column; at their size they are kept as given.
    void textsLongerThanTheirColumns_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("args"); // "@" stands for the text
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("size");
        const auto row = [](const char *name, const char *call, const QVariantList &args, const char *column,
                            int size) {
            QTest::newRow(name) << QString::fromLatin1(call) << args << QString::fromLatin1(column) << size;
        };
        row("new menu group", "INS_MENUGRP", {0, "@", 4, 1}, "MENUCFG\".\"MENUNAME", 50);
        row("new service entry", "INS_MENUITEM", {0, 18, 3, 4, "@"}, "MENUCFG\".\"ITEMMODE", 255);
        row("new access group", "INS_ACCESS", {0, "@"}, "ACCESSLIST\".\"NAME", 100);
        row("service name", "INS_SRVITEM", {0, 0, "{L}", "L.so", "@", 0}, "SRVITEMS\".\"SRVNAME", 50);
        const char *orders = "{5B0C2A61-7D3E-4F1A-9A40-0D5E1C2B7A01}";
        row("right caption", "INS_SRVITEM_MODE", {orders, 9, "@", 0}, "SRVITEMS_MODE\".\"NAME", 60);
        row("report name", "INS_REPORT_ITEM", {orders, "{L}", "@", "", 5}, "REPORT_ITEMS\".\"RNAME", 100);
        // A cut GUID or file name would name another service or no file.
        row("GUID", "INS_SRVITEM", {0, 0, "@", "L.so", "L", 0}, "SRVITEMS\".\"GUID", 50);
        row("file name", "INS_SRVITEM", {0, 0, "{L}", "@", "L", 0}, "SRVITEMS\".\"DLLNAME", 50);
        row("report id", "INS_REPORT_ITEM", {orders, "@", "L", "", 5}, "REPORT_ITEMS\".\"RGUID", 50);
    }
    void textsLongerThanTheirColumns()
    {
        QFETCH(QString, call);
        QFETCH(QVariantList, args);
        QFETCH(QString, column);
        QFETCH(int, size);
        Menu m(s.get());
        // A character outside the basic plane counts once, as the column counts it.
        const QString fits =
            QString(size - 1, u'1') +
            (call.contains(u"RIGHT"_s) || call == u"INS_MENUITEM"_s ? u"0"_s : QString::fromUcs4(U"\U0001F600"));
        const int at = int(args.indexOf(QVariant(u"@"_s)));
        QVariantList values = args;
        values[at] = fits + u'1';
        const EDAError e = errorOf([&] { m.pack.ExecProc(call, values); });
        const QString tooLarge =
            u"ORA-12899: value too large for column \"ZANDRELL5\".\"%1\" (actual: %2, maximum: %3)"_s;
        QCOMPARE(e.message(), tooLarge.arg(column).arg(size + 1).arg(size));
        values[at] = fits;
        QCOMPARE(ErrorOf([&] { m.pack.ExecProc(call, values); }), 0);
        const QString table = column.section(u'"', 0, 0), name = column.section(u'"', 2, 2);
        QCOMPARE(Count(s.get(), u"%1 WHERE %2 = :V"_s.arg(table, name), {fits}), 1);
    }

    // No two access groups with one name, compared trimmed and without regard to case, through every
    // procedure that names a group; the table's index holds for rows written around the package.
    void accessGroupNamesAreUnique_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<int>("error");
        const auto row = [](const char *name, const char *call, const QVariantList &args, int error) {
            QTest::newRow(name) << QString::fromUtf8(call) << args << error;
        };
        row("new, other case and blanks", "INS_ACCESS", {0, " операторы  "}, 1);
        row("renamed to another's name", "UPD_ACCESS", {3, "ОПЕРАТОРЫ"}, 1);
        row("renamed to its own in other case", "UPD_ACCESS", {3, "кладовщики"}, 0);
        row("copied under another's name", "DUBLICATE_ACCESS", {1, "Кладовщики", 0}, 1);
        row("written around the package", "INSERT INTO ZANDRELL5.ACCESSLIST (ACCESSID, NAME) VALUES (50, 'CASHIERS')",
            {}, 1);
    }
    void accessGroupNamesAreUnique()
    {
        QFETCH(QString, call);
        QFETCH(QVariantList, args);
        QFETCH(int, error);
        auto other = server->Connect();
        Menu(other.get()).Call("INS_ACCESS", {0, "Касса"});
        Menu(other.get()).Call("INS_ACCESS", {0, "Cashiers"});
        other->Commit();
        const QString outcome = Outcome(s.get(), s.get(), [&] {
            if (args.isEmpty())
                s->ExecSQL(call);
            else
                Menu(s.get()).pack.ExecProc(call, args);
        });
        QCOMPARE(outcome, error ? QString::number(error) : u"0, menus changed"_s);
    }

    void historyOfChanges_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QStringList>("lines"); // ACCESSID|OBJECT_NAME|OLD_VALUE|NEW_VALUE ("new": PID)
        const auto row = [](const char *name, const char *call, const QVariantList &args, const QStringList &lines) {
            QTest::newRow(name) << QString::fromLatin1(call) << args << lines;
        };
        row("new group", "INS_MENUGRP", {0, "Касса", 1, 1}, {"1|Касса||Касса"});
        row("new entry", "INS_MENUITEM", {0, 18, 3, 4, "101"}, {"3|Продажи по клиентам||101"});
        row("renamed group", "UPD_MENU", {4, "Каталоги"}, {"1|Каталоги|Справочники|Каталоги"});
        row("moved entry", "MOVE_ITEM", {11, 1, 0}, {"1|Склад|Справочники|Документы"});
        row("rights", "UPD_RIGHT", {14, "110"}, {"2|Склад|100|110"});
        row("deleted entry", "DEL_MENUITEM", {16}, {"1|Пользователи консоли|11|"});
        row("new access group", "INS_ACCESS", {0, "Гости"}, {"new|Гости||Гости"});
        row("copied access group", "DUBLICATE_ACCESS", {3, "Копия", 0}, {"new|Копия|Кладовщики|Копия"});
        row("deleted access group", "DEL_ACCESS_RECURCIVE", {3}, {"3|Кладовщики|Кладовщики|"});
        row("button flag", "UPD_SRVITEMS", {2, 1}, {"|Клиенты|0|1"});
        row("a service out of every menu", "DEL_SRV_FROM_ALL_MNU", {3},
            {"1|Склад|111|", "2|Склад|100|", "3|Склад|110|"});
        row("a refused change", "UPD_MENU", {4, ""}, {});
    }
    // Every change is written to the history by the call that makes it, with who made it; a change
    // rolled back, or refused, leaves no line.
    void historyOfChanges()
    {
        QFETCH(QString, call);
        QFETCH(QVariantList, args);
        QFETCH(QStringList, lines);
        Menu m(s.get());
        const int last = Scalar(s.get(), "SELECT COALESCE(max(ID), 0) FROM ZANDRELL5.V_MENU_HISTORY").toInt();
        const bool refused = ErrorOf([&] { m.pack.ExecProc(call, args); }) != 0;
        QCOMPARE(refused, lines.isEmpty());
        TOraQuery q;
        q.SetSession(s.get());
        q.SetSQLText("SELECT OPERATION, ACCESSID, OBJECT_NAME, OLD_VALUE, NEW_VALUE, LOGIN, CHANGED_AT "
                     "FROM ZANDRELL5.V_MENU_HISTORY WHERE ID > :L ORDER BY ID");
        q.ParamByName("L").SetAsInteger(last);
        q.Open();
        QStringList written;
        for (q.First(); !q.Eof(); q.Next()) {
            QStringList cells;
            for (int i = 0; i < 5; ++i)
                cells << q.Fields(i)->AsString();
            written << cells.join(u'|');
            QCOMPARE(q.Fields(5)->AsString(), u"ZL_USER"_s);
            QVERIFY(qAbs(q.Fields(6)->AsDateTime().secsTo(QDateTime::currentDateTime())) < 60);
        }
        for (QString &line : lines) // the call's name first, the new row's id for "new"
            line =
                call + u'|' + (line.startsWith(u"new|") ? m.pack.ParamByName(u"PID"_s).AsString() + line.mid(3) : line);
        QCOMPARE(written, lines);
        s->Rollback();
        QCOMPARE(Scalar(s.get(), "SELECT COALESCE(max(ID), 0) FROM ZANDRELL5.V_MENU_HISTORY").toInt(), last);
    }

    // What one session leaves uncommitted stops no other session's log-in or
    // reads; its change of a scheme makes only a second writer wait the lock
    // wait: of that scheme on the embedded server, which locks a scheme, of the
    // same rows on PostgreSQL.
    void uncommittedWorkBlocksNoOne_data()
    {
        QTest::addColumn<QString>("left"); // what the first session runs and does not commit
        QTest::addColumn<QString>("locked");
        QTest::addColumn<bool>("sameRows"); // the second writer changes rows the first one holds
        QTest::newRow("a change of the scheme")
            << u"UPDATE ZANDRELL5.SYSUSER SET NAME = 'x' WHERE ID = 2"_s << u"ZANDRELL5"_s << true;
        QTest::newRow("a capture of phrases") << u"UPDATE TARVEL.DPR SET NAME = NAME"_s << u"TARVEL"_s << false;
    }
    void uncommittedWorkBlocksNoOne()
    {
        QFETCH(QString, left);
        QFETCH(QString, locked);
        QFETCH(bool, sameRows);
        s->ExecSQL(left);
        QVERIFY(s->InTransaction());
        const int usual = TSqliteConnection::BusyTimeoutMs();
        const auto setLockWaitMs = [](int ms) { // of both servers, for the sessions that connect afterwards
            TSqliteConnection::SetBusyTimeoutMs(ms);
            TPostgresBackend::SetLockWaitMs(ms);
        };
        setLockWaitMs(300);
        RecordingIndicator indicator;
        // Another console logs in, reads its configuration and sets its language without a wait.
        auto other = server->Connect();
        other->ExecSQL("BEGIN ZANDRELL5.LANG_PACK.SET_USER_APL_LANG(25, 0); "
                       "ZANDRELL5.LANG_PACK.SET_USER_REP_LANG(25, 0); COMMIT; END;");
        Proc(other.get(), "ZANDRELL5.GET_CURRCONFIG")->ExecProc();
        QVERIFY(!other->InTransaction()); // a read-only procedure keeps no transaction open
        QVERIFY(Count(other.get(), "V_MENUCFG") > 0);
        QCOMPARE(indicator.started, 0);
        // A writer of the locked scheme is told after the lock wait; the other scheme takes changes at once.
        for (const QString &scheme : {u"ZANDRELL5"_s, u"TARVEL"_s}) {
            const EDAError e = errorOf([&] {
                other->ExecSQL(scheme == QLatin1String("TARVEL") ? "UPDATE TARVEL.DFM SET NAME = NAME"
                                                                 : "UPDATE ZANDRELL5.SYSUSER SET NAME = NAME");
                other->Commit();
            });
            const bool waits = scheme == locked && (sameRows || !TestServer::OnPostgres());
            QCOMPARE(e.ErrorCode(), waits ? 54 : 0);
            QCOMPARE(e.message().contains(u'"' + scheme + u'"'), waits);
        }
        setLockWaitMs(usual);
    }

    // Only the server's administrator declares a session table, named with its
    // scheme and keeping its rows for the session.
    void sessionTableDeclarations_data()
    {
        QTest::addColumn<QString>("declaration");
        QTest::addColumn<bool>("administrator");
        QTest::addColumn<int>("error");
        // %1: the columns
        const QString preserved = u"CREATE GLOBAL TEMPORARY TABLE ZANDRELL5.TMP%1 ON COMMIT PRESERVE ROWS"_s;
        QTest::newRow("declared") << preserved << true << 0;
        QTest::newRow("by a user") << preserved << false << 1031;
        QTest::newRow("rows gone at commit") << QString(preserved).replace(u"PRESERVE"_s, u"DELETE"_s) << true << 922;
        QTest::newRow("name of a table") << QString(preserved).replace(u".TMP"_s, u".SYSUSER"_s) << true << 955;
    }
    void sessionTableDeclarations()
    {
        SKIP_ON_POSTGRES("declaration of session tables");
        QFETCH(QString, declaration);
        declaration = declaration.arg(u" (ID NUMBER(9) PRIMARY KEY, TXT VARCHAR2(20))"_s);
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
        auto b = server->Connect(u"OPERATOR"_s);
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
        const auto row = [](const char *name, const char *scheme, const char *change, const char *why) {
            QTest::newRow(name) << QString::fromLatin1(scheme) << QString::fromLatin1(change)
                                << QString::fromLatin1(why);
        };
        row("empty", "ZANDRELL5", "empty", "The database file \"%1\" is empty");
        row("damaged", "TARVEL", "garbage", "The database file \"%1\" is damaged");
        row("another program's", "TARVEL", "foreign",
            "The file \"%1\" is no scheme of this server: it has no table SERVER_OBJECTS");
        row("locked by another program", "TARVEL", "locked", "The database file \"%1\" is locked by another program");
    }
    void schemeFilesLeftOut()
    {
        SKIP_ON_POSTGRES("scheme files");
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
        QTest::newRow("full disk") << u"full"_s << u"The disk of the folder \"%1\" is full"_s;
        QTest::newRow("read-only file system")
            << u"read-only"_s << u"The folder \"%1\" is on a read-only file system"_s;
        QTest::newRow("an ordinary user, the server root's")
            << u"nobody"_s << u"The user \"nobody\" may not write to \"%1\" (owner root)"_s;
    }
    void serverFolderFaults()
    {
        SKIP_ON_POSTGRES("folder");
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
        QTest::newRow("released after two seconds") << 2200 << 0 << true;
        QTest::newRow("never released") << -1 << 54 << true;
    }
    void writeLockOfAnotherConnection()
    {
        SKIP_ON_POSTGRES("write lock");
        QFETCH(int, releaseAtMs);
        QFETCH(int, error);
        QFETCH(bool, pastTwoSeconds);
        TSqliteBackend holder;
        TSqliteBackend waiter;
        holder.OpenAsAdministrator(server->Folder(), false);
        waiter.OpenAsAdministrator(server->Folder(), false);
        holder.Connection()->BeginWrite(u"ZANDRELL5"_s);
        const int usual = TSqliteConnection::BusyTimeoutMs();
        TSqliteConnection::SetBusyTimeoutMs(3000);
        RecordingIndicator indicator;
        indicator.releaseAtMs = releaseAtMs;
        if (releaseAtMs >= 0)
            indicator.release = [&holder] { holder.Connection()->Commit(); };
        const EDAError e = errorOf([&] { waiter.Connection()->BeginWrite(u"ZANDRELL5"_s); });
        TSqliteConnection::SetBusyTimeoutMs(usual);
        QCOMPARE(e.ErrorCode(), error);
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
