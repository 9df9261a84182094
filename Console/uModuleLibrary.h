#pragma once
// Module files (service modules, plug-ins): shared objects loaded by their
// full path from the program's folder.
//
// A module name is a bare file name; one with a path separator is refused. A
// name stored with ".dll" (written by a console of another platform sharing
// the scheme) is looked up as stored first, then with ".so".
#include "Core/Exceptions.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

// A module name that is not a bare file name.
ZANDRELL_EXCEPTION_CLASS(EModuleName, Exception)

// The folder the modules are loaded from: the program's folder unless set.
QString ModuleFolder();
// Sets the module folder (empty: back to the program's folder).
void SetModuleFolder(const QString &folder);

// The full path of a module file in the folder; fails with EModuleName.
QString ModuleFilePath(const QString &dllName, const QString &folder = ModuleFolder());

// One loaded module file. Unload is explicit: the owner knows when no code of
// the module can run any more. Loading and unloading run the module's static
// constructors and destructors under the process's crash marker (uModuleFaults),
// and a file that ended a console before is not loaded.
class TModuleLibrary {
public:
    TModuleLibrary() = default;
    TModuleLibrary(const TModuleLibrary &) = delete;
    TModuleLibrary &operator=(const TModuleLibrary &) = delete;
    ~TModuleLibrary();

    // Loads the file; fails with EOSError whose message is the system's text in
    // double quotes, or with EModuleFault for a file that ended a console.
    void Load(const QString &path);
    bool IsLoaded() const { return m_handle != nullptr; }
    // The file loaded last.
    const QString &Path() const { return m_path; }
    void *Handle() const { return m_handle; }
    // The address of an entry point, or null.
    void *Resolve(const char *name) const;
    // Unloads; errors are ignored.
    void Unload();
    // Hands the loaded module over: it is unloaded once every object of the
    // list is destroyed (at the next turn of the event loop), or never when
    // the program ends first.
    void UnloadWhenDestroyed(const QList<QPointer<QObject>> &objects);

private:
    void *m_handle = nullptr;
    QString m_path;
};
