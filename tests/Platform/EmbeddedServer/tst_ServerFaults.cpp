// Faults around the embedded server: Servers.ini missing, damaged or wrong,
// an accounts database that is empty or damaged, and a write lock that
// another connection holds.
#include "DbWait.h"
#include "SqliteBackend.h"
#include "SqliteConnection.h"
#include "TestServer.h"

#include <QTest>

namespace {

// Connects as ZL_USER to the alias; the error it raised (code 0: none).
EDAError connectError(const QString &alias)
{
    try {
        TOraSession s;
        s.SetConnectPrompt(false);
        s.SetServer(alias);
        s.SetUsername(QStringLiteral("ZL_USER"));
        s.SetPassword(QStringLiteral("demo"));
        s.Connect();
    } catch (const EDAError &e) {
        return e;
    }
    return EDAError(0, QString());
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
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

class TestServerFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void serverListFaults_data()
    {
        QTest::addColumn<QByteArray>("serversIni"); // "<none>": no file
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("detail");        // %1: the path of Servers.ini
        QTest::newRow("missing") << QByteArray("<none>") << "ZANDRELL" << "The server list \"%1\" is not found";
        QTest::newRow("binary junk") << QByteArray("\x7f" "ELF\x02\x01\x00\x00garbage", 14) << "ZANDRELL"
                                     << "The server list \"%1\" is damaged (line 1)";
        QTest::newRow("cut in a section name") << QByteArray("[ZANDRELL]\nPath=Db/ZANDRELL\n[PRO") << "ZANDRELL"
                                               << "The server list \"%1\" is damaged (line 3)";
        QTest::newRow("unknown alias") << QByteArray("[ZANDRELL]\nPath=Db/ZANDRELL\n") << "NOWHERE"
                                       << "Server \"NOWHERE\" is not described in \"%1\"";
        QTest::newRow("unknown backend") << QByteArray("[ODD]\nBackend=postgres\nPath=Db/ZANDRELL\n") << "odd"
                                         << "Server \"ODD\" in \"%1\": unknown backend \"postgres\"";
        QTest::newRow("no database path") << QByteArray("; the path was forgotten\n[ZANDRELL]\nBackend=sqlite\n")
                                          << "ZANDRELL" << "Server \"ZANDRELL\" in \"%1\": no database path (Path) is given";
    }
    void serverListFaults()
    {
        QFETCH(QByteArray, serversIni);
        QFETCH(QString, alias);
        QFETCH(QString, detail);
        TestServer server;
        QFile::remove(server.IniPath());
        if (serversIni != "<none>") {
            QFile f(server.IniPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(serversIni);
        }
        const EDAError e = connectError(alias);
        // Every fault of the name's resolution is ORA-12154, as on Oracle.
        QCOMPARE(e.ErrorCode(), 12154);
        QCOMPARE(e.Detail(), detail.arg(server.IniPath()));
        QVERIFY2(e.message().contains(e.Detail()), qPrintable(e.message()));
    }

    void accountsDatabaseFaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("garbage") << QByteArray(4096, '\xA5');
        QTest::newRow("cut after its header") << QByteArray("SQLite format 3\0", 16);
    }
    void accountsDatabaseFaults()
    {
        QFETCH(QByteArray, content);
        TestServer server;
        const QString accounts = server.Folder() + QStringLiteral("/accounts.db");
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
            QCOMPARE(e.Detail(), QStringLiteral("The accounts database \"%1\" is damaged").arg(accounts));
        }
        // Reported, never made anew: the file is as it was.
        QCOMPARE(fileBytes(accounts), content);
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
        TestServer server;
        TSqliteBackend holder;
        TSqliteBackend waiter;
        holder.OpenAsAdministrator(server.Folder(), false);
        waiter.OpenAsAdministrator(server.Folder(), false);
        holder.Connection()->BeginWrite();
        const int usual = TSqliteConnection::BusyTimeoutMs();
        TSqliteConnection::SetBusyTimeoutMs(3000);
        RecordingIndicator indicator;
        indicator.releaseAtMs = releaseAtMs;
        if (releaseAtMs >= 0)
            indicator.release = [&holder] { holder.Connection()->Commit(); };
        int code = 0;
        try {
            waiter.Connection()->BeginWrite();
        } catch (const EDAError &e) {
            code = e.ErrorCode();
        }
        TSqliteConnection::SetBusyTimeoutMs(usual);
        QCOMPARE(code, error);
        QCOMPARE(waiter.Connection()->InTransaction(), error == 0);
        // One wait, told from its start to its end, however it ended.
        QCOMPARE(indicator.started, 1);
        QCOMPARE(indicator.ended, 1);
        QCOMPARE(indicator.longest >= 2000, pastTwoSeconds);
    }
};

QTEST_GUILESS_MAIN(TestServerFaults)
#include "tst_ServerFaults.moc"
