#include "ServerAliases.h"

#include "IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString g_serversIni;
}

QString ServersIniPath()
{
    if (!g_serversIni.isEmpty())
        return g_serversIni;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Servers.ini"));
}

void SetServersIniPath(const QString &path) { g_serversIni = path; }

QStringList ServerAliasNames()
{
    if (!QFileInfo::exists(ServersIniPath()))
        return {};
    return TIniFile(ServersIniPath()).ReadSections();
}

bool FindServerAlias(const QString &name, TServerAlias *alias)
{
    const QString wanted = name.trimmed();
    if (wanted.isEmpty() || !QFileInfo::exists(ServersIniPath()))
        return false;
    TIniFile ini(ServersIniPath());
    for (const QString &section : ini.ReadSections()) {
        if (section.compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        if (alias) {
            alias->name = section;
            alias->backend = ini.ReadString(section, QStringLiteral("Backend"), QStringLiteral("sqlite")).toLower();
            const QString path = ini.ReadString(section, QStringLiteral("Path"), QString());
            // A relative path starts at the folder of Servers.ini, which is the program's folder.
            alias->path = path.isEmpty() ? QString()
                                         : QDir::cleanPath(QFileInfo(ServersIniPath()).absoluteDir().absoluteFilePath(path));
            alias->driver = ini.ReadString(section, QStringLiteral("Driver"), QString());
            alias->database = ini.ReadString(section, QStringLiteral("Database"), QString());
            alias->hostName = ini.ReadString(section, QStringLiteral("HostName"), QString());
            alias->port = ini.ReadInteger(section, QStringLiteral("Port"), -1);
            alias->connectOptions = ini.ReadString(section, QStringLiteral("ConnectOptions"), QString());
        }
        return true;
    }
    return false;
}
