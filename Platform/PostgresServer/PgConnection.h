#pragma once
// One connection to a PostgreSQL server through Qt's QPSQL driver: statements
// with their values in $1, $2, ... order, prepared once per text and kept,
// rows handed back as the data sets take them (Oracle's upper-case column
// names, NUMBER(9) as integers, NUMBER(12,2) with its scale, NOT NULL columns
// required), and the transaction the session keeps from its first change to
// its commit. A statement that fails inside that transaction undoes only its
// own work, as on Oracle: each one runs inside a savepoint.
#include "Core/PlatformExport.h"
#include "DataAccess/ResultSet.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSqlError;
class QSqlQuery;

struct TPgConnectInfo {
    QString host; // a host name, or the folder of the server's Unix socket
    int port = -1;
    QString database;
    QString user;
    QString password;
    // Settings of the session (-c name=value at connecting).
    QHash<QString, QString> settings;
};

class PLATFORM_EXPORT TPgConnection {
public:
    TPgConnection();
    ~TPgConnection();
    TPgConnection(const TPgConnection &) = delete;
    TPgConnection &operator=(const TPgConnection &) = delete;

    // Raises the Oracle error of a failed log-in (1017, 28000, 12541, ...).
    void Open(const TPgConnectInfo &info);
    // Uncommitted work is rolled back.
    void Close();
    bool IsOpen() const;

    // A statement with values for $1, $2, ...; rows when it returns any.
    TExecResult Run(const QString &sql, const QVariantList &values = {});
    // Prepares a statement (and keeps it): raises what is wrong with it, a missing table (942).
    void Prepare(const QString &sql);
    // A statement that cannot be prepared (definitions, transaction control), without values.
    void ExecDirect(const QString &sql);
    // The first value of the first row, or null.
    QVariant Scalar(const QString &sql, const QVariantList &values = {});

    bool InTransaction() const { return m_inTransaction; }
    void Begin();
    void Commit();
    void Rollback();
    // Runs work so that a failure undoes what it did and nothing before it:
    // inside a savepoint of the open transaction.
    void Atomically(const std::function<void()> &work);

    // The statements kept prepared are bounded.
    static constexpr int kKeptStatements = 96;
    int KeptStatementCount() const { return int(m_kept.size()); }

private:
    struct TKept;
    TKept &Prepared(const QString &sql);
    void Forget(const QString &sql);
    TExecResult RunOnce(const QString &sql, const QVariantList &values, QSqlError *failed);
    TResultSet RowsOf(QSqlQuery &query);
    QList<bool> NotNullColumns(unsigned tableOid);
    [[noreturn]] void Raise(const QSqlError &error);

    QString m_name;
    bool m_inTransaction = false;
    int m_transaction = 0; // counts the transactions begun
    int m_savepoints = 0;  // names the savepoints
    QHash<QString, std::shared_ptr<TKept>> m_kept;
    QStringList m_keptOrder; // least recently used first
    // Statements let go of while the transaction could not take their DEALLOCATE.
    std::vector<std::shared_ptr<TKept>> m_discarded;
    QHash<unsigned, QList<bool>> m_notNull;
};
