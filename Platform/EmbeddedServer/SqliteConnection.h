#pragma once
// One open SQLite server: the accounts database as "main" and every scheme
// file attached under its name, with the SQL functions and temporary views
// (DUAL, ALL_OBJECTS) that the Oracle SQL of the console needs. Both exist
// only on the connection that made them, so they are made at every opening.
//
// Client statements may not touch the accounts database (an authorizer
// refuses them); the server's own procedures may, inside an InternalScope.
//
// A scheme file is attached only when it is a scheme of this server (it has
// the table SERVER_OBJECTS): an empty file, a damaged one, another program's
// SQLite file or one locked by another program is left as it is, and
// SchemeFault says why. Only the files of this server are put in WAL mode,
// where readers never wait for a writer.
//
// Locks: a session's transaction takes the write lock of each database it
// changes, and only of that one, when it first changes it; a session table
// (SessionTables.h) takes none. Another session's uncommitted change thus
// never stops a read, and a second writer of the same scheme waits up to the
// lock wait and then gets ORA-00054 naming the scheme.
#include "Core/PlatformExport.h"
#include "DataAccess/DAError.h"
#include "DataAccess/OraParam.h"
#include "DataAccess/ResultSet.h"
#include "EmbeddedServer/SessionTables.h"
#include "EmbeddedServer/StatementCache.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
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
    // Attaches <folder>/<SCHEME>.db, raising what keeps it out (create: make
    // the file when missing, as a scheme of this server).
    void AttachScheme(const QString &scheme, bool create);
    // Whether a scheme declares a server object (its SERVER_OBJECTS table).
    bool SchemeHasObject(const QString &scheme, const QString &objectName) const;
    // Why a scheme is not attached, naming its file (missing, empty, damaged,
    // another program's, locked); empty when it is attached or no valid name.
    QString SchemeFault(const QString &scheme) const;
    // Whether the scheme's file is there but was left out (SchemeFault says why).
    bool SchemeLeftOut(const QString &scheme) const { return m_schemeFaults.contains(scheme.trimmed().toUpper()); }

    // The session's copy of a session table of a scheme (temp."S.T"); empty when the table is none.
    QString SessionTable(const QString &scheme, const QString &table) const;
    // The session tables as "SCHEME.TABLE", upper case.
    const QSet<QString> &SessionTableKeys() const { return m_sessionTableKeys; }
    // Administrator: keeps the declaration in its scheme and makes this session's copy.
    void DeclareSessionTable(const TSessionTableDecl &decl);

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

    // Transactions. BeginTransaction starts the session's transaction without
    // a lock; BeginWrite also takes the write lock of one database (a scheme,
    // or "main" for the accounts) unless the transaction holds it already:
    // another writer of it is waited for up to the lock wait, then ORA-00054.
    void BeginTransaction();
    void BeginWrite(const QString &database);
    void Commit();
    void Rollback();
    bool InTransaction() const;
    // Whether the transaction holds the write lock of a scheme or of the accounts.
    bool HoldsWriteLock() const;

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

    // While one exists, a lock of another program is waited for at most that
    // long (0: not at all) instead of the lock wait.
    class PLATFORM_EXPORT TWaitLimit {
    public:
        TWaitLimit(TSqliteConnection &c, int ms) : m_c(c), m_previous(c.m_waitLimitMs) { m_c.m_waitLimitMs = ms; }
        ~TWaitLimit() { m_c.m_waitLimitMs = m_previous; }
        TWaitLimit(const TWaitLimit &) = delete;
        TWaitLimit &operator=(const TWaitLimit &) = delete;

    private:
        TSqliteConnection &m_c;
        int m_previous;
    };

    // Raises the Oracle error for a failed SQLite call on this connection:
    // a lock names the scheme (database, when known), a file fault its cause.
    [[noreturn]] void RaiseError(int rc, const QString &database = QString()) const;

    // How long a statement waits for another program's write lock before it
    // fails with ORA-00054 (the wait is reported to the DbWait indicator);
    // tests shorten it.
    static constexpr int kBusyTimeoutMs = 10000;
    // How long opening waits for a file that another program holds locked
    // before it leaves the file out.
    static constexpr int kFileProbeWaitMs = 500;
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
    // Attaches a scheme file when it is a scheme of this server; else keeps why not.
    bool AttachSchemeFile(const QString &scheme, const QString &path);
    void UseWal(const QString &schema);
    void CreateSessionTables(const QString &scheme);
    void CreateSessionTable(const QString &scheme, const QString &table, const QString &columns);
    QString FileOfDatabase(const QString &database) const;
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
    QHash<QString, QString> m_schemeFaults;  // scheme -> why its file is not attached
    QHash<QString, QString> m_sessionTables; // "S.T" -> temp."S.T"
    QSet<QString> m_sessionTableKeys;
    QHash<QString, QString> m_lockTables; // database -> a table whose deletion of nothing takes its write lock
    QString m_lastWritten;
    TStatementCache m_statements;
    int m_internal = 0;
    int m_waitLimitMs = -1;
    bool m_busy = false;
    QElapsedTimer m_busySince;
};

// Raises the Oracle error that matches an SQLite failure.
[[noreturn]] PLATFORM_EXPORT void RaiseSqliteError(sqlite3 *db, int rc, const QString &context);
// The Oracle error for an SQLite message (exposed for tests).
PLATFORM_EXPORT EDAError OraErrorOfSqlite(int rc, const QString &message);
