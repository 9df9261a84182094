// Password hashes of the embedded server's accounts: Argon2id in its
// self-describing form, hashes of the older PBKDF2 form still accepted and
// replaced at the next successful log-in, damaged stored texts refused.
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
    return admin.Connection()
        ->Scalar(QStringLiteral("SELECT PASSWORD_HASH FROM main.ACCOUNTS WHERE USERNAME = ?"), {user})
        .toString();
}

void storeHash(const TestServer &server, const QString &user, const QString &hash)
{
    TSqliteBackend admin;
    admin.OpenAsAdministrator(server.Folder(), false);
    admin.Connection()->Exec(QStringLiteral("UPDATE main.ACCOUNTS SET PASSWORD_HASH = ? WHERE USERNAME = ?"), {hash, user});
}

int loginError(const TestServer &server, const QString &user, const QString &password)
{
    try {
        server.Connect(user, password);
    } catch (const EDAError &e) {
        return e.ErrorCode();
    }
    return 0;
}

} // namespace

class TestPasswordHash : public QObject {
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
        QTest::newRow("Argon2id cut short") << current.left(current.size() - 20) << "Secret 1" << false << true;
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
        storeHash(server, QStringLiteral("OPERATOR"), legacy);
        // A wrong password changes nothing.
        QCOMPARE(loginError(server, QStringLiteral("OPERATOR"), QStringLiteral("typo")), 1017);
        QCOMPARE(storedHashOf(server, QStringLiteral("OPERATOR")), legacy);
        QCOMPARE(loginError(server, QStringLiteral("OPERATOR"), QStringLiteral("demo")), 0);
        const QString replaced = storedHashOf(server, QStringLiteral("OPERATOR"));
        QVERIFY2(replaced.startsWith(QLatin1String("$argon2id$")), qPrintable(replaced));
        QVERIFY(VerifyPassword(QStringLiteral("demo"), replaced));
        // The next log-in verifies the new hash and leaves it as it is.
        QCOMPARE(loginError(server, QStringLiteral("OPERATOR"), QStringLiteral("demo")), 0);
        QCOMPARE(storedHashOf(server, QStringLiteral("OPERATOR")), replaced);
    }
};

QTEST_GUILESS_MAIN(TestPasswordHash)
#include "tst_PasswordHash.moc"
