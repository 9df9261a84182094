// A stand-in for the updater: started with "<console server> <process> <language id>",
// it writes its arguments to $AUTOUPDATE_DOUBLE_LOG (one a line) and answers
// the console with message 1024 and the number in $AUTOUPDATE_DOUBLE_ANSWER,
// or not at all when that is "never" (or not set).
#include "Console/uConsoleInfo.h"

#include <QCoreApplication>
#include <QFile>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString log = qEnvironmentVariable("AUTOUPDATE_DOUBLE_LOG");
    if (!log.isEmpty()) {
        QFile file(log);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(args.join(QLatin1Char('\n')).toUtf8());
    }
    const QString answer = qEnvironmentVariable("AUTOUPDATE_DOUBLE_ANSWER", QStringLiteral("never"));
    if (answer == QLatin1String("never"))
        return 0;
    bool isNumber = false;
    const qint64 value = answer.toLongLong(&isNumber);
    if (args.size() != 3 || !isNumber)
        return 2;
    return SendConsoleUserMessage(args[0], WM_USER, value) ? 0 : 3;
}
