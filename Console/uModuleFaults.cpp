#include "Console/uModuleFaults.h"

#include "Console/uConsoleCfg.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// A console's marker file: "module-load-" and a random suffix.
const QLatin1String kMarkerPrefix("module-load-");

// The calls a marker lists: its content up to the NUL that ends it.
QByteArray markerContent(int fd)
{
    QByteArray content;
    char chunk[4096];
    off_t offset = 0;
    ssize_t n;
    while ((n = ::pread(fd, chunk, sizeof chunk, offset)) > 0) {
        content.append(chunk, n);
        offset += n;
    }
    const qsizetype end = content.indexOf('\0');
    return end < 0 ? content : content.left(end);
}

// One line per module call in flight: "<size> <modified> <percent-encoded path>".
QByteArray markerLine(const QString &path, qint64 size, qint64 modified)
{
    return QByteArray::number(size) + ' ' + QByteArray::number(modified) + ' ' + QUrl::toPercentEncoding(path) + '\n';
}

// The innermost call of a marker: the code that was running when the console ended.
bool parseLastLine(const QByteArray &content, QString &path, qint64 &size, qint64 &modified)
{
    const QList<QByteArray> lines = content.trimmed().split('\n');
    const QList<QByteArray> fields = lines.last().split(' ');
    if (fields.size() != 3)
        return false;
    bool sizeOk = false, modifiedOk = false;
    size = fields.at(0).toLongLong(&sizeOk);
    modified = fields.at(1).toLongLong(&modifiedOk);
    path = QUrl::fromPercentEncoding(fields.at(2));
    return sizeOk && modifiedOk && !path.isEmpty();
}

QString runtimeMarkerFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/KorConsole");
}

} // namespace

QString ModuleFaultText()
{
    return SelectText(QStringLiteral("модуль завершил работу консоли при последней загрузке"),
                      QStringLiteral("the module ended the console during its last load"));
}

TModuleFaults::TModuleFaults(const QString &folder) : m_folder(folder) {}

TModuleFaults::~TModuleFaults()
{
    if (m_ownFd < 0)
        return;
    // Ended inside module code (a module that called exit()): the marker stays.
    if (m_inFlight.isEmpty())
        ::unlink(QFile::encodeName(m_ownPath).constData());
    ::close(m_ownFd);
}

TModuleFaults::TFileStamp TModuleFaults::StampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

void TModuleFaults::Enter(const QString &modulePath)
{
    const QString path = QFileInfo(modulePath).absoluteFilePath();
    const TFileStamp stamp = StampOf(path);
    m_inFlight.append(QString::fromLatin1(markerLine(path, stamp.size, stamp.modified)));
    WriteOwnMarker();
}

void TModuleFaults::Leave()
{
    if (!m_inFlight.isEmpty())
        m_inFlight.removeLast();
    WriteOwnMarker();
}

bool TModuleFaults::OpenOwnMarker()
{
    if (m_ownFd >= 0)
        return true;
    if (m_ownFailed || m_folder.isEmpty())
        return false;
    m_ownFailed = true;
    if (!QDir().mkpath(m_folder))
        return false;
    // Made under a hidden name and renamed once locked: no other console ever
    // sees the marker of a running console unlocked.
    QByteArray hidden = QFile::encodeName(m_folder + QStringLiteral("/.") + kMarkerPrefix + QStringLiteral("XXXXXX"));
    const int fd = ::mkostemp(hidden.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const QString hiddenPath = QFile::decodeName(hidden);
    const QString visiblePath = m_folder + QLatin1Char('/') + QFileInfo(hiddenPath).fileName().mid(1);
    if (::flock(fd, LOCK_EX) != 0 || ::rename(hidden.constData(), QFile::encodeName(visiblePath).constData()) != 0) {
        ::unlink(hidden.constData());
        ::close(fd);
        return false;
    }
    m_ownFd = fd;
    m_ownPath = visiblePath;
    m_ownFailed = false;
    return true;
}

void TModuleFaults::WriteOwnMarker()
{
    if (m_inFlight.isEmpty() && m_ownFd < 0)
        return;
    // Without a marker the console still runs its modules, only unprotected.
    if (!OpenOwnMarker())
        return;
    // One write per call: the content ends at a NUL, whatever an earlier, longer content left after it.
    const QByteArray content = m_inFlight.join(QString()).toLatin1() + '\0';
    const ssize_t written = ::pwrite(m_ownFd, content.constData(), size_t(content.size()), 0);
    // A short write leaves a line that does not parse: the marker then counts as empty.
    Q_UNUSED(written);
}

void TModuleFaults::Collect(bool removeAll)
{
    m_collected = true;
    m_faults.clear();
    if (m_folder.isEmpty())
        return;
    const QDir dir(m_folder);
    const QStringList names = dir.entryList({kMarkerPrefix + QLatin1Char('*')}, QDir::Files);
    for (const QString &name : names) {
        const QString marker = dir.filePath(name);
        const QByteArray encoded = QFile::encodeName(marker);
        const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A marker that is locked belongs to a console that runs (this one included).
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        QString path;
        qint64 size = -1, modified = -1;
        const QByteArray content = markerContent(fd);
        if (removeAll || content.trimmed().isEmpty() || !parseLastLine(content, path, size, modified))
            ::unlink(encoded.constData());
        else
            m_faults[path].append({marker, {size, modified}});
        ::close(fd);
    }
}

bool TModuleFaults::IsFaulty(const QString &modulePath)
{
    if (!m_collected)
        Collect(false);
    const auto it = m_faults.find(QFileInfo(modulePath).absoluteFilePath());
    if (it == m_faults.end())
        return false;
    const TFileStamp now = StampOf(it.key());
    bool faulty = false;
    for (auto fault = it->begin(); fault != it->end();) {
        if (fault->stamp == now) {
            faulty = true;
            ++fault;
        } else {
            // The file has changed since it ended a console: it gets another chance.
            ::unlink(QFile::encodeName(fault->marker).constData());
            fault = it->erase(fault);
        }
    }
    if (it->isEmpty())
        m_faults.erase(it);
    return faulty;
}

void TModuleFaults::Clear()
{
    Collect(true);
    // The next check reads afresh: a console may end after this one started.
    m_collected = false;
}

TModuleFaults &ModuleFaults()
{
    static TModuleFaults faults(runtimeMarkerFolder());
    return faults;
}
