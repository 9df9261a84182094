#include "Console/uAtom.h"

#include "Source/ComUnits/uConsoleLink.h"

#include <QCoreApplication>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

int g_fd = -1;
QByteArray g_path;

} // namespace

bool AddConsoleAtom()
{
    if (g_fd >= 0)
        return true;
    ScanRunningConsoles(true);
    const qint64 pid = QCoreApplication::applicationPid();
    const QString dir = ConsoleRuntimeDir();
    // Made and locked under a name the count passes over, then put in place
    // whole: a count never sees the file without its lock.
    const QByteArray halfMade = QFile::encodeName(dir + QStringLiteral("/.%1.new").arg(pid));
    const QByteArray path = QFile::encodeName(dir + QStringLiteral("/%1.lock").arg(pid));
    const int fd = ::open(halfMade.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray text = QByteArray::number(pid) + '\n';
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::write(fd, text.constData(), size_t(text.size())) != text.size() ||
        ::rename(halfMade.constData(), path.constData()) != 0) {
        ::unlink(halfMade.constData());
        ::close(fd);
        return false;
    }
    g_fd = fd;
    g_path = path;
    return true;
}

void DeleteConsoleAtom()
{
    if (g_fd < 0)
        return;
    ::unlink(g_path.constData());
    ::close(g_fd);
    g_fd = -1;
    g_path.clear();
}

int AtomExists() { return int(ScanRunningConsoles(true).size()); }
