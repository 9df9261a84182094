// Another program of the same user, built on the module SDK alone, asking
// consoles for their information:
//   ConsoleInfoRequester <console> <own name> <request code> <answer to 2025> <answer to 2026>
// prints what it received, one line each;
//   ConsoleInfoRequester
// finds every running console, asks each for its information and its session
// (2025 answered "more", 2026 "done") and prints one line per console:
//   CONSOLE <answer>|<internal name>|<scheme>|<server>|<user>
#include "Source/ComUnits/ZandrellInterface.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto print = [](const QString &line) { std::printf("%s\n", line.toUtf8().constData()); };
    if (args.size() == 1) {
        for (const QString &console : FindRunningConsoles()) {
            const TConsoleRequestResult r = RequestConsoleInfo(
                console, QStringLiteral("ConsoleFinder"), CM_CONSOLE_REQUEST, CONSOLE_ANSWER_MORE, CONSOLE_ANSWER_DONE);
            print(QStringLiteral("CONSOLE %1|%2|%3|%4|%5")
                      .arg(r.answer)
                      .arg(r.info.InternalName, r.session.SchemeName, r.session.Server, r.session.UserName));
        }
        return 0;
    }
    if (args.size() != 6)
        return 2;
    const TConsoleRequestResult r =
        RequestConsoleInfo(args.at(1), args.at(2), args.at(3).toInt(), args.at(4).toInt(), args.at(5).toInt());
    print(QStringLiteral("CONNECTED %1").arg(r.connected));
    if (r.gotInfo)
        print(QStringLiteral("INFO %1|%2|%3|%4")
                  .arg(r.infoVersion)
                  .arg(r.info.InternalName, r.info.FileVersion, r.info.Comments));
    if (r.gotSession)
        print(QStringLiteral("SESSION %1|%2|%3|%4")
                  .arg(r.session.SchemeName, r.session.Server, r.session.UserName)
                  .arg(r.session.Home));
    print(QStringLiteral("ANSWER %1").arg(r.answer));
    return 0;
}
