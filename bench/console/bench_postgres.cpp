// The real console on the shared PostgreSQL scheme server, against the same
// console on the embedded server (the baseline, measured in the same run):
//   - log-in to READY on the demo menu, within 2x the embedded server's;
//   - log-in to READY on a generated menu of 500 services in 50 groups over
//     25 module files, within 2x the embedded server's;
//   - a menu reload of the 500 services under 150 ms;
//   - 20 consoles logging in at once, all at READY within 5 s.
// Both servers' runs alternate, in pairs; a ratio is the median of the
// per-pair ratios, so that a change of the machine's load falls on both sides.
// The run starts its own PostgreSQL cluster in a temporary folder and stops it
// at the end; it leaves nothing behind.
//
//   bench_postgres [runs]      (the installation folder is taken from ZANDRELL_DIST_DIR or the build)
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"
#include "tools/dbbuild/DbBuilder.h"
#include "tools/pgbuild/PgCluster.h"
#include "tools/pgbuild/PgSchemeInstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kModules = 25;
constexpr int kFirstItemId = 5000;
constexpr int kFirstMenuId = 1000;
constexpr int kStepTimeoutMs = 60000;

void copyInstallation(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString relative = QDir(from).relativeFilePath(file);
        if (relative == QLatin1String("Console.ini") || relative == QLatin1String("Servers.ini"))
            continue;
        QDir().mkpath(QFileInfo(to + QLatin1Char('/') + relative).path());
        QFile::copy(file, to + QLatin1Char('/') + relative);
        QFile::setPermissions(to + QLatin1Char('/') + relative, QFileInfo(file).permissions());
    }
    for (int m = 1; m <= kModules; ++m)
        QFile::copy(QStringLiteral(BENCH_MODULE),
                    to + QStringLiteral("/BenchMod%1.so").arg(m, 2, 10, QLatin1Char('0')));
}

// The administrators' menu replaced by 500 services in 10 groups of 4 subgroups each, over 25 module files.
void installGeneratedMenu(const QString &installation)
{
    QStringList catalogue, menu;
    QList<int> groups;
    int id = kFirstMenuId;
    for (int t = 0; t < 10; ++t) {
        const int top = ++id;
        menu << QStringLiteral("(%1, 1, 0, 1, 'Group %2', NULL, NULL, %3)").arg(top).arg(t).arg(t * 10);
        groups << top;
        for (int s = 0; s < 4; ++s) {
            menu << QStringLiteral("(%1, 1, %2, 1, 'Group %3.%4', NULL, NULL, %5)")
                        .arg(++id)
                        .arg(top)
                        .arg(t)
                        .arg(s)
                        .arg(s * 10);
            groups << id;
        }
    }
    for (int i = 0; i < 500; ++i) {
        const int module = i % kModules + 1;
        catalogue << QStringLiteral("(%1, 'Service %2', 'BenchMod%3.so', '{M%3-BENCH-%2}', %4, 0)")
                         .arg(kFirstItemId + i)
                         .arg(i, 3, 10, QLatin1Char('0'))
                         .arg(module, 2, 10, QLatin1Char('0'))
                         .arg(i % 25 == 0 ? 1 : 0);
        menu << QStringLiteral("(%1, 1, %2, 0, NULL, %3, '1', %4)")
                    .arg(++id)
                    .arg(groups.at(i % groups.size()))
                    .arg(kFirstItemId + i)
                    .arg(i);
    }
    SetServersIniPath(installation + QStringLiteral("/Servers.ini"));
    {
        TOraSession session;
        session.SetConnectPrompt(false);
        session.SetServer(QStringLiteral("ZANDRELL"));
        session.SetUsername(QStringLiteral("ZL_USER"));
        session.SetPassword(QStringLiteral("demo"));
        session.Connect();
        session.ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1"));
        session.ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, "
                                       "ISLANG) VALUES ") +
                        catalogue.join(QStringLiteral(", ")));
        session.ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, "
                                       "ITEMID, ITEMMODE, SORT_ORDER) VALUES ") +
                        menu.join(QStringLiteral(", ")));
        session.Commit();
    }
    SetServersIniPath(QString());
}

// A console process started unattended: start to READY, then menu reloads, then quit.
class TConsoleProcess {
public:
    TConsoleProcess(const QString &installation, const QString &runtime, const QString &user)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KORCONSOLE_HEADLESS"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(installation);
        m_clock.start();
        m_process.start(
            installation + QStringLiteral("/KorConsole"),
            {QStringLiteral("/server=ZANDRELL"), QStringLiteral("/user=") + user, QStringLiteral("/password=demo")});
    }
    ~TConsoleProcess()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.write("quit\n");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(kStepTimeoutMs))
            m_process.kill();
        m_process.waitForFinished();
    }

    // Milliseconds from the start (or from the last call) to the next READY; -1 when none came in time.
    double NextReadyMs()
    {
        while (m_pending.indexOf("READY\n") < 0) {
            if (!m_process.waitForReadyRead(kStepTimeoutMs))
                return -1;
            m_pending += m_process.readAllStandardOutput();
            // Only READY matters: the dump after it may be dropped.
            const qsizetype ready = m_pending.indexOf("READY\n");
            m_pending = ready >= 0 ? m_pending.mid(ready) : m_pending.right(8);
        }
        m_pending.remove(0, m_pending.indexOf("READY\n") + 6);
        const double ms = m_clock.nsecsElapsed() / 1e6;
        m_clock.restart();
        return ms;
    }
    double ReloadMs()
    {
        m_clock.restart();
        m_process.write("click Файл/Обновить меню\n");
        return NextReadyMs();
    }

private:
    QProcess m_process;
    QElapsedTimer m_clock;
    QByteArray m_pending;
};

double median(QList<double> values)
{
    if (values.isEmpty() || std::any_of(values.begin(), values.end(), [](double v) { return v < 0; }))
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The per-pair ratios' median; -1 when a run did not reach READY.
double pairedRatio(const QList<double> &figures, const QList<double> &baselines)
{
    QList<double> ratios;
    for (qsizetype i = 0; i < figures.size() && i < baselines.size(); ++i) {
        if (figures.at(i) < 0 || baselines.at(i) <= 0)
            return -1;
        ratios << figures.at(i) / baselines.at(i);
    }
    return median(ratios);
}

int g_misses = 0;

void report(const char *figure, const QString &value, const QString &baseline, const char *target, bool pass)
{
    g_misses += pass ? 0 : 1;
    std::printf("  %-34s %-12s %-44s target %-12s %s\n", figure, qPrintable(value), qPrintable(baseline), target,
                pass ? "PASS" : "MISS");
}

QString ms(double value)
{
    return value < 0 ? QStringLiteral("not reached") : QStringLiteral("%1 ms").arg(value, 0, 'f', 0);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
    if (dist.isEmpty())
        dist = QStringLiteral(ZANDRELL_DIST_DIR);
    if (const QString why = TPgCluster::Unavailable(); !why.isEmpty()) {
        std::fprintf(stderr, "bench_postgres: %s\n", qPrintable(why));
        return 1;
    }
    const QString scheme = QStringLiteral(ZANDRELL_SCHEME_DIR);
    QTemporaryDir serverDir, runtime, embeddedDemo, embeddedMenu, postgresDemo, postgresMenu;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    TPgCluster cluster;
    try {
        cluster.Start(serverDir.path());
        cluster.SetStopAtEnd(true);
        for (const QString &database : {QStringLiteral("zandrell"), QStringLiteral("zandrell500")})
            InstallPgScheme(cluster.Administrator(), scheme + QStringLiteral("/postgres"), database);
        // The embedded installations get their own copy of the demo server, the
        // PostgreSQL ones an alias of the same name for a database of the cluster.
        for (const QString &installation : {embeddedDemo.path(), embeddedMenu.path()}) {
            copyInstallation(dist, installation);
            BuildServerFolder(scheme, installation + QStringLiteral("/Db/ZANDRELL"));
            WriteServerAlias(installation + QStringLiteral("/Servers.ini"), QStringLiteral("ZANDRELL"),
                             QStringLiteral("Db/ZANDRELL"));
        }
        copyInstallation(dist, postgresDemo.path());
        WritePostgresAlias(postgresDemo.filePath(QStringLiteral("Servers.ini")), QStringLiteral("ZANDRELL"),
                           cluster.Administrator(), QStringLiteral("zandrell"));
        copyInstallation(dist, postgresMenu.path());
        WritePostgresAlias(postgresMenu.filePath(QStringLiteral("Servers.ini")), QStringLiteral("ZANDRELL"),
                           cluster.Administrator(), QStringLiteral("zandrell500"));
        installGeneratedMenu(embeddedMenu.path());
        installGeneratedMenu(postgresMenu.path());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_postgres: %s\n", e.what());
        return 1;
    }

    std::printf("PostgreSQL scheme server against the embedded one: medians of %d runs each, in pairs\n", runs);
    // Start to READY, then three menu reloads (the 500 services' reloads are the figure).
    QList<double> demoEmbedded, demoPostgres, menuEmbedded, menuPostgres, reloads, reloadsEmbedded;
    for (int run = 0; run < runs; ++run) {
        {
            TConsoleProcess c(embeddedDemo.path(), runtime.path(), QStringLiteral("ZL_USER"));
            demoEmbedded << c.NextReadyMs();
        }
        {
            TConsoleProcess c(postgresDemo.path(), runtime.path(), QStringLiteral("ZL_USER"));
            demoPostgres << c.NextReadyMs();
        }
        {
            TConsoleProcess c(embeddedMenu.path(), runtime.path(), QStringLiteral("ZL_USER"));
            menuEmbedded << c.NextReadyMs();
            for (int i = 0; i < 3; ++i)
                reloadsEmbedded << c.ReloadMs();
        }
        {
            TConsoleProcess c(postgresMenu.path(), runtime.path(), QStringLiteral("ZL_USER"));
            menuPostgres << c.NextReadyMs();
            for (int i = 0; i < 3; ++i)
                reloads << c.ReloadMs();
        }
    }
    std::printf("\nBaseline, the embedded server: demo READY %s, 500 services READY %s, reload %s\n\n",
                qPrintable(ms(median(demoEmbedded))), qPrintable(ms(median(menuEmbedded))),
                qPrintable(ms(median(reloadsEmbedded))));
    const double demoRatio = pairedRatio(demoPostgres, demoEmbedded);
    report("log-in to READY, demo menu", ms(median(demoPostgres)),
           QStringLiteral("%1x the embedded server's").arg(demoRatio, 0, 'f', 2), "<= 2x",
           demoRatio > 0 && demoRatio <= 2);
    const double menuRatio = pairedRatio(menuPostgres, menuEmbedded);
    report("log-in to READY, 500 services", ms(median(menuPostgres)),
           QStringLiteral("%1x the embedded server's").arg(menuRatio, 0, 'f', 2), "<= 2x",
           menuRatio > 0 && menuRatio <= 2);
    const double reload = median(reloads);
    report("menu reload, 500 services", ms(reload), QStringLiteral("embedded %1").arg(ms(median(reloadsEmbedded))),
           "< 150 ms", reload > 0 && reload < 150);

    // 20 consoles logging in at once, operators and administrators by turns.
    QElapsedTimer all;
    all.start();
    {
        std::vector<std::unique_ptr<TConsoleProcess>> consoles;
        for (int i = 0; i < 20; ++i)
            consoles.push_back(std::make_unique<TConsoleProcess>(
                postgresDemo.path(), runtime.path(), i % 2 ? QStringLiteral("OPERATOR") : QStringLiteral("ZL_USER")));
        double last = 0;
        for (const auto &console : consoles) {
            const double ready = console->NextReadyMs();
            last = ready < 0 ? -1 : qMax(last, all.nsecsElapsed() / 1e6);
            if (last < 0)
                break;
        }
        report("20 consoles at once, the last READY", ms(last),
               QStringLiteral("one console %1").arg(ms(median(demoPostgres))), "< 5000 ms", last > 0 && last < 5000);
    }
    std::printf("\n%s\n",
                g_misses == 0 ? "all targets met" : qPrintable(QStringLiteral("%1 target(s) missed").arg(g_misses)));
    return g_misses == 0 ? 0 : 2;
}
