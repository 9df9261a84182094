// The embedded server's accounts and connections: Argon2id password hashes in
// their self-describing form, hashes of the older PBKDF2 form still accepted
// and replaced at the next successful log-in, damaged stored texts refused;
// Servers.ini missing, damaged or wrong, an accounts database that is empty
// or damaged, and a write lock that another connection holds.
#include "DbWait.h"
#include "PasswordHash.h"
#include "SqliteBackend.h"
#include "SqliteConnection.h"
#include "TestServer.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRegularExpression>
#include <QTest>

namespace {

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
    return admin.Connection()->Scalar(QStringLiteral("SELECT PASSWORD_HASH FROM main.ACCOUNTS WHERE USERNAME = ?"), {user}).toString();
}

// Connects to the alias; the error it raised (code 0: none).
EDAError connectError(const QString &alias, const QString &user = QStringLiteral("ZL_USER"),
                      const QString &password = QStringLiteral("demo"))
{
    try {
        TOraSession s;
        s.SetConnectPrompt(false);
        s.SetServer(alias);
        s.SetUsername(user);
        s.SetPassword(password);
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

class TestServerAccounts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestServer::BuildTemplate(); }

    void newHashesAreArgon2idWithTheirCost()
    {
        const QString first = HashPassword(QStringLiteral("demo"));
        static const QRegularExpression form(QStringLiteral("^\\$argon2id\\$v=19\\$m=19456,t=2,p=1\\$[A-Za-z0-9+/]{22}\\$"
                                                            "[A-Za-z0-9+/]{43}$"));
        QVERIFY2(form.match(first).hasMatch(), qPrintable(first));
        // A salt of its own each time.
        QVERIFY(HashPassword(QStringLiteral("demo")) != first);
        QVERIFY(!PasswordNeedsRehash(first));
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
        QTest::newRow("Argon2id of a lower cost") << QString::fromLatin1("$argon2id$v=19$m=8192,t=1,p=1$c2FsdHNhbHRzYWx0c2FsdA$"
                                                                         "7UR5UiJN6dqGeVDuL0xgbdqBtzrf1LvWEukJxB5fb3k")
                                                  << "x" << false << true;
        QTest::newRow("PBKDF2, right password") << legacyHash(QStringLiteral("Secret 1")) << "Secret 1" << true << true;
        QTest::newRow("PBKDF2, wrong password") << legacyHash(QStringLiteral("Secret 1")) << "Secret 2" << false << true;
        QTest::newRow("PBKDF2 without iterations") << legacyHash(QStringLiteral("x")).replace("$20000$", "$0$") << "x" << false
                                                   << true;
        QTest::newRow("empty") << QString() << "x" << false << true;
        QTest::newRow("garbage") << "not a hash at all" << "x" << false << true;
        // Cut inside its salt: the form itself is broken (a hash cut inside its last field may still parse).
        QTest::newRow("Argon2id cut short") << current.left(current.size() - 50) << "Secret 1" << false << true;
        // A damaged cost must not make a log-in take a gigabyte or minutes.
        QTest::newRow("Argon2id asking 4 GiB") << QString(current).replace("m=19456", "m=4194304") << "Secret 1" << false << true;
        QTest::newRow("Argon2id asking 1000 passes") << QString(current).replace("t=2", "t=1000") << "Secret 1" << false << true;
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
        TestServer server;
        const QString legacy = legacyHash(QStringLiteral("demo"));
        {
            TSqliteBackend admin;
            admin.OpenAsAdministrator(server.Folder(), false);
            admin.Connection()->Exec(QStringLiteral("UPDATE main.ACCOUNTS SET PASSWORD_HASH = ? WHERE USERNAME = ?"),
                                     {legacy, QStringLiteral("OPERATOR")});
        }
        // A wrong password changes nothing.
        QCOMPARE(connectError(QStringLiteral("ZANDRELL"), QStringLiteral("OPERATOR"), QStringLiteral("typo")).ErrorCode(), 1017);
        QCOMPARE(storedHashOf(server, QStringLiteral("OPERATOR")), legacy);
        QCOMPARE(connectError(QStringLiteral("ZANDRELL"), QStringLiteral("OPERATOR"), QStringLiteral("demo")).ErrorCode(), 0);
        const QString replaced = storedHashOf(server, QStringLiteral("OPERATOR"));
        QVERIFY2(replaced.startsWith(QLatin1String("$argon2id$")), qPrintable(replaced));
        QVERIFY(VerifyPassword(QStringLiteral("demo"), replaced));
        // The next log-in verifies the new hash and leaves it as it is.
        QCOMPARE(connectError(QStringLiteral("ZANDRELL"), QStringLiteral("OPERATOR"), QStringLiteral("demo")).ErrorCode(), 0);
        QCOMPARE(storedHashOf(server, QStringLiteral("OPERATOR")), replaced);
    }

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

QTEST_GUILESS_MAIN(TestServerAccounts)
#include "tst_ServerAccounts.moc"
