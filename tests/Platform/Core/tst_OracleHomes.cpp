// The one detector of Oracle client homes: oratab parsing, the default home,
// the names the home window and the status bar share, and the home put into
// the client's environment once per run.
#include "OracleHomes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_OracleHomes : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        qunsetenv("ORACLE_HOME");
        qunsetenv("TNS_ADMIN");
        QVERIFY(m_dir.isValid());
        m_oratab = m_dir.filePath(QStringLiteral("oratab"));
        QFile file(m_oratab);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("# comment\nORCL:%1/19c:N\n\nBAD\nTEST:%1/21c/:Y\nDUP:%1/19c:N\n")
                       .arg(m_dir.path())
                       .toUtf8());
        qputenv("ZANDRELL_ORATAB", QFile::encodeName(m_oratab));
    }

    void detection()
    {
        TOracleHomes homes = DetectOracleHomes();
        const QString h19 = m_dir.path() + QStringLiteral("/19c"), h21 = m_dir.path() + QStringLiteral("/21c");
        QCOMPARE(homes.OracleHomeNames, QStringList({h19, h21})); // each path once, trailing slash cleaned
        QCOMPARE(homes.DefaultOracleHome, h19);                   // no ORACLE_HOME: the first listed home
        QCOMPARE(homes.PathOf(2), h21);
        QCOMPARE(homes.PathOf(3), QString());
        QCOMPARE(homes.PathOf(-1), QString());
        QCOMPARE(OracleHomeEntry(homes, 0), QStringLiteral("Default [%1]").arg(h19));
        QCOMPARE(OracleHomeEntry(homes, 1), QStringLiteral("Home0 [%1]").arg(h19));
        QCOMPARE(OracleHomeEntry(homes, 6), QStringLiteral("Home5"));

        qputenv("ORACLE_HOME", "/opt/client/");
        homes = DetectOracleHomes();
        QCOMPARE(homes.DefaultOracleHome, QStringLiteral("/opt/client"));

        qputenv("ZANDRELL_ORATAB", QFile::encodeName(m_dir.filePath(QStringLiteral("missing"))));
        qunsetenv("ORACLE_HOME");
        homes = DetectOracleHomes();
        QCOMPARE(homes.OracleHomeCount(), 0);
        QCOMPARE(OracleHomeEntry(homes, 0), QStringLiteral("Default"));
    }

    // One test: the home is applied once per process.
    void appliedOncePerRun()
    {
        const QString h21 = m_dir.path() + QStringLiteral("/21c");
        QVERIFY(QDir().mkpath(h21 + QStringLiteral("/network/admin")));
        QVERIFY(!OracleHomeApplied());
        QCOMPARE(ApplyOracleHome(2), h21);
        QVERIFY(OracleHomeApplied());
        QCOMPARE(qEnvironmentVariable("ORACLE_HOME"), h21);
        QCOMPARE(qEnvironmentVariable("TNS_ADMIN"), h21 + QStringLiteral("/network/admin"));
        // The client has started: a second choice changes nothing in this run.
        QCOMPARE(ApplyOracleHome(1), h21);
        QCOMPARE(qEnvironmentVariable("ORACLE_HOME"), h21);
    }

private:
    QTemporaryDir m_dir;
    QString m_oratab;
};

QTEST_MAIN(tst_OracleHomes)
#include "tst_OracleHomes.moc"
