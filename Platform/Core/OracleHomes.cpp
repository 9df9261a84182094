#include "Core/OracleHomes.h"

#include "Core/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

QString TOracleHomes::PathOf(int index) const
{
    if (index == 0)
        return DefaultOracleHome;
    return index > 0 && index <= OracleHomeCount() ? OracleHomeNames.at(index - 1) : QString();
}

QString OracleHomeEntry(const TOracleHomes &homes, int index)
{
    const QString name = index <= 0 ? QStringLiteral("Default") : QStringLiteral("Home%1").arg(index - 1);
    const QString path = homes.PathOf(qMax(index, 0));
    return path.isEmpty() ? name : name + QStringLiteral(" [") + path + QLatin1Char(']');
}

namespace {
bool g_applied = false;
} // namespace

QString ApplyOracleHome(int index)
{
    if (g_applied)
        return qEnvironmentVariable("ORACLE_HOME");
    g_applied = true;
    const QString path = DetectOracleHomes().PathOf(index);
    if (path.isEmpty())
        return QString();
    qputenv("ORACLE_HOME", QFile::encodeName(path));
    const QString admin = QDir(path).filePath(QStringLiteral("network/admin"));
    if (qEnvironmentVariableIsEmpty("TNS_ADMIN") && QFileInfo(admin).isDir())
        qputenv("TNS_ADMIN", QFile::encodeName(admin));
    return path;
}

bool OracleHomeApplied() { return g_applied; }
