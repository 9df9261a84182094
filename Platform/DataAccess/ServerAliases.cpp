#include "DataAccess/ServerAliases.h"

#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "Core/TextFormat.h"
#include "DataAccess/DAError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString g_serversIni;

// The first line that is none of: blank, comment, [section], key=value; 0 when every line is one.
int firstDamagedLine(const QByteArray &bytes)
{
    QByteArray text = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const bool good = line.isEmpty() || line.startsWith(';') || line.startsWith('#') ||
                          (line.startsWith('[') && line.endsWith(']') && line.size() > 2) ||
                          (line.indexOf('=') > 0 && !line.startsWith('['));
        if (!good || lines[i].contains('\0'))
            return i + 1;
    }
    return 0;
}

} // namespace

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
            alias->path = path.isEmpty()
                              ? QString()
                              : QDir::cleanPath(QFileInfo(ServersIniPath()).absoluteDir().absoluteFilePath(path));
            alias->driver = ini.ReadString(section, QStringLiteral("Driver"), QString());
            alias->database = ini.ReadString(section, QStringLiteral("Database"), QString());
            // Host (the PostgreSQL aliases' word) and HostName (the Oracle ones') are the same.
            alias->hostName = ini.ReadString(section, QStringLiteral("HostName"),
                                             ini.ReadString(section, QStringLiteral("Host"), QString()));
            alias->port = ini.ReadInteger(section, QStringLiteral("Port"), -1);
            alias->connectOptions = ini.ReadString(section, QStringLiteral("ConnectOptions"), QString());
        }
        return true;
    }
    return false;
}

QString ServersIniFault()
{
    const QString path = ServersIniPath();
    if (!QFileInfo(path).isFile())
        return Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_ServersIniMissing")), path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_ServersIniUnreadable")), path);
    if (const int line = firstDamagedLine(file.readAll()))
        return Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_ServersIniDamaged")), path, line);
    return QString();
}

TServerAlias ResolveServerAlias(const QString &name)
{
    const QString fault = ServersIniFault();
    if (!fault.isEmpty())
        RaiseConfigError(OraErr::UnknownService, fault);
    TServerAlias alias;
    if (!FindServerAlias(name, &alias))
        RaiseConfigError(OraErr::UnknownService, Fmt(PlatformText(QStringLiteral("rstr_fmtmsg_ServerAliasUnknown")),
                                                     name.trimmed(), ServersIniPath()));
    return alias;
}
