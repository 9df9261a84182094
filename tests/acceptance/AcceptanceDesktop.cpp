#include "tests/acceptance/AcceptanceDesktop.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <functional>
#include <unistd.h>

namespace {

constexpr int kStartMs = 10000;
constexpr int kWindowManagerStarts = 3;

bool waitUntil(const std::function<bool()> &ready, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!ready()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(25);
    }
    return true;
}

} // namespace

TAcceptanceDesktop::~TAcceptanceDesktop() { Stop(); }

bool TAcceptanceDesktop::Start()
{
    for (const char *tool : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            m_error = QStringLiteral("%1 is not installed (apt-get install xvfb openbox xdotool x11-utils)")
                          .arg(QLatin1String(tool));
            return false;
        }
    }
    // A display number of this process's own, clear of the displays of parallel runs.
    for (int attempt = 0; attempt < 20 && m_display.isEmpty(); ++attempt) {
        const int number = 200 + (getpid() + attempt * 7) % 700;
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            continue;
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral(":%1").arg(number), QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1366x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        // A server that ends at once found the number taken by another run.
        const bool up = m_server.waitForStarted() &&
                        waitUntil([&] { return QFile::exists(socket) || m_server.waitForFinished(0); }, kStartMs) &&
                        m_server.state() == QProcess::Running;
        if (up) {
            m_display = QStringLiteral(":%1").arg(number);
        } else {
            m_server.kill();
            m_server.waitForFinished();
        }
    }
    if (m_display.isEmpty()) {
        m_error = QStringLiteral("no virtual display could be started");
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    m_windowManager.setProcessEnvironment(environment);
    // On a busy machine the window manager may reach the display before it takes
    // connections and end at once: it is started again, a few times, before giving up.
    for (int attempt = 0; attempt < kWindowManagerStarts; ++attempt) {
        m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        m_windowManager.waitForStarted();
        const bool up = waitUntil(
            [this] { return windowManagerRuns() || m_windowManager.state() == QProcess::NotRunning; }, kStartMs * 3);
        if (up && m_windowManager.state() == QProcess::Running && windowManagerRuns())
            return true;
        const QString said = QString::fromLocal8Bit(m_windowManager.readAllStandardError()).trimmed();
        m_error = QStringLiteral("the window manager did not start on %1%2")
                      .arg(m_display, said.isEmpty() ? QString() : QStringLiteral(": ") + said);
        m_windowManager.kill();
        m_windowManager.waitForFinished();
        QThread::msleep(500);
    }
    return false;
}

void TAcceptanceDesktop::Stop()
{
    for (QProcess *process : {&m_windowManager, &m_server}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished();
        }
    }
}

bool TAcceptanceDesktop::windowManagerRuns()
{
    QByteArray out;
    return run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}, &out) &&
           out.contains("window id");
}

bool TAcceptanceDesktop::run(const QString &program, const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(kStartMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool TAcceptanceDesktop::Key(const QString &keys)
{
    return run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

bool TAcceptanceDesktop::Type(const QString &text)
{
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}

QString TAcceptanceDesktop::ActiveWindowName()
{
    QByteArray out;
    run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")}, &out);
    return QString::fromUtf8(out).trimmed();
}

bool TAcceptanceDesktop::WaitActive(const QString &caption, int timeoutMs)
{
    return waitUntil([&] { return ActiveWindowName() == caption; }, timeoutMs);
}

QRect TAcceptanceDesktop::ActiveWindowFrame()
{
    QByteArray id;
    if (!run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}, &id))
        return QRect();
    const QString window = QString::fromLatin1(id.trimmed());
    // The window's own area on the screen, then the window manager's frame around it.
    QByteArray info, extents;
    if (!run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window}, &info) ||
        !run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")}, &extents))
        return QRect();
    const auto value = [&info](const char *name) {
        const qsizetype at = info.indexOf(name);
        return at < 0 ? 0 : info.mid(at + qstrlen(name)).trimmed().split('\n').first().trimmed().toInt();
    };
    const QRect client(value("Absolute upper-left X:"), value("Absolute upper-left Y:"), value("Width:"),
                       value("Height:"));
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    const QList<QByteArray> sides = extents.mid(extents.indexOf('=') + 1).trimmed().split(',');
    if (sides.size() != 4)
        return client;
    return client.adjusted(-sides[0].trimmed().toInt(), -sides[2].trimmed().toInt(), sides[1].trimmed().toInt(),
                           sides[3].trimmed().toInt());
}

bool TAcceptanceDesktop::Screenshot(const QString &path)
{
    return run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
}
