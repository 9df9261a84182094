// Another program writing the same INI file:
//   IniWriterHelper <file> <key prefix> <count, -1 for no end> <go file>
// waits until the go file exists, writes the keys <prefix><n> = n into [KEYS]
// one write each, and prints each n once its write has returned. A prefix
// "scheme:<name>" instead makes the scheme <name> active in the Console.ini
// <file>, as a console choosing its scheme does, that many times.
#include "Console/uConsoleCfg.h"
#include "Core/IniFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 2;
    const QString prefix = args.at(2);
    const int count = args.at(3).toInt();
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(args.at(4))) {
        if (waited.elapsed() > 10000)
            return 3;
        QThread::usleep(500);
    }
    SetExeDirForTests(QFileInfo(args.at(1)).path());
    TIniFile ini(args.at(1));
    for (int n = 0; count < 0 || n < count; ++n) {
        if (prefix.startsWith(QLatin1String("scheme:"))) {
            if (!SetActiveScheme(prefix.mid(7)))
                return 4;
        } else {
            ini.WriteString(QStringLiteral("KEYS"), prefix + QString::number(n), QString::number(n));
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
