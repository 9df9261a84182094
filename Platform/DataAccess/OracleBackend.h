#pragma once
// The backend for a real Oracle server: the statements pass unchanged to a Qt
// SQL driver (QOCI, else QODBC) with named parameters. Without an installed
// driver the connection fails with a readable ORA-12560 error.
#include "DataAccess/DbBackend.h"

#include <QString>

class PLATFORM_EXPORT TOracleBackend : public TDbBackend {
public:
    TOracleBackend();
    ~TOracleBackend() override;

    void Connect(const TConnectParams &params) override;
    void Disconnect() override;
    bool Connected() const override;
    TExecResult Execute(const QString &sql, TOraParams &params) override;
    void Commit() override;
    void Rollback() override;
    bool InTransaction() const override;
    QList<TProcArgInfo> DescribeProcedure(const QString &name) override;
    void Prepare(const QString &sql) override;

    // The driver used for an alias: its Driver, else QOCI when installed, else QODBC when installed, else empty.
    static QString ChooseDriver(const QString &wanted);

private:
    QString m_connectionName;
    bool m_inTransaction = false;
};
