#include "OracleHome.h"

#include <QFile>
#include <QTextStream>

namespace {

QString g_oratab = QStringLiteral("/etc/oratab");
bool g_detected = false;
QList<TOracleHome> g_homes;
TOracleHome g_default;

void EnsureDetected()
{
    if (!g_detected)
        DetectOCI();
}

} // namespace

void SetOratabPath(const QString &path)
{
    g_oratab = path.isEmpty() ? QStringLiteral("/etc/oratab") : path;
    g_detected = false;
}

void DetectOCI()
{
    g_homes.clear();
    g_default = TOracleHome();
    const QString env = qEnvironmentVariable("ORACLE_HOME");
    QFile file(g_oratab);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&file);
        while (!in.atEnd()) {
            const QString line = in.readLine().trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList parts = line.split(QLatin1Char(':'));
            if (parts.size() < 2 || parts[0].trimmed().isEmpty() || parts[1].trimmed().isEmpty())
                continue;
            TOracleHome home{parts[0].trimmed(), parts[1].trimmed()};
            bool known = false;
            for (const TOracleHome &h : g_homes)
                known = known || h.Path == home.Path;
            if (!known)
                g_homes.append(home);
        }
    }
    if (!env.isEmpty()) {
        g_default.Path = env;
        g_default.Name = QStringLiteral("ORACLE_HOME");
        for (const TOracleHome &h : g_homes)
            if (h.Path == env)
                g_default.Name = h.Name;
    }
    g_detected = true;
}

int OracleHomeCount()
{
    EnsureDetected();
    return int(g_homes.size());
}

QString OracleHomeNames(int index)
{
    EnsureDetected();
    return index >= 0 && index < g_homes.size() ? g_homes[index].Name : QString();
}

QList<TOracleHome> OracleHomes()
{
    EnsureDetected();
    return g_homes;
}

TOracleHome DefaultOracleHome()
{
    EnsureDetected();
    return g_default;
}
