#pragma once
// The private PostgreSQL server of one test program: made on first use in a
// temporary folder (owned by "postgres", its socket there, no TCP port), the
// demo scheme installed once as a template database, stopped when the
// program ends. Each test gets a database of its own copied from the
// template, and the demo accounts with their passwords as installed.
//
// A machine without the server's packages skips the tests that need it with
// the reason; with ZANDRELL_REQUIRE_POSTGRES=1 (CI) they fail instead.
#include "Core/IniFile.h"
#include "PostgresServer/PgConnection.h"
#include "tools/pgbuild/PgCluster.h"
#include "tools/pgbuild/PgSchemeInstaller.h"

#include <QAtomicInt>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class PgTestCluster {
public:
    static constexpr const char *kTemplate = "zandrell_template";

    // The cluster with the scheme installed, made on first use; when none can run here, skips the test
    // (fails it where PostgreSQL is required) and gives false.
    static bool Require(PgTestCluster **cluster)
    {
        static std::unique_ptr<PgTestCluster> instance;
        static QString failure;
        if (!instance && failure.isEmpty()) {
            failure = TPgCluster::Unavailable();
            if (failure.isEmpty()) {
                try {
                    auto made = std::make_unique<PgTestCluster>();
                    made->m_cluster.Start(made->m_dir.path(), 0, false);
                    made->m_cluster.SetStopAtEnd(true);
                    InstallPgScheme(made->m_cluster.Administrator(),
                                    qEnvironmentVariable("ZANDRELL_SOURCE_DIR") + QStringLiteral("/Scheme/postgres"),
                                    QString::fromLatin1(kTemplate));
                    instance = std::move(made);
                } catch (const std::exception &e) {
                    failure = QString::fromUtf8(e.what());
                }
            }
        }
        *cluster = instance.get();
        if (*cluster)
            return true;
        if (qEnvironmentVariableIntValue("ZANDRELL_REQUIRE_POSTGRES") == 1)
            QTest::qFail(qPrintable(QStringLiteral("PostgreSQL is required here: %1").arg(failure)), __FILE__,
                         __LINE__);
        else
            QTest::qSkip(qPrintable(QStringLiteral("PostgreSQL half skipped: %1").arg(failure)), __FILE__, __LINE__);
        return false;
    }

    TPgServerPlace Administrator() const { return m_cluster.Administrator(); }

    // A fresh database copied from the template, the demo accounts as installed.
    QString MakeDatabase()
    {
        static QAtomicInt counter;
        const QString name = QStringLiteral("zt%1").arg(counter.fetchAndAddRelaxed(1));
        const auto c = Admin(QStringLiteral("postgres"));
        c->ExecDirect(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(name, QString::fromLatin1(kTemplate)));
        for (const char *role : {"zl_user", "operator", "newbie"})
            c->ExecDirect(QStringLiteral("ALTER ROLE %1 LOGIN PASSWORD 'demo'").arg(QString::fromLatin1(role)));
        c->ExecDirect(QStringLiteral("ALTER ROLE locked NOLOGIN PASSWORD 'demo'"));
        return name;
    }
    void DropDatabase(const QString &name)
    {
        Admin(QStringLiteral("postgres"))
            ->ExecDirect(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    }
    // Runs statements of the server's own SQL as its administrator, in a database.
    void AdminExec(const QString &database, const QString &sql) { Admin(database)->ExecDirect(sql); }
    // A connection of the server's administrator to a database.
    std::unique_ptr<TPgConnection> Admin(const QString &database) const
    {
        const TPgServerPlace place = m_cluster.Administrator();
        TPgConnectInfo info;
        info.host = place.host;
        info.port = place.port;
        info.user = place.user;
        info.password = place.password;
        info.database = database;
        info.settings = {{QStringLiteral("client_min_messages"), QStringLiteral("warning")}};
        auto c = std::make_unique<TPgConnection>();
        c->Open(info);
        return c;
    }

    // Names the database in a Servers.ini as the alias.
    void WriteAlias(const QString &serversIni, const QString &alias, const QString &database) const
    {
        WritePostgresAlias(serversIni, alias, m_cluster.Administrator(), database);
    }

private:
    QTemporaryDir m_dir;
    TPgCluster m_cluster; // declared after the folder: stopped before the folder goes
};
