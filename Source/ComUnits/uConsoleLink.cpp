#include "Source/ComUnits/uConsoleLink.h"

#include "Source/ComUnits/ZandrellInterface.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A frame of the protocol is small; a longer one is not ours.
constexpr quint32 kMaxFrame = 1024 * 1024;
// A file half-made by a console that died while it added itself.
constexpr qint64 kHalfMadeAgeMs = 10000;

// "<pid>.lock", "<pid>.sock", "<pid>-2.sock", ".<pid>.new": the pid in front.
bool pidOf(QString name, qint64 *pid)
{
    if (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    qsizetype end = 0;
    while (end < name.size() && name.at(end).isDigit())
        ++end;
    bool ok = false;
    *pid = name.left(end).toLongLong(&ok);
    return ok && *pid > 0;
}

bool processAlive(qint64 pid) { return ::kill(pid_t(pid), 0) == 0 || errno == EPERM; }

// The file's lock is free: the console that held it is gone. The name must
// still be the file probed (a console with the same pid may just have put a
// new one in its place).
bool lockIsFree(const QString &path, int fd)
{
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0)
        return false;
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
}

void removeSocketsOf(const QDir &dir, qint64 pid)
{
    const QString stem = QString::number(pid);
    for (const QString &name :
         dir.entryList({stem + QStringLiteral(".sock"), stem + QStringLiteral("-*.sock")}, QDir::System))
        QFile::remove(dir.filePath(name));
}

} // namespace

QString ConsoleRuntimeDir()
{
    const QByteArray custom = qgetenv("ZANDRELL_ATOM_NAME");
    const QString name = custom.isEmpty() ? QStringLiteral("LUM_ATOM") : QString::fromLocal8Bit(custom);
    const QString path = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/') + name;
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    return path;
}

QString ConsoleSocketPath(qint64 pid) { return ConsoleRuntimeDir() + QStringLiteral("/%1.sock").arg(pid); }

QList<qint64> ScanRunningConsoles(bool removeStale)
{
    const QDir dir(ConsoleRuntimeDir());
    QList<qint64> running;
    QSet<qint64> locked;
    for (const QString &name : dir.entryList({QStringLiteral("*.lock")}, QDir::Files)) {
        qint64 pid = 0;
        if (!pidOf(name, &pid))
            continue;
        locked.insert(pid);
        const QString path = dir.filePath(name);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (!lockIsFree(path, fd)) {
            running.append(pid);
        } else if (removeStale) {
            QFile::remove(path);
            removeSocketsOf(dir, pid);
        }
        ::close(fd);
    }
    if (removeStale) {
        // Sockets that no lock file speaks for: kept while their process lives.
        for (const QString &name : dir.entryList({QStringLiteral("*.sock")}, QDir::System)) {
            qint64 pid = 0;
            if (pidOf(name, &pid) && !locked.contains(pid) && !processAlive(pid))
                QFile::remove(dir.filePath(name));
        }
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const QFileInfo &file : dir.entryInfoList({QStringLiteral(".*.new")}, QDir::Files | QDir::Hidden)) {
            const int fd = ::open(QFile::encodeName(file.filePath()).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            if (file.lastModified().msecsTo(now) > kHalfMadeAgeMs && lockIsFree(file.filePath(), fd))
                QFile::remove(file.filePath());
            ::close(fd);
        }
    }
    std::sort(running.begin(), running.end());
    return running;
}

QStringList FindRunningConsoles()
{
    QStringList names;
    for (qint64 pid : ScanRunningConsoles(false)) {
        const QString socket = ConsoleSocketPath(pid);
        if (QFileInfo::exists(socket))
            names.append(socket);
    }
    return names;
}

QByteArray ConsoleFrames::Payload(int message, const QString &sender, const std::function<void(QDataStream &)> &body)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << qint32(message) << sender;
    if (body)
        body(out);
    return payload;
}

QByteArray ConsoleFrames::Frame(const QByteArray &payload)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << quint32(payload.size());
    data.append(payload);
    return data;
}

bool ConsoleFrames::WriteFrame(QLocalSocket *socket, const QByteArray &payload)
{
    const QByteArray data = Frame(payload);
    if (socket->write(data) != data.size())
        return false;
    return socket->waitForBytesWritten(3000) || socket->bytesToWrite() == 0;
}

bool ConsoleFrames::TakeFrame(QByteArray &buffer, QByteArray &payload, bool *tooLarge)
{
    *tooLarge = false;
    if (buffer.size() < 4)
        return false;
    quint32 size = 0;
    QDataStream(buffer.left(4)) >> size;
    if (size > kMaxFrame) {
        *tooLarge = true;
        return false;
    }
    if (quint32(buffer.size() - 4) < size)
        return false;
    payload = buffer.mid(4, size);
    buffer.remove(0, 4 + size);
    return true;
}

bool ConsoleFrames::ReadFrame(QLocalSocket *socket, QByteArray &payload, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray buffer;
    bool tooLarge = false;
    // Only the frame's own bytes are taken from the socket: what follows stays for the next read.
    auto fill = [&](qint64 bytes) {
        while (buffer.size() < bytes) {
            if (socket->bytesAvailable() == 0) {
                const int left = timeoutMs - int(timer.elapsed());
                if (left <= 0 || !socket->waitForReadyRead(left))
                    return false;
            }
            buffer.append(socket->read(bytes - buffer.size()));
        }
        return true;
    };
    if (!fill(4))
        return false;
    quint32 size = 0;
    QDataStream(buffer) >> size;
    if (size > kMaxFrame || !fill(4 + qint64(size)))
        return false;
    return TakeFrame(buffer, payload, &tooLarge);
}

TConsoleRequestResult RequestConsoleInfo(const QString &consoleName, const QString &ownName, int requestCode,
                                         int infoAnswer, int sessionAnswer, int timeoutMs)
{
    TConsoleRequestResult result;
    QLocalSocket socket;
    socket.connectToServer(consoleName);
    if (!socket.waitForConnected(timeoutMs))
        return result;
    result.connected = true;
    ConsoleFrames::WriteFrame(&socket,
                              ConsoleFrames::Payload(CM_CONSOLE_REQUEST, ownName,
                                                     [requestCode](QDataStream &o) { o << qint32(requestCode); }));
    QByteArray payload;
    while (ConsoleFrames::ReadFrame(&socket, payload, timeoutMs)) {
        QDataStream in(payload);
        qint32 message = -1;
        QString sender;
        in >> message >> sender;
        if (message == 0) {
            qint32 answer = 0;
            in >> answer;
            result.answer = answer;
            break;
        }
        int reply = 0;
        if (message == CM_CONSOLE_INFO) {
            qint32 version = 0, reserved = 0;
            QString text;
            TConsoleVersionInfo &v = result.info;
            in >> version >> text >> reserved >> v.InternalName >> v.FileDescription >> v.FileVersion >>
                v.LegalCopyright >> v.ProductVersion >> v.Comments;
            result.gotInfo = in.status() == QDataStream::Ok;
            result.infoVersion = version;
            reply = infoAnswer;
        } else if (message == CM_CONSOLE_SESSION) {
            qint32 home = 0;
            TConsoleSessionInfo &s = result.session;
            in >> s.SchemeName >> s.Server >> s.UserName >> home;
            s.Home = home;
            result.gotSession = in.status() == QDataStream::Ok;
            reply = sessionAnswer;
        }
        ConsoleFrames::WriteFrame(&socket,
                                  ConsoleFrames::Payload(0, ownName, [reply](QDataStream &o) { o << qint32(reply); }));
    }
    return result;
}

bool SendConsoleUserMessage(const QString &consoleName, int message, qint64 value, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(consoleName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    if (!ConsoleFrames::WriteFrame(&socket,
                                   ConsoleFrames::Payload(message, QString(), [value](QDataStream &o) { o << value; })))
        return false;
    QByteArray reply;
    return ConsoleFrames::ReadFrame(&socket, reply, timeoutMs);
}
