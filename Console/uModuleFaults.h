#pragma once
// Crash markers of module files.
//
// Module code runs inside the console's process: a module that crashes, ends
// the process or never returns while it is loaded or called would do so again
// at every start, for every user whose menu holds it. So each console notes
// the module file whose code it is about to run in a marker file of its own in
// the user's runtime folder, and empties the marker when the code returns. The
// console holds a lock on its marker while it runs; a marker that nobody
// holds and that still names a file was left by a console that ended inside
// that file's code. Such a file is not loaded again until it changes (a new
// build); a menu reload does not try it again, since that would mean loading
// it into the console.
#include "Core/Exceptions.h"

#include <QHash>
#include <QString>
#include <QStringList>

// A module file that is not loaded because it ended a console.
ZANDRELL_EXCEPTION_CLASS(EModuleFault, Exception)
// Why such a file is not loaded, in the console's language.
QString ModuleFaultText();

class TModuleFaults {
public:
    // The markers live in the folder; without a usable folder nothing is marked.
    explicit TModuleFaults(const QString &folder);
    ~TModuleFaults();
    TModuleFaults(const TModuleFaults &) = delete;
    TModuleFaults &operator=(const TModuleFaults &) = delete;

    const QString &Folder() const { return m_folder; }

    // Code of the module file is about to run, and has returned; calls nest.
    void Enter(const QString &modulePath);
    void Leave();

    // True when a console ended while running code of the file and the file
    // has not changed since; a marker of a changed file is removed.
    bool IsFaulty(const QString &modulePath);
    // Removes the markers of every console that has ended; the next check reads the folder again.
    void Clear();

private:
    struct TFileStamp {
        qint64 size = -1;
        qint64 modified = -1;
        bool operator==(const TFileStamp &) const = default;
    };
    static TFileStamp StampOf(const QString &path);
    // Reads the markers of ended consoles (once per process), or removes them all.
    void Collect(bool removeAll);
    bool OpenOwnMarker();
    void WriteOwnMarker();

    QString m_folder;
    QString m_ownPath;
    int m_ownFd = -1;
    bool m_ownFailed = false;
    QStringList m_inFlight;
    bool m_collected = false;
    struct TFault {
        QString marker;
        TFileStamp stamp;
    };
    QHash<QString, QList<TFault>> m_faults;
};

// The markers of this process, in the user's runtime folder.
TModuleFaults &ModuleFaults();

// Module code running under this process's marker, for the lifetime of the object.
class TModuleCall {
public:
    explicit TModuleCall(const QString &modulePath) { ModuleFaults().Enter(modulePath); }
    ~TModuleCall() { ModuleFaults().Leave(); }
    TModuleCall(const TModuleCall &) = delete;
    TModuleCall &operator=(const TModuleCall &) = delete;
};
