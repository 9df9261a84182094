#include "Console/uModuleLibrary.h"

#include "Console/uConsoleLog.h"
#include "Console/uModuleFaults.h"

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
        : m_handle(handle), m_path(path)
    {
        for (const QPointer<QObject> &object : objects) {
            if (!object)
                continue;
            ++m_alive;
            connect(object, &QObject::destroyed, this, &TModuleKeeper::ObjectDestroyed);
        }
        if (m_alive == 0)
            UnloadSoon();
    }

private:
    void ObjectDestroyed()
    {
        if (--m_alive == 0)
            UnloadSoon();
    }

    // The destroyed object is still running its base destructors (and its
    // children's, which may be the module's): unload on the next turn.
    void UnloadSoon()
    {
        QTimer::singleShot(0, this, [this] {
            const TModuleCall call(m_path);
            dlclose(m_handle);
            qCDebug(lcServices) << "unloaded" << m_path << "after the last of its windows";
            delete this;
        });
    }

    void *m_handle;
    QString m_path;
    int m_alive = 0;
};

} // namespace

QString ModuleFolder() { return g_moduleFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_moduleFolder; }

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
    if (m_handle)
        return;
    if (ModuleFaults().IsFaulty(path)) {
        qCWarning(lcServices) << path << "is not loaded: it crashed the console before";
        throw EModuleFault(ModuleFaultText());
    }
    m_path = path;
    dlerror();
    {
        const TModuleCall call(path);
        m_handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!m_handle) {
        const char *error = dlerror();
        qCInfo(lcServices) << path << "is not loaded:" << error;
        throw EOSError(QLatin1Char('"') + (error ? QString::fromLocal8Bit(error) : path) + QLatin1Char('"'));
    }
    qCDebug(lcServices) << "loaded" << path;
}

void *TModuleLibrary::Resolve(const char *name) const { return m_handle ? dlsym(m_handle, name) : nullptr; }

void TModuleLibrary::Unload()
{
    if (!m_handle)
        return;
    const TModuleCall call(m_path);
    dlclose(m_handle);
    m_handle = nullptr;
    qCDebug(lcServices) << "unloaded" << m_path;
}

void TModuleLibrary::UnloadWhenDestroyed(const QList<QPointer<QObject>> &objects)
{
    if (!m_handle)
        return;
    qCDebug(lcServices) << m_path << "stays loaded until its windows are gone";
    new TModuleKeeper(m_handle, m_path, objects);
    m_handle = nullptr;
}
