#include "Console/uModuleCache.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleLog.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstring>
#include <sys/stat.h>

namespace {

QString g_probeProgram;
int g_probeTimeoutMs = 5000;
// A reader that has not begun its first file by then is broken, not a module.
constexpr int kReaderStartTimeoutMs = 20000;

// The cache file: a mark, the SHA-1 of the content, the content.
const QByteArray kCacheMark("KORMODC1");
constexpr qint64 kMaxCacheBytes = 512 * 1024 * 1024;
using ModuleProbe::kStreamVersion;

qint64 timeNs(const struct timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; }

QString crashDetail(const QProcess &process)
{
    if (process.exitStatus() == QProcess::CrashExit) {
        const int signal = process.exitCode();
        const char *name = signal > 0 ? ::strsignal(signal) : nullptr;
        return name ? QStringLiteral("signal %1, %2").arg(signal).arg(QString::fromLocal8Bit(name))
                    : QStringLiteral("signal %1").arg(signal);
    }
    return QStringLiteral("exit code %1").arg(process.exitCode());
}

QDataStream &operator<<(QDataStream &out, const TModuleRecord &r)
{
    return out << r.Stamp.Exists << r.Stamp.Size << r.Stamp.MTimeNs << r.Stamp.CTimeNs << quint8(r.Fault)
               << r.FaultDetail << r.File;
}

QDataStream &operator>>(QDataStream &in, TModuleRecord &r)
{
    quint8 fault = 0;
    in >> r.Stamp.Exists >> r.Stamp.Size >> r.Stamp.MTimeNs >> r.Stamp.CTimeNs >> fault >> r.FaultDetail >> r.File;
    if (fault > quint8(TModuleFault::Garbage))
        in.setStatus(QDataStream::ReadCorruptData);
    r.Fault = TModuleFault(fault);
    return in;
}

QString defaultCacheFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/KorConsole/modules.cache");
}

} // namespace

// ---------------------------------------------------------------------------

TModuleStamp TModuleStamp::Of(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, qint64(st.st_size), timeNs(st.st_mtim), timeNs(st.st_ctim)};
}

QString TModuleRecord::FaultText() const
{
    switch (Fault) {
    case TModuleFault::None:
        return QString();
    case TModuleFault::Crashed:
        return SelectText(QStringLiteral("модуль аварийно завершил программу чтения модулей (%1)"),
                          QStringLiteral("the module crashed the module reader (%1)"))
            .arg(FaultDetail);
    case TModuleFault::Hung:
        return SelectText(QStringLiteral("модуль не ответил за %1 с"),
                          QStringLiteral("the module did not answer within %1 s"))
            .arg(FaultDetail);
    case TModuleFault::Garbage:
        return SelectText(QStringLiteral("модуль вернул негодные данные: %1"),
                          QStringLiteral("the module returned garbage: %1"))
            .arg(FaultDetail);
    }
    return QString();
}

bool TModuleRecord::Covers(const TProbeRequest &request) const
{
    if (Fault != TModuleFault::None || !File.LoadError.isEmpty())
        return true;
    if (request.Registration && !File.Listed)
        return false;
    for (const QString &guid : request.Guids)
        if (!File.Attributes.contains(guid))
            return false;
    return true;
}

// ---------------------------------------------------------------------------
// TModuleProbeRun

TModuleProbeRun::TModuleProbeRun(const QList<TProbeRequest> &requests)
    : m_requests(requests), m_outcomes(requests.size()), m_known(requests.size(), false)
{
}

TModuleProbeRun::~TModuleProbeRun() { Stop(); }

void TModuleProbeRun::Stop()
{
    if (!m_process)
        return;
    m_process->kill();
    m_process->waitForFinished(5000);
    m_process.reset();
    m_current = -1;
}

const TModuleRecord &TModuleProbeRun::WaitFor(int index)
{
    while (!m_known.at(index)) {
        if (!m_process && !Start())
            break;
        Pump();
    }
    return m_outcomes.at(index);
}

bool TModuleProbeRun::Start()
{
    m_sent.clear();
    QList<TProbeRequest> unknown;
    for (int i = 0; i < m_requests.size(); ++i)
        if (!m_known.at(i)) {
            m_sent << i;
            unknown << m_requests.at(i);
        }
    if (unknown.isEmpty())
        return false;
    const QString program = ModuleProbeProgram();
    qCDebug(lcServices) << "probing" << unknown.size() << "module files with" << program;
    m_process = std::make_unique<QProcess>();
    // The reader's standard error is the console's: what a module writes stays visible.
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_process->setProcessEnvironment(environment);
    m_process->start(program, {});
    ++m_starts;
    if (!m_process->waitForStarted(kReaderStartTimeoutMs)) {
        const QString why = m_process->errorString();
        m_process.reset();
        FailUnknown(SelectText(QStringLiteral("программа чтения модулей %1 не запускается: %2"),
                               QStringLiteral("the module reader %1 cannot be started: %2"))
                        .arg(program, why));
        return false;
    }
    QByteArray request;
    {
        QDataStream out(&request, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out << unknown;
    }
    m_process->write(request);
    m_process->closeWriteChannel();
    m_buffer.clear();
    m_current = -1;
    m_progressed = false;
    m_clock.start();
    return true;
}

void TModuleProbeRun::Pump()
{
    const int limit = m_current >= 0 ? ModuleProbeTimeoutMs() : kReaderStartTimeoutMs;
    const int left = int(qMax<qint64>(0, limit - m_clock.elapsed()));
    const bool ready = left > 0 && m_process->waitForReadyRead(left);
    m_buffer += m_process->readAllStandardOutput();
    QByteArray payload;
    bool tooLarge = false;
    while (m_process && ModuleProbe::TakeFrame(m_buffer, payload, tooLarge))
        HandleFrame(payload);
    if (!m_process)
        return;
    if (tooLarge) {
        const int blamed = m_current >= 0 ? m_current : m_sent.value(0, -1);
        Stop();
        if (blamed >= 0)
            Finish(blamed, TModuleFault::Garbage, QStringLiteral("an answer too large to be read"));
        return;
    }
    if (ready)
        return;
    if (m_process->state() == QProcess::NotRunning) {
        ReaderEnded();
        return;
    }
    if (m_clock.elapsed() < limit)
        return;
    // Nothing came in time.
    const int hung = m_current;
    Stop();
    if (hung >= 0) {
        qCWarning(lcServices) << m_requests.at(hung).Path << "did not answer the module reader in time";
        Finish(hung, TModuleFault::Hung, QString::number(ModuleProbeTimeoutMs() / 1000.0, 'g', 3));
    } else {
        FailUnknown(SelectText(QStringLiteral("программа чтения модулей не отвечает"),
                               QStringLiteral("the module reader does not answer")));
    }
}

void TModuleProbeRun::HandleFrame(const QByteArray &payload)
{
    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    qint32 kind = 0, frameIndex = -1;
    in >> kind >> frameIndex;
    const int index = m_sent.value(frameIndex, -1);
    TProbedFile file;
    QString detail;
    if (kind == ModuleProbe::fkResult)
        in >> file;
    else if (kind == ModuleProbe::fkGarbage)
        in >> detail;
    const bool readable =
        in.status() == QDataStream::Ok && index >= 0 && !m_known.at(index) &&
        (kind == ModuleProbe::fkBegin || index == m_current) &&
        (kind == ModuleProbe::fkBegin || kind == ModuleProbe::fkResult || kind == ModuleProbe::fkGarbage);
    if (!readable) {
        // The reader's own stream is damaged: the module it was reading did it.
        const int blamed = m_current >= 0 ? m_current : (index >= 0 ? index : m_sent.value(0, -1));
        Stop();
        if (blamed >= 0 && !m_known.at(blamed))
            Finish(blamed, TModuleFault::Garbage, QStringLiteral("an answer that cannot be read"));
        return;
    }
    switch (kind) {
    case ModuleProbe::fkBegin:
        m_current = index;
        m_progressed = true;
        m_clock.restart();
        break;
    case ModuleProbe::fkResult:
        m_outcomes[index].File = file;
        m_known[index] = true;
        m_current = -1;
        m_clock.restart();
        break;
    default:
        m_current = -1;
        qCWarning(lcServices) << m_requests.at(index).Path << "returned garbage:" << detail;
        Finish(index, TModuleFault::Garbage, detail);
        break;
    }
}

void TModuleProbeRun::ReaderEnded()
{
    m_buffer += m_process->readAllStandardOutput();
    QByteArray payload;
    bool tooLarge = false;
    while (m_process && ModuleProbe::TakeFrame(m_buffer, payload, tooLarge))
        HandleFrame(payload);
    if (!m_process)
        return;
    const QString detail = crashDetail(*m_process);
    const int crashed = m_current;
    const bool progressed = m_progressed;
    m_process.reset();
    m_current = -1;
    if (crashed >= 0) {
        qCWarning(lcServices) << m_requests.at(crashed).Path << "ended the module reader:" << detail;
        Finish(crashed, TModuleFault::Crashed, detail);
    } else if (!progressed) {
        // Ended before its first file: the reader itself cannot run here.
        FailUnknown(SelectText(QStringLiteral("программа чтения модулей завершилась (%1)"),
                               QStringLiteral("the module reader ended (%1)"))
                        .arg(detail));
    }
}

void TModuleProbeRun::Finish(int index, TModuleFault fault, const QString &detail)
{
    m_outcomes[index].Fault = fault;
    m_outcomes[index].FaultDetail = detail;
    m_known[index] = true;
}

void TModuleProbeRun::FailUnknown(const QString &why)
{
    qCWarning(lcServices) << why;
    for (int i = 0; i < m_requests.size(); ++i)
        if (!m_known.at(i)) {
            m_outcomes[i].ReaderError = why;
            m_known[i] = true;
        }
}

// ---------------------------------------------------------------------------
// TModuleCache

TModuleCache::TModuleCache(const QString &cacheFile) : m_fileName(cacheFile) {}
TModuleCache::~TModuleCache() = default;

QList<TModuleRecordPtr> TModuleCache::Read(const QList<TProbeRequest> &requests, const TProgress &progress)
{
    Load();
    QList<TModuleRecordPtr> records(requests.size());
    QList<TModuleStamp> stamps(requests.size());
    QList<TProbeRequest> toRead;
    QList<int> readIndex(requests.size(), -1);
    for (int i = 0; i < requests.size(); ++i) {
        const TProbeRequest &request = requests.at(i);
        if (request.Path.isEmpty())
            continue;
        stamps[i] = TModuleStamp::Of(request.Path);
        const TModuleRecordPtr known = m_records.value(request.Path);
        const bool current = known && known->Stamp == stamps.at(i);
        if (current && known->Covers(request)) {
            records[i] = known;
            continue;
        }
        // Only what is missing of a file known at this identity.
        TProbeRequest missing{request.Path, {}, request.Registration && !(current && known->File.Listed)};
        for (const QString &guid : request.Guids)
            if (!current || !known->File.Attributes.contains(guid))
                missing.Guids << guid;
        readIndex[i] = int(toRead.size());
        toRead << missing;
    }

    bool changed = false;
    TModuleProbeRun run(toRead);
    for (int i = 0; i < requests.size(); ++i) {
        if (progress && !progress(i, false))
            break;
        if (readIndex.at(i) >= 0) {
            const TModuleRecord &outcome = run.WaitFor(readIndex.at(i));
            const QString &path = requests.at(i).Path;
            auto record = std::make_shared<TModuleRecord>(outcome);
            record->Stamp = stamps.at(i);
            const TModuleRecordPtr known = m_records.value(path);
            if (outcome.ReaderError.isEmpty() && outcome.Fault == TModuleFault::None && known &&
                known->Stamp == stamps.at(i)) {
                record->File = known->File;
                record->File.Merge(outcome.File);
            }
            // A reader that could not run says nothing of the file: that is not kept.
            if (outcome.ReaderError.isEmpty()) {
                m_records.insert(path, record);
                changed = true;
            }
            records[i] = record;
        }
        if (progress && !progress(i, true))
            break;
    }
    m_readerStarts += run.Starts();
    if (changed)
        Save();
    return records;
}

void TModuleCache::ForgetFailures()
{
    Load();
    const qsizetype before = m_records.size();
    m_records.removeIf([](const auto &entry) {
        return entry.value()->Fault != TModuleFault::None || !entry.value()->File.LoadError.isEmpty();
    });
    if (m_records.size() != before)
        qCInfo(lcServices) << before - m_records.size() << "faulty module files are read again";
}

void TModuleCache::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    if (m_fileName.isEmpty())
        return;
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (file.size() > kMaxCacheBytes) {
        qCWarning(lcServices) << m_fileName << "is too large to be the module cache; it is read no more";
        return;
    }
    const QByteArray bytes = file.readAll();
    const qsizetype hashSize = QCryptographicHash::hashLength(QCryptographicHash::Sha1);
    const qsizetype head = kCacheMark.size() + hashSize;
    const QByteArray content = bytes.mid(head);
    if (!bytes.startsWith(kCacheMark) ||
        bytes.mid(kCacheMark.size(), hashSize) != QCryptographicHash::hash(content, QCryptographicHash::Sha1)) {
        qCWarning(lcServices) << m_fileName << "is no module cache of this console or is damaged; it is made anew";
        return;
    }
    QDataStream in(content);
    in.setVersion(kStreamVersion);
    quint32 count = 0;
    in >> count;
    QHash<QString, TModuleRecordPtr> records;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString path;
        auto record = std::make_shared<TModuleRecord>();
        in >> path >> *record;
        records.insert(path, record);
    }
    if (in.status() != QDataStream::Ok) {
        qCWarning(lcServices) << m_fileName << "cannot be read; the module cache is made anew";
        return;
    }
    m_records = records;
}

void TModuleCache::Save()
{
    if (m_fileName.isEmpty())
        return;
    // Files that have gone or changed are dropped, so that the cache does not grow with old builds.
    QByteArray content;
    {
        QDataStream out(&content, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        QList<QPair<QString, TModuleRecordPtr>> kept;
        for (auto it = m_records.cbegin(); it != m_records.cend(); ++it)
            if (it.value()->Stamp.Exists && TModuleStamp::Of(it.key()) == it.value()->Stamp)
                kept.append({it.key(), it.value()});
        out << quint32(kept.size());
        for (const auto &[path, record] : kept)
            out << path << *record;
    }
    QDir().mkpath(QFileInfo(m_fileName).path());
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcServices) << "the module cache" << m_fileName << "cannot be written:" << file.errorString();
        return;
    }
    file.write(kCacheMark);
    file.write(QCryptographicHash::hash(content, QCryptographicHash::Sha1));
    file.write(content);
    if (!file.commit())
        qCWarning(lcServices) << "the module cache" << m_fileName << "cannot be written:" << file.errorString();
}

TModuleCache &ModuleCache()
{
    static TModuleCache cache(defaultCacheFile());
    return cache;
}

QString ModuleProbeProgram()
{
    return g_probeProgram.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/KorModuleProbe")
                                    : g_probeProgram;
}

void SetModuleProbeProgram(const QString &program) { g_probeProgram = program; }
int ModuleProbeTimeoutMs() { return g_probeTimeoutMs; }
void SetModuleProbeTimeoutMs(int milliseconds) { g_probeTimeoutMs = milliseconds; }

QIcon SharedModuleIcon(const QList<QByteArray> &pictures)
{
    if (pictures.isEmpty())
        return QIcon();
    static QHash<QByteArray, QIcon> icons;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QByteArray &picture : pictures)
        hash.addData(picture);
    const QByteArray key = hash.result();
    const auto known = icons.constFind(key);
    if (known != icons.cend())
        return known.value();
    QIcon icon;
    for (const QByteArray &picture : pictures) {
        QPixmap pixmap;
        if (pixmap.loadFromData(picture, "PNG"))
            icon.addPixmap(pixmap);
    }
    icons.insert(key, icon);
    return icon;
}
