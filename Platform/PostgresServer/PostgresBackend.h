#pragma once
// The shared scheme server: a PostgreSQL 15 database with orafce, reached
// through Qt's QPSQL driver. A Servers.ini alias names it:
//
//   [ZANDRELL_PG]
//   Backend=postgres
//   Host=/var/run/postgresql   ; a host name, or the folder of the server's Unix socket
//   Port=5432
//   Database=zandrell
//
// The scheme is a schema of the database (ZANDRELL5), its packages schemas of
// functions (menupack.ins_access), its accounts the server's roles (the user
// name in lower case, its password checked by the server). The Oracle SQL of
// the console is translated where orafce does not cover it (PgTranslator),
// anonymous blocks run call by call, and the server's errors come back with
// the Oracle numbers (PgErrors). Reads take no transaction; the first change
// begins one that lasts until Commit, so uncommitted work of one console never
// makes another wait for a log-in or a read.
#include "DataAccess/DbBackend.h"

#include <QHash>
#include <QSet>

#include <memory>

class TPgConnection;
class TPgCatalog;
struct TPlsqlStep;

class PLATFORM_EXPORT TPostgresBackend : public TDbBackend {
public:
    TPostgresBackend();
    ~TPostgresBackend() override;

    void Connect(const TConnectParams &params) override;
    void Disconnect() override;
    bool Connected() const override;
    TExecResult Execute(const QString &sql, TOraParams &params) override;
    void Commit() override;
    void Rollback() override;
    bool InTransaction() const override;
    QList<TProcArgInfo> DescribeProcedure(const QString &name) override;
    QString NlsValue(const QString &name) const override;
    void Prepare(const QString &sql) override;

    // How long a change waits for a row another session changed and has not
    // committed yet (then ORA-00054), for the sessions that connect afterwards.
    static constexpr int kLockWaitMs = 10000;
    static int LockWaitMs();
    static void SetLockWaitMs(int ms);

    QString SchemeFault(const QString &scheme) const override;

private:
    TExecResult ExecuteStatement(const QString &sql, TOraParams &params);
    TExecResult RunTranslated(const QString &oracleSql, const TOraParams &params);
    void RunBlock(const QString &block, TOraParams &params);
    void RunCall(const TPlsqlStep &step, TOraParams &params);
    void AlterSession(const QString &sql);
    void EnsureSessionTables(const QStringList &tables);
    [[noreturn]] void RaiseBusy(const EDAError &error, const QString &sql);

    std::unique_ptr<TPgConnection> m_connection;
    std::unique_ptr<TPgCatalog> m_catalog;
    QString m_database;
    QHash<QString, QString> m_nls;
    QSet<QString> m_sessionTablesMade;
};

// Makes the PostgreSQL backend the backend of "postgres" aliases. It runs when
// the library loads; programs call it as well, which also keeps the library linked.
PLATFORM_EXPORT void RegisterPostgresServer();
