#pragma once
// A fresh demo server for each test: the demo database is built once per
// test program from Scheme/ (with the builder's own code) and copied into a
// new temporary folder for every test, with a Servers.ini that names it
// "ZANDRELL" (and an alias whose files are missing, "NOFILES").
//
// With ZANDRELL_TEST_BACKEND=postgres the same tests run against PostgreSQL:
// the program's private cluster (PgTestCluster.h) gives each test a database
// of its own copied from the installed demo scheme, "ZANDRELL" names it and
// "NOFILES" a database that is not there. A test of the embedded server's own
// files skips itself there (OnPostgres()).
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"
#include "tests/common/PgTestCluster.h"
#include "tools/dbbuild/DbBuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// A session to an alias of the current Servers.ini, logged in without a dialog.
inline std::unique_ptr<TOraSession> ConnectTo(const QString &alias, const QString &user = QStringLiteral("ZL_USER"),
                                              const QString &password = QStringLiteral("demo"))
{
    auto s = std::make_unique<TOraSession>();
    s->SetConnectPrompt(false);
    s->SetServer(alias);
    s->SetUsername(user);
    s->SetPassword(password);
    s->Connect();
    return s;
}

class TestServer {
public:
    // The tests run against PostgreSQL.
    static bool OnPostgres() { return qEnvironmentVariable("ZANDRELL_TEST_BACKEND") == QLatin1String("postgres"); }

    // Builds the template once (call from initTestCase); on PostgreSQL starts
    // the cluster, or skips the program with the reason.
    static void BuildTemplate()
    {
        static QTemporaryDir dir;
        if (OnPostgres()) {
            PgTestCluster::Require(&s_cluster);
            return;
        }
        if (!s_template.isEmpty())
            return;
        QVERIFY(dir.isValid());
        const QString source = qEnvironmentVariable("ZANDRELL_SOURCE_DIR") + QStringLiteral("/Scheme");
        BuildServerFolder(source, dir.filePath(QStringLiteral("ZANDRELL")));
        s_template = dir.filePath(QStringLiteral("ZANDRELL"));
    }

    TestServer()
    {
        if (OnPostgres()) {
            QVERIFY2(s_cluster, "TestServer::BuildTemplate() first");
            m_database = s_cluster->MakeDatabase();
            s_cluster->WriteAlias(IniPath(), QStringLiteral("ZANDRELL"), m_database);
            s_cluster->WriteAlias(IniPath(), QStringLiteral("NOFILES"), QStringLiteral("zandrell_missing"));
            SetServersIniPath(IniPath());
            return;
        }
        QDir().mkpath(m_dir.filePath(QStringLiteral("Db/ZANDRELL")));
        const QDir from(s_template);
        for (const QString &f : from.entryList(QDir::Files))
            QFile::copy(from.filePath(f), m_dir.filePath(QStringLiteral("Db/ZANDRELL/") + f));
        WriteServerAlias(IniPath(), QStringLiteral("ZANDRELL"), QStringLiteral("Db/ZANDRELL"));
        WriteServerAlias(IniPath(), QStringLiteral("NOFILES"), QStringLiteral("Db/NOFILES"));
        SetServersIniPath(IniPath());
    }
    ~TestServer()
    {
        SetServersIniPath(QString());
        if (!m_database.isEmpty() && s_cluster) {
            try {
                s_cluster->DropDatabase(m_database);
            } catch (const std::exception &e) {
                qWarning("the test's database %s stays: %s", qPrintable(m_database), e.what());
            }
        }
    }

    // PostgreSQL: the test's database, and the server's own SQL run in it as its administrator.
    QString Database() const { return m_database; }
    void AdminExec(const QString &sql) const { s_cluster->AdminExec(m_database, sql); }
    TPgServerPlace Administrator() const { return s_cluster->Administrator(); }

    QString IniPath() const { return m_dir.filePath(QStringLiteral("Servers.ini")); }
    QString Folder() const { return m_dir.filePath(QStringLiteral("Db/ZANDRELL")); }

    // A session logged in without a dialog.
    std::unique_ptr<TOraSession> Connect(const QString &user = QStringLiteral("ZL_USER"),
                                         const QString &password = QStringLiteral("demo")) const
    {
        return ConnectTo(QStringLiteral("ZANDRELL"), user, password);
    }

private:
    QTemporaryDir m_dir;
    QString m_database;
    static inline QString s_template;
    static inline PgTestCluster *s_cluster = nullptr;
};

// The first column of the first row the query gives; null when none.
inline QVariant Scalar(TOraSession *s, const QString &sql, const QVariantList &values = {})
{
    TOraQuery q;
    q.SetSession(s);
    q.SetSQLText(sql);
    for (int i = 0; i < values.size(); ++i)
        q.Params()[i].SetAsVariant(values[i]);
    q.Open();
    return q.IsEmpty() ? QVariant() : q.Fields(0)->AsVariant();
}

// The Oracle error code of what the call raises; 0 when it raises none.
inline int ErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const EDAError &e) {
        return e.ErrorCode();
    }
    return 0;
}
