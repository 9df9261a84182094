#pragma once
// The embedded backend: a server is a folder of SQLite files, one accounts
// database (accounts.db: the log-in accounts with salted password hashes) and
// one file per scheme (ZANDRELL5.db), attached under the scheme's name so
// that "ZANDRELL5.V_ACCESS" works as written. The Oracle SQL of the console is
// translated on the way in (SqlTranslator), and the scheme's server-side
// procedures are C++ procedures (SchemeServer).
//
// Transactions: a session writes inside one transaction from its first change
// to its Commit; other sessions see the change only then. Files are in WAL
// mode, and a transaction locks only the scheme it changes (SqliteConnection),
// so two processes work on one server at once and readers never wait.
#include "DataAccess/DbBackend.h"

#include <QHash>

#include <memory>

struct sqlite3;
class TSqliteConnection;

class PLATFORM_EXPORT TSqliteBackend : public TDbBackend {
public:
    TSqliteBackend();
    ~TSqliteBackend() override;

    void Connect(const TConnectParams &params) override;
    void Disconnect() override;
    bool Connected() const override;
    TExecResult Execute(const QString &sql, TOraParams &params) override;
    void Commit() override;
    void Rollback() override;
    bool InTransaction() const override;
    QList<TProcArgInfo> DescribeProcedure(const QString &name) override;
    QString NlsValue(const QString &name) const override;
    QString SchemeFault(const QString &scheme) const override;
    void Prepare(const QString &sql) override;

    // Opens a server folder without a log-in, as its administrator (the build
    // tool): may create scheme files and accounts. create: make the folder and
    // the accounts database when missing.
    void OpenAsAdministrator(const QString &folder, bool create);
    // Administrator only: adds an empty scheme file and attaches it.
    void CreateScheme(const QString &scheme);

    TSqliteConnection *Connection() const { return m_connection.get(); }

private:
    struct TParsedStatement;
    // What the statement is and its SQLite text (or its block's steps), read once per text.
    std::shared_ptr<const TParsedStatement> Parsed(const QString &sql);
    TExecResult ExecuteStatement(const QString &sql, TOraParams &params);
    void RunBlock(const TParsedStatement &block, TOraParams &params);
    // Begins the transaction of a change, with the write lock of the scheme it writes when known.
    void BeginWriteOf(const QString &scheme);
    QVariant Evaluate(const QString &expression, const TOraParams &params);

    std::unique_ptr<TSqliteConnection> m_connection;
    QHash<QString, std::shared_ptr<const TParsedStatement>> m_parsed;
};

// Makes the embedded server the backend of "sqlite" aliases. It runs when the
// library loads; programs call it as well, which also keeps the library linked.
PLATFORM_EXPORT void RegisterEmbeddedServer();
