#pragma once
// TDbBackend: what a session needs from the database behind it. The session
// chooses the backend by the server alias (Servers.ini); every failure is an
// EDAError with the Oracle error number.
#include "Core/PlatformExport.h"
#include "DataAccess/DAError.h"
#include "DataAccess/OraParam.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ResultSet.h"
#include "DataAccess/ServerAliases.h"

#include <memory>

struct TConnectParams {
    TServerAlias server;
    QString username;
    QString password;
    int home = 0;
    TOraSessionOptions options;
};

class PLATFORM_EXPORT TDbBackend {
public:
    virtual ~TDbBackend();
    virtual void Connect(const TConnectParams &params) = 0;
    virtual void Disconnect() = 0;
    virtual bool Connected() const = 0;
    // Runs one statement or anonymous block; parameters bind by name and
    // parameters that can receive get the out values back.
    virtual TExecResult Execute(const QString &sql, TOraParams &params) = 0;
    virtual void Commit() = 0;
    virtual void Rollback() = 0;
    virtual bool InTransaction() const = 0;
    virtual QList<TProcArgInfo> DescribeProcedure(const QString &name) = 0;
    virtual QString NlsValue(const QString &) const { return QString(); }
    // Why the scheme is not there, readable (empty: it is, or the server does not tell).
    virtual QString SchemeFault(const QString &) const { return QString(); }
    // Raises the error the statement would raise on preparing (a missing table: 942).
    virtual void Prepare(const QString &sql) = 0;
};

// The backend for a server alias; an unknown alias raises ORA-12154.
PLATFORM_EXPORT std::unique_ptr<TDbBackend> CreateBackend(const QString &serverAlias);

// Backends are known by the name a Servers.ini alias gives in Backend=. The
// Oracle backend is built in; the embedded server registers "sqlite" when its
// library is loaded, so this layer does not depend on it.
using TBackendFactory = std::unique_ptr<TDbBackend> (*)();
PLATFORM_EXPORT void RegisterBackend(const QString &name, TBackendFactory factory);
PLATFORM_EXPORT bool BackendRegistered(const QString &name);
