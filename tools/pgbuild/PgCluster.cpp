#include "tools/pgbuild/PgCluster.h"

#include "Core/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QTcpServer>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kAdministrator[] = "zandrell_admin";
constexpr char kServerUser[] = "postgres";

QString binFolder()
{
    const QString configured = qEnvironmentVariable("ZANDRELL_PG_BIN");
    return configured.isEmpty() ? QStringLiteral("/usr/lib/postgresql/15/bin") : configured;
}

QString program(const char *name) { return QDir(binFolder()).filePath(QString::fromLatin1(name)); }

bool asRoot() { return ::geteuid() == 0; }

// Runs a program of the server, as the server's user when this process is root.
bool runServerProgram(const QString &name, const QStringList &arguments, QString *output, int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (asRoot())
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QString::fromLatin1(kServerUser), QStringLiteral("--"), name} +
                    arguments);
    else
        p.start(name, arguments);
    if (!p.waitForStarted(10000)) {
        *output = QStringLiteral("cannot start %1").arg(name);
        return false;
    }
    p.waitForFinished(timeoutMs);
    *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The folder (and what is in it) belongs to the server's user when this process is root.
void handOver(const QString &path)
{
    if (!asRoot())
        return;
    const passwd *pw = ::getpwnam(kServerUser);
    if (pw && ::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) != 0)
        throw EOSError(QStringLiteral("Cannot give \"%1\" to the user %2").arg(path, QString::fromLatin1(kServerUser)));
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

void writeText(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EOSError(QStringLiteral("Cannot write \"%1\": %2").arg(path, f.errorString()));
    f.write(text.toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    handOver(path);
}

bool portIsFree(int port)
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, quint16(port));
}

int freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        throw EOSError(QStringLiteral("No free TCP port on localhost"));
    return probe.serverPort();
}

// The port of a running server of the folder, from its postmaster.pid (line 4); 0 when none runs.
int runningPort(const QString &folder)
{
    const QStringList lines = readText(QDir(folder).filePath(QStringLiteral("data/postmaster.pid"))).split('\n');
    QString out;
    if (lines.size() < 4 || !runServerProgram(program("pg_ctl"),
                                              {QStringLiteral("-D"), QDir(folder).filePath(QStringLiteral("data")),
                                               QStringLiteral("status")},
                                              &out, 10000))
        return 0;
    return lines[3].trimmed().toInt();
}

QString shellQuoted(const QString &text) { return QLatin1Char('\'') + QString(text).replace("'", "'\\''") + "'"; }

} // namespace

TPgCluster::~TPgCluster()
{
    if (m_stopAtEnd && m_started) {
        try {
            Stop();
        } catch (const std::exception &) {
            // Nothing more to do at the end; the folder goes with its owner.
        }
    }
}

QString TPgCluster::Unavailable()
{
    QStringList missing;
    for (const char *name : {"initdb", "pg_ctl", "pg_config"})
        if (!QFileInfo(program(name)).isExecutable())
            missing << QStringLiteral("%1 (postgresql-15)").arg(program(name));
    if (missing.isEmpty()) {
        QProcess config;
        config.start(program("pg_config"), {QStringLiteral("--sharedir")});
        config.waitForFinished(10000);
        const QString share = QString::fromLocal8Bit(config.readAllStandardOutput()).trimmed();
        if (!QFileInfo::exists(QDir(share).filePath(QStringLiteral("extension/orafce.control"))))
            missing << QStringLiteral("the extension orafce (postgresql-15-orafce)");
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        missing << QStringLiteral("Qt's driver QPSQL (libqt6sql6-psql)");
    if (asRoot() && !::getpwnam(kServerUser))
        missing << QStringLiteral("the user %1 the server runs as").arg(QString::fromLatin1(kServerUser));
    if (missing.isEmpty())
        return QString();
    return QStringLiteral("no PostgreSQL server can be started here: missing %1")
        .arg(missing.join(QLatin1String(", ")));
}

void TPgCluster::Start(const QString &folderPath, int tcpPort, bool durable)
{
    m_folder = QDir(folderPath).absolutePath();
    const QDir folder(m_folder);
    if (!QDir().mkpath(m_folder))
        throw EOSError(QStringLiteral("Cannot make the server's folder \"%1\"").arg(m_folder));
    handOver(m_folder);
    ::chmod(QFile::encodeName(m_folder).constData(), 0700);
    QString out;
    const QString data = folder.filePath(QStringLiteral("data"));
    if (!QFileInfo::exists(QDir(data).filePath(QStringLiteral("PG_VERSION")))) {
        QByteArray secret(18, '\0');
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(secret.data()), secret.size() / 4);
        const QString passwordFile = folder.filePath(QStringLiteral("admin.pw"));
        writeText(passwordFile, QString::fromLatin1(secret.toBase64(QByteArray::Base64UrlEncoding)));
        if (!runServerProgram(program("initdb"),
                              {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("scram-sha-256"),
                               QStringLiteral("--pwfile=") + passwordFile, QStringLiteral("-U"),
                               QString::fromLatin1(kAdministrator), QStringLiteral("-E"), QStringLiteral("UTF8"),
                               QStringLiteral("--locale=C.UTF-8")},
                              &out))
            throw EOSError(QStringLiteral("initdb of \"%1\" failed:\n%2").arg(data, out));
    }
    if (const int running = runningPort(m_folder)) {
        m_port = running;
        return;
    }
    const QString portFile = folder.filePath(QStringLiteral("port"));
    if (tcpPort < 0) {
        const int kept = readText(portFile).toInt();
        tcpPort = kept > 0 && portIsFree(kept) ? kept : freePort();
        writeText(portFile, QString::number(tcpPort));
    }
    m_port = tcpPort > 0 ? tcpPort : 5432;
    QStringList options{QStringLiteral("-k ") + shellQuoted(m_folder), QStringLiteral("-p %1").arg(m_port),
                        tcpPort > 0 ? QStringLiteral("-c listen_addresses=localhost")
                                    : QStringLiteral("-c listen_addresses=''")};
    if (!durable)
        options << QStringLiteral("-c fsync=off -c synchronous_commit=off -c full_page_writes=off");
    if (!runServerProgram(program("pg_ctl"),
                          {QStringLiteral("-D"), data, QStringLiteral("-l"),
                           folder.filePath(QStringLiteral("server.log")), QStringLiteral("-w"), QStringLiteral("-t"),
                           QStringLiteral("60"), QStringLiteral("-o"), options.join(QLatin1Char(' ')),
                           QStringLiteral("start")},
                          &out))
        throw EOSError(QStringLiteral("The server of \"%1\" did not start:\n%2\n%3")
                           .arg(m_folder, out, readText(folder.filePath(QStringLiteral("server.log"))).right(2000)));
    m_started = true;
}

void TPgCluster::StopFolder(const QString &folder)
{
    const QString data = QDir(folder).filePath(QStringLiteral("data"));
    if (!QFileInfo::exists(QDir(data).filePath(QStringLiteral("postmaster.pid"))))
        return;
    QString out;
    if (!runServerProgram(program("pg_ctl"),
                          {QStringLiteral("-D"), data, QStringLiteral("-m"), QStringLiteral("fast"),
                           QStringLiteral("-w"), QStringLiteral("stop")},
                          &out))
        throw EOSError(QStringLiteral("The server of \"%1\" did not stop:\n%2").arg(folder, out));
}

void TPgCluster::Stop()
{
    if (m_folder.isEmpty())
        return;
    StopFolder(m_folder);
    m_started = false;
}

TPgServerPlace TPgCluster::Administrator() const
{
    return {m_folder, m_port, QString::fromLatin1(kAdministrator),
            readText(QDir(m_folder).filePath(QStringLiteral("admin.pw")))};
}
