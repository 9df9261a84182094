#include "DataAccess/DbBackend.h"

#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/OracleBackend.h"

#include <QHash>
#include <QMutex>

TDbBackend::~TDbBackend() = default;

namespace {

struct TBackendRegistry {
    QMutex lock;
    QHash<QString, TBackendFactory> factories{
        {QStringLiteral("oracle"), [] { return std::unique_ptr<TDbBackend>(new TOracleBackend); }}};
};

TBackendRegistry &registry()
{
    static TBackendRegistry instance;
    return instance;
}

TBackendFactory factoryOf(const QString &name)
{
    QMutexLocker locker(&registry().lock);
    return registry().factories.value(name.toLower());
}

} // namespace

void RegisterBackend(const QString &name, TBackendFactory factory)
{
    QMutexLocker locker(&registry().lock);
    registry().factories.insert(name.toLower(), factory);
}

bool BackendRegistered(const QString &name) { return factoryOf(name) != nullptr; }

std::unique_ptr<TDbBackend> CreateBackend(const QString &serverAlias)
{
    const TServerAlias alias = ResolveServerAlias(serverAlias);
    if (const TBackendFactory factory = factoryOf(alias.backend))
        return factory();
    RaiseConfigError(OraErr::UnknownService, Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_ServerBackendUnknown")),
                                                 alias.name, ServersIniPath(), alias.backend));
}
