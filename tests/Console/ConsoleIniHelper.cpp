// A second console choosing its scheme:
//   ConsoleIniHelper <program folder> <scheme> <times> <go file>
// waits until the go file exists, then makes the scheme active that many times.
#include "uConsoleCfg.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 2;
    SetExeDirForTests(args.at(1));
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(args.at(4))) {
        if (waited.elapsed() > 10000)
            return 3;
        QThread::usleep(500);
    }
    const int times = args.at(3).toInt();
    for (int i = 0; i < times; ++i)
        if (!SetActiveScheme(args.at(2)))
            return 4;
    return 0;
}
