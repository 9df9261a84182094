#include "Source/ComUnits/uOraFunctions.h"

#include "Core/Exceptions.h"
#include "DataAccess/OraErrorHandler.h"
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraStoredProc.h"

void fSetShemaName(QString &objectName, const QString &scheme)
{
    const qsizetype dot = objectName.indexOf(QLatin1Char('.'));
    if (dot < 0)
        throw Exception(QStringLiteral("uOraFunctions.fSetShemaName: Symbol \".\" is not found in \"") + objectName +
                        QLatin1Char('"'));
    objectName = scheme + objectName.mid(dot);
}

QString QualifyObjectName(const QString &name, const QString &scheme)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return scheme + QLatin1Char('.') + (dot < 0 ? name : name.mid(dot + 1));
}

namespace {

void pointAtScheme(QObject *component, const QString &scheme)
{
    if (auto *proc = qobject_cast<TOraStoredProc *>(component)) {
        QString name = proc->StoredProcName();
        fSetShemaName(name, scheme);
        if (name == proc->StoredProcName())
            return;
        // The new name rebuilds the call; the parameters keep their values.
        proc->SetStoredProcName(name);
        proc->PrepareSQL();
        return;
    }
    if (auto *query = qobject_cast<TOraDataSet *>(component)) {
        query->MacroByName(QStringLiteral("Shema")).SetValue(scheme);
        return;
    }
    if (auto *package = qobject_cast<TOraPackage *>(component)) {
        QString name = package->PackageName();
        fSetShemaName(name, scheme);
        package->SetPackageName(name);
    }
}

int tagOf(QObject *component)
{
    if (auto *dataSet = qobject_cast<TDataSet *>(component))
        return dataSet->Tag();
    if (auto *package = qobject_cast<TOraPackage *>(component))
        return package->Tag();
    return 0;
}

} // namespace

void fSetShema(QObject *owner, const QString &scheme)
{
    if (scheme.isEmpty())
        throw Exception(QStringLiteral("uOraFunctions.fSetShema: \r\nSchema is not define"));
    for (QObject *component : owner->children()) {
        if (tagOf(component) != 0)
            continue;
        try {
            pointAtScheme(component, scheme);
        } catch (const Exception &e) {
            throw Exception(component->objectName() + QStringLiteral(": ") + e.message());
        }
    }
}

void SetComponentsSession(QObject *owner, TOraSession *session)
{
    for (QObject *component : owner->children()) {
        if (auto *dataSet = qobject_cast<TOraDataSet *>(component))
            dataSet->SetSession(session);
        else if (auto *package = qobject_cast<TOraPackage *>(component))
            package->SetSession(session);
        else if (auto *handler = qobject_cast<TOraErrorHandler *>(component))
            handler->SetSession(session);
    }
}
