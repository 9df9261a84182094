#include "Console/uAutoUpdate.h"

#include "Console/uConsoleCfg.h"
#include "Console/uConsoleFunctions.h"
#include "Console/uConsoleInfo.h"
#include "Core/DialogService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <optional>

namespace {

// The current-process value the updater expects in its second argument.
constexpr int kCurrentProcess = -1;
// The reply that asks the console to close.
constexpr qint64 kCloseConsole = 1;
constexpr unsigned long kLookIntervalMs = 10;

QString AutoUpdateWord(const char *id, TConsoleText text)
{
    return LangText(QLatin1String(id), ConsoleText(text), tkWord);
}

} // namespace

QString AutoUpdatePath() { return ExePath(QStringLiteral("AutoUpdate")); }

bool LaunchAutoUpdate(int langId)
{
    const TConsoleInfoServer *server = ConsoleInfoServer();
    return LaunchAutoUpdate(langId, server ? server->ServerName() : QString());
}

bool LaunchAutoUpdate(int langId, const QString &replyServer)
{
    const QString path = AutoUpdatePath();
    // Only a file is the updater; a folder of that name is not.
    if (!QFileInfo(path).isFile())
        return false;
    QProcess process;
    process.setProgram(path);
    // Without a server the updater gets "0", as a window handle of none.
    process.setArguments({replyServer.isEmpty() ? QStringLiteral("0") : replyServer, QString::number(kCurrentProcess),
                          QString::number(langId)});
    if (!process.startDetached()) {
        ShowMessageBox(process.errorString(), AutoUpdateWord("rstrAutoUpdatingLaunching", ctAutoUpdateLaunch),
                       MB_ICONWARNING);
        return false;
    }
    return true;
}

bool WaitAutoUpdateReply(TConsoleInfoServer *server, int timeoutSeconds)
{
    std::optional<qint64> reply;
    std::function<void(int, qint64)> previous;
    if (server) {
        previous = server->OnUserMessage;
        server->OnUserMessage = [&reply](int message, qint64 value) {
            if (message == WM_USER && !reply)
                reply = value;
        };
    }
    QElapsedTimer started;
    started.start();
    while (!reply && started.elapsed() / 1000 <= timeoutSeconds) {
        QCoreApplication::processEvents();
        if (!reply)
            QThread::msleep(kLookIntervalMs);
    }
    if (server)
        server->OnUserMessage = previous;
    if (reply)
        return *reply == kCloseConsole;
    ShowMessageBox(AutoUpdateWord("rstrTimeWaitingOut", ctWaitingTimeExpired),
                   AutoUpdateWord("rstrAutoUpdate", ctAutoUpdate), MB_ICONWARNING);
    return false;
}

bool WaitAutoUpdateReply() { return WaitAutoUpdateReply(ConsoleInfoServer()); }
