// Another program of the same user, built on the module SDK alone: it finds
// every running console and asks each for its information and its session
// (message 2024, answering 2025 with "more" and 2026 with "done"). One line
// per console:
//   CONSOLE <answer>|<internal name>|<scheme>|<server>|<user>
#include "ZandrellInterface.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    for (const QString &console : FindRunningConsoles()) {
        const TConsoleRequestResult r =
            RequestConsoleInfo(console, QStringLiteral("ConsoleFinder"), CM_CONSOLE_REQUEST, CONSOLE_ANSWER_MORE,
                               CONSOLE_ANSWER_DONE);
        std::printf("%s\n", QStringLiteral("CONSOLE %1|%2|%3|%4|%5")
                                .arg(r.answer)
                                .arg(r.info.InternalName, r.session.SchemeName, r.session.Server, r.session.UserName)
                                .toUtf8()
                                .constData());
    }
    return 0;
}
