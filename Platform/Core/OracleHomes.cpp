#include "OracleHomes.h"

#include "TextCodec.h"

#include <QDir>
#include <QFile>

QStringList ParseOratab(const QString &text)
{
    QStringList homes;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.size() < 2)
            continue;
        const QString home = QDir::cleanPath(fields.at(1).trimmed());
        if (!home.isEmpty() && home != QLatin1String(".") && !homes.contains(home))
            homes.append(home);
    }
    return homes;
}

TOracleHomes DetectOracleHomes()
{
    TOracleHomes result;
    const QByteArray env = qgetenv("ORACLE_HOME");
    if (!env.isEmpty())
        result.DefaultOracleHome = QDir::cleanPath(QString::fromLocal8Bit(env));
    const QByteArray custom = qgetenv("ZANDRELL_ORATAB");
    QFile oratab(custom.isEmpty() ? QStringLiteral("/etc/oratab") : QString::fromLocal8Bit(custom));
    if (oratab.open(QIODevice::ReadOnly))
        result.OracleHomeNames = ParseOratab(DecodeTextFile(oratab.read(1024 * 1024)));
    if (result.DefaultOracleHome.isEmpty() && !result.OracleHomeNames.isEmpty())
        result.DefaultOracleHome = result.OracleHomeNames.first();
    return result;
}
