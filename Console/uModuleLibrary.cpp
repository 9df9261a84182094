#include "uModuleLibrary.h"

#include "uModuleFaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <dlfcn.h>

namespace {

QString g_moduleFolder;

// Keeps a module loaded until the objects it watches are gone.
class TModuleKeeper : public QObject {
public:
    TModuleKeeper(void *handle, const QString &path, const QList<QPointer<QObject>> &objects)
        : FHandle(handle), FPath(path)
    {
        for (const QPointer<QObject> &object : objects) {
            if (!object)
                continue;
            ++FAlive;
            connect(object, &QObject::destroyed, this, &TModuleKeeper::ObjectDestroyed);
        }
        if (FAlive == 0)
            UnloadSoon();
    }

private:
    void ObjectDestroyed()
    {
        if (--FAlive == 0)
            UnloadSoon();
    }

    // The destroyed object is still running its base destructors (and its
    // children's, which may be the module's): unload on the next turn.
    void UnloadSoon()
    {
        QTimer::singleShot(0, this, [this] {
            const TModuleCall call(FPath);
            dlclose(FHandle);
            delete this;
        });
    }

    void *FHandle;
    QString FPath;
    int FAlive = 0;
};

} // namespace

QString ModuleFolder()
{
    return g_moduleFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_moduleFolder;
}

void SetModuleFolder(const QString &folder) { g_moduleFolder = folder; }

QString ModuleFilePath(const QString &dllName, const QString &folder)
{
    if (dllName.contains(QLatin1Char('/')) || dllName.contains(QLatin1Char('\\')))
        throw EModuleName(QStringLiteral("Module name \"%1\" is not a file name of the program's folder").arg(dllName));
    const QDir dir(folder);
    const QString stored = dir.absoluteFilePath(dllName);
    if (QFileInfo::exists(stored) || !dllName.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        return stored;
    const QString native = dir.absoluteFilePath(dllName.chopped(4) + QLatin1String(".so"));
    return QFileInfo::exists(native) ? native : stored;
}

TModuleLibrary::~TModuleLibrary() = default;

void TModuleLibrary::Load(const QString &path)
{
    if (FHandle)
        return;
    if (ModuleFaults().IsFaulty(path))
        throw EModuleFault(ModuleFaultText());
    FPath = path;
    dlerror();
    {
        const TModuleCall call(path);
        FHandle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!FHandle) {
        const char *error = dlerror();
        throw EOSError(QLatin1Char('"') + (error ? QString::fromLocal8Bit(error) : path) + QLatin1Char('"'));
    }
}

void *TModuleLibrary::Resolve(const char *name) const { return FHandle ? dlsym(FHandle, name) : nullptr; }

void TModuleLibrary::Unload()
{
    if (!FHandle)
        return;
    const TModuleCall call(FPath);
    dlclose(FHandle);
    FHandle = nullptr;
}

void TModuleLibrary::UnloadWhenDestroyed(const QList<QPointer<QObject>> &objects)
{
    if (!FHandle)
        return;
    new TModuleKeeper(FHandle, FPath, objects);
    FHandle = nullptr;
}
