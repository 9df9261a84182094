#include "tests/acceptance/ConsoleRun.h"

#include "tests/common/InstallationCopy.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

TConsoleRun::TConsoleRun(const InstallationCopy &installation, const QString &display, const QString &runtimeDir)
    : m_installation(installation), m_display(display), m_runtimeDir(runtimeDir)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

TConsoleRun::~TConsoleRun()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}

bool TConsoleRun::Start(const QStringList &arguments, const QStringList &environment, const QStringList &earlyLines)
{
    if (!Launch(arguments, environment))
        return false;
    for (const QString &line : earlyLines)
        Send(line);
    return WaitReady();
}

bool TConsoleRun::Launch(const QStringList &arguments, const QStringList &environment)
{
    m_started.start();
    m_installation.start(m_process, arguments,
                         QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY=") + m_display,
                                     QStringLiteral("XDG_RUNTIME_DIR=") + m_runtimeDir} +
                             environment);
    return m_process.waitForStarted();
}

bool TConsoleRun::WaitReady()
{
    if (WaitFor(QStringLiteral("READY"), 20000).isEmpty())
        return false;
    m_readyMs = m_started.elapsed();
    return true;
}

void TConsoleRun::Kill()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool TConsoleRun::readLines(int timeoutMs)
{
    if (!m_process.bytesAvailable() && !m_process.waitForReadyRead(timeoutMs))
        return false;
    m_partial += m_process.readAll();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
    return true;
}

QString TConsoleRun::WaitFor(const QString &prefix, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (; m_taken < m_lines.size(); ++m_taken)
            if (m_lines.at(m_taken).startsWith(prefix))
                return m_lines.at(m_taken++);
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            break;
        readLines(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    // Whatever came last, for the journey's failure message.
    readLines(0);
    return QString();
}

void TConsoleRun::Send(const QString &line)
{
    m_process.write(line.toUtf8() + '\n');
    m_process.waitForBytesWritten();
}

QStringList TConsoleRun::Command(const QString &line, int timeoutMs)
{
    const qsizetype from = m_taken;
    const QString mark = QStringLiteral("ECHO %1").arg(++m_echo);
    Send(line);
    Send(QStringLiteral("echo %1").arg(m_echo));
    if (WaitFor(mark, timeoutMs).isEmpty())
        return {};
    return m_lines.mid(from, m_taken - from - 1);
}

bool TConsoleRun::PollUntil(const QString &command, const std::function<bool(const QStringList &)> &check,
                            int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && Running()) {
        if (check(Command(command)))
            return true;
        QThread::msleep(50);
    }
    return false;
}

bool TConsoleRun::Quit(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit;
    Send(QStringLiteral("quit"));
    m_process.closeWriteChannel();
    const QDeadlineTimer deadline(timeoutMs);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
        readLines(int(qMax<qint64>(1, deadline.remainingTime())));
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
        return false;
    }
    readLines(0);
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool TConsoleRun::WaitForEnd(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
        readLines(int(qMax<qint64>(1, deadline.remainingTime())));
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit &&
           m_process.exitCode() == 0;
}

void TConsoleRun::SaveOutput(const QString &path) const
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(m_lines.join(QLatin1Char('\n')).toUtf8() + '\n' + m_partial);
}

QStringList LinesStartingWith(const QStringList &lines, const QString &prefix)
{
    QStringList found;
    for (const QString &line : lines)
        if (line.startsWith(prefix))
            found << line;
    return found;
}
