// A program in another process that asks a console for its information:
//   ConsoleInfoRequester <console> <own name> <request code> <answer to 2025> <answer to 2026>
// It prints what it received, one line each.
#include "uConsoleInfo.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto print = [](const QString &line) { std::printf("%s\n", line.toUtf8().constData()); };
    if (args.size() != 6)
        return 2;
    const TConsoleRequestResult r =
        RequestConsoleInfo(args.at(1), args.at(2), args.at(3).toInt(), args.at(4).toInt(), args.at(5).toInt());
    print(QStringLiteral("CONNECTED %1").arg(r.connected));
    if (r.gotInfo)
        print(QStringLiteral("INFO %1|%2|%3|%4").arg(r.infoVersion).arg(r.info.InternalName, r.info.FileVersion, r.info.Comments));
    if (r.gotSession)
        print(QStringLiteral("SESSION %1|%2|%3|%4").arg(r.session.SchemeName, r.session.Server, r.session.UserName).arg(r.session.Home));
    print(QStringLiteral("ANSWER %1").arg(r.answer));
    return 0;
}
