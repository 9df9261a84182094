#pragma once
// What the console knows of its module files: read by the module reader
// (uModuleProbe.h) and kept by the file's identity (path, size, modification
// and change time), in memory and, between runs, in a file of the user's
// cache folder. An unchanged module file is read once: a menu build, a reload
// or a start whose files are known runs no module code at all.
//
// A file whose reading crashed the reader, hung or handed back garbage is
// faulty, and stays so until it changes or an administrator's menu reload
// has the faulty files read again (in the reader, where a retry is safe).
#include "Console/uModuleProbe.h"

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QString>

#include <functional>
#include <memory>

class QProcess;

// How the reading of a module file went wrong.
enum class TModuleFault : quint8 { None, Crashed, Hung, Garbage };

// The identity of a module file as it is now.
struct TModuleStamp {
    bool Exists = false;
    qint64 Size = -1;
    qint64 MTimeNs = 0;
    qint64 CTimeNs = 0;
    static TModuleStamp Of(const QString &path);
    bool operator==(const TModuleStamp &) const = default;
};

// What is known of one module file at one identity.
struct TModuleRecord {
    TModuleStamp Stamp;
    TModuleFault Fault = TModuleFault::None;
    // The signal or exit code of a crash, or what was garbage.
    QString FaultDetail;
    // The reader could not be run at all: why (such a record is not kept).
    QString ReaderError;
    TProbedFile File;

    // Why the file is faulty, in the console's language; empty when it is not.
    QString FaultText() const;
    // Nothing more is to be read for the request.
    bool Covers(const TProbeRequest &request) const;
};
using TModuleRecordPtr = std::shared_ptr<const TModuleRecord>;

// One run of the module reader over a list of files, read in their order. A
// reader that crashes or hangs on a file leaves that file faulty; a new
// reader goes on with the files after it.
class TModuleProbeRun {
public:
    explicit TModuleProbeRun(const QList<TProbeRequest> &requests);
    ~TModuleProbeRun();
    TModuleProbeRun(const TModuleProbeRun &) = delete;
    TModuleProbeRun &operator=(const TModuleProbeRun &) = delete;

    // Reads until the outcome of request `index` is known. The record carries no stamp.
    const TModuleRecord &WaitFor(int index);
    // Stops the reader; what is not known stays unknown.
    void Stop();
    // How many readers were started.
    int Starts() const { return m_starts; }

private:
    bool Start();
    void Pump();
    void Finish(int index, TModuleFault fault, const QString &detail);
    void HandleFrame(const QByteArray &payload);
    void ReaderEnded();
    void FailUnknown(const QString &why);

    QList<TProbeRequest> m_requests;
    QList<TModuleRecord> m_outcomes;
    QList<bool> m_known;
    std::unique_ptr<QProcess> m_process;
    QList<int> m_sent;  // the running reader's frame index -> request index
    int m_current = -1; // the request the reader has begun and not answered
    bool m_progressed = false;
    QByteArray m_buffer;
    QElapsedTimer m_clock;
    int m_starts = 0;
};

class TModuleCache {
public:
    // cacheFile: where the records are kept between runs; empty: in memory only.
    explicit TModuleCache(const QString &cacheFile);
    ~TModuleCache();
    TModuleCache(const TModuleCache &) = delete;
    TModuleCache &operator=(const TModuleCache &) = delete;

    // Told before (done false) and after (done true) each request; false after a request stops the reading.
    using TProgress = std::function<bool(int index, bool done)>;
    // The records of the requested files, in request order; what is not known
    // yet is read in one run of the module reader. A request without a path
    // reads nothing and has a null record (its progress is still told); so
    // have the requests not reached after a stop.
    QList<TModuleRecordPtr> Read(const QList<TProbeRequest> &requests, const TProgress &progress = {});
    // The faulty files, and those that could not be loaded, are read again next time.
    void ForgetFailures();
    // How many module readers were started so far.
    int ReaderStarts() const { return m_readerStarts; }
    const QString &FileName() const { return m_fileName; }

private:
    void Load();
    void Save();

    QString m_fileName;
    bool m_loaded = false;
    QHash<QString, TModuleRecordPtr> m_records;
    int m_readerStarts = 0;
};

// The cache of this process, in $XDG_CACHE_HOME/KorConsole.
TModuleCache &ModuleCache();

// The module reader: KorModuleProbe beside the program unless set.
QString ModuleProbeProgram();
void SetModuleProbeProgram(const QString &program);
// How long one module file may take in the reader before it is stopped as hung.
int ModuleProbeTimeoutMs();
void SetModuleProbeTimeoutMs(int milliseconds);

// The icon of the pictures a module gave. The same pictures give the same
// icon for the whole run: a rebuilt menu draws from the pixmaps it drew before
// instead of filling the pixmap cache anew.
QIcon SharedModuleIcon(const QList<QByteArray> &pictures);
