#include "DbBackend.h"

#include "OracleBackend.h"
#include "SqliteBackend.h"

TDbBackend::~TDbBackend() = default;

std::unique_ptr<TDbBackend> CreateBackend(const QString &serverAlias)
{
    TServerAlias alias;
    if (serverAlias.trimmed().isEmpty() || !FindServerAlias(serverAlias, &alias))
        RaiseOraError(OraErr::UnknownService, QStringLiteral("TNS:could not resolve the connect identifier specified (%1)")
                                                  .arg(serverAlias.trimmed()));
    if (alias.backend == QLatin1String("oracle"))
        return std::make_unique<TOracleBackend>();
    if (alias.backend == QLatin1String("sqlite"))
        return std::make_unique<TSqliteBackend>();
    RaiseOraError(OraErr::UnknownService,
                  QStringLiteral("TNS:could not resolve the connect identifier specified (%1: unknown backend \"%2\" in %3)")
                      .arg(alias.name, alias.backend, ServersIniPath()));
}
