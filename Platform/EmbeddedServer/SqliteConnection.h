#pragma once
// One open SQLite server: the accounts database as "main" and every scheme
// file attached under its name, with the SQL functions and temporary views
// (DUAL, ALL_OBJECTS) that the Oracle SQL of the console needs. Both exist
// only on the connection that made them, so they are made at every opening.
//
// Client statements may not touch the accounts database (an authorizer
// refuses them); the server's own procedures may, inside an InternalScope.
#include "Core/PlatformExport.h"
#include "DataAccess/DAError.h"
#include "DataAccess/OraParam.h"
#include "DataAccess/ResultSet.h"
#include "EmbeddedServer/StatementCache.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <initializer_list>
#include <span>

struct sqlite3;

class PLATFORM_EXPORT TSqliteConnection {
public:
    TSqliteConnection();
    ~TSqliteConnection();
    TSqliteConnection(const TSqliteConnection &) = delete;
    TSqliteConnection &operator=(const TSqliteConnection &) = delete;

    // Opens the server folder; create: make the folder and accounts.db when missing.
    void Open(const QString &folder, bool create);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    sqlite3 *Handle() const { return m_db; }
    const QString &Folder() const { return m_folder; }

    // The attached schemes, upper case, in file-name order.
    const QStringList &Schemes() const { return m_schemes; }
    bool HasScheme(const QString &scheme) const;
    // Attaches <folder>/<SCHEME>.db (create: make an empty file).
    void AttachScheme(const QString &scheme, bool create);
    // Whether a scheme declares a server object (its SERVER_OBJECTS table).
    bool SchemeHasObject(const QString &scheme, const QString &objectName) const;

    // The logged-in account (upper case); the administrator may create accounts and objects.
    QString SessionUser;
    bool Administrator = false;
    QHash<QString, QString> Nls;

    // Statements on the connection. Named parameters bind by name without
    // regard to case; an empty text binds as NULL (as Oracle does).
    TResultSet Query(const QString &sql, const QVariantList &positional = {});
    TResultSet Query(const QString &sql, const TOraParams &params);
    int Exec(const QString &sql, const QVariantList &positional = {});
    int Exec(const QString &sql, const TOraParams &params);
    // A single value (first column of the first row; later rows are not read), null when no row.
    QVariant Scalar(const QString &sql, const QVariantList &positional = {});
    QVariant Scalar(const QString &sql, std::initializer_list<QVariant> positional);
    // Prepares and drops a statement: raises what preparing raises.
    void Check(const QString &sql);
    // How many prepared statements are kept for running again.
    int CachedStatementCount() const { return m_statements.Size(); }

    // Transactions: BeginWrite starts the session's write transaction (waits
    // for another writer up to the busy timeout, then tries again).
    void BeginWrite();
    void Commit();
    void Rollback();
    bool InTransaction() const;

    // While one exists, statements may read and write the accounts database.
    class PLATFORM_EXPORT InternalScope {
    public:
        explicit InternalScope(TSqliteConnection &c) : m_c(c) { ++m_c.m_internal; }
        ~InternalScope() { --m_c.m_internal; }
        InternalScope(const InternalScope &) = delete;
        InternalScope &operator=(const InternalScope &) = delete;

    private:
        TSqliteConnection &m_c;
    };
    bool IsInternal() const { return m_internal > 0; }

    // How long a statement waits for another program's write lock before it
    // fails with ORA-00054 (the wait is reported to the DbWait indicator);
    // tests shorten it.
    static constexpr int kBusyTimeoutMs = 10000;
    static int BusyTimeoutMs();
    static void SetBusyTimeoutMs(int ms);
    static QString AccountsFileName() { return QStringLiteral("accounts.db"); }
    static bool IsValidSchemeName(const QString &name);

private:
    void RegisterFunctions();
    void CreateTempViews();
    struct TBusyWaitScope;
    static int OnBusy(void *connection, int count);
    void EndBusyWait();
    void CheckAccounts(const QString &path, bool create);
    void ProbeFile(const QString &schema, const QString &path);
    // Runs a statement: parameters by name from params, else by position.
    TExecResult Run(const QString &sql, const TOraParams *params, std::span<const QVariant> positional, bool wantRows);
    QVariant ScalarOf(const QString &sql, std::span<const QVariant> positional);
    void PrepareStatement(const QString &sql, TCachedStatement *statement);
    const QList<TColumnInfo> &DescribeColumns(TCachedStatement *statement) const;

    QString m_connectionName;
    QSqlDatabase m_qdb;
    sqlite3 *m_db = nullptr;
    QString m_folder;
    QStringList m_schemes;
    mutable QHash<QString, bool> m_objectCache;
    TStatementCache m_statements;
    int m_internal = 0;
    bool m_busy = false;
    QElapsedTimer m_busySince;
};

// Raises the Oracle error that matches an SQLite failure.
[[noreturn]] PLATFORM_EXPORT void RaiseSqliteError(sqlite3 *db, int rc, const QString &context);
// The Oracle error for an SQLite message (exposed for tests).
PLATFORM_EXPORT EDAError OraErrorOfSqlite(int rc, const QString &message);
