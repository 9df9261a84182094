// Start-up and reload of the console on a generated scheme: 500 services in
// 50 menu groups over 25 module files, each with an icon of its own. The real
// program runs unattended in a copy of the installation folder; the time from
// its start to READY and the time of a menu reload are measured as a whole
// process sees them.
//
//   bench_console [runs]      (the installation folder is taken from ZANDRELL_DIST_DIR or the build)
#include "OraSession.h"
#include "ServerAliases.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kModules = 25;
constexpr int kTopGroups = 10;
constexpr int kSubGroups = 4; // per top-level group: 10 + 40 = 50 groups
constexpr int kServices = 500;

void copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString relative = QDir(from).relativeFilePath(file);
        if (relative == QLatin1String("Console.ini"))
            continue;
        QDir().mkpath(QFileInfo(to + QLatin1Char('/') + relative).path());
        QFile::copy(file, to + QLatin1Char('/') + relative);
        QFile::setPermissions(to + QLatin1Char('/') + relative, QFileInfo(file).permissions());
    }
}

// Replaces the administrators' menu by the generated one.
void generateScheme(const QString &installation)
{
    SetServersIniPath(installation + QStringLiteral("/Servers.ini"));
    TOraSession session;
    session.SetConnectPrompt(false);
    session.SetServer(QStringLiteral("ZANDRELL"));
    session.SetUsername(QStringLiteral("ZL_USER"));
    session.SetPassword(QStringLiteral("demo"));
    session.Connect();
    session.ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1"));
    QStringList catalogue, menu;
    int id = 1000;
    QList<int> groups;
    for (int t = 0; t < kTopGroups; ++t) {
        const int top = ++id;
        menu << QStringLiteral("(%1, 1, 0, 1, 'Group %2', NULL, NULL, %3)").arg(top).arg(t).arg(t * 10);
        groups << top;
        for (int s = 0; s < kSubGroups; ++s) {
            const int sub = ++id;
            menu << QStringLiteral("(%1, 1, %2, 1, 'Group %3.%4', NULL, NULL, %5)").arg(sub).arg(top).arg(t).arg(s).arg(s * 10);
            groups << sub;
        }
    }
    for (int i = 0; i < kServices; ++i) {
        const int module = i % kModules + 1;
        catalogue << QStringLiteral("(%1, 'Service %2', 'BenchMod%3.so', '{M%3-BENCH-%2}', %4, 0)")
                         .arg(5000 + i)
                         .arg(i, 3, 10, QLatin1Char('0'))
                         .arg(module, 2, 10, QLatin1Char('0'))
                         .arg(i % 25 == 0 ? 1 : 0);
        menu << QStringLiteral("(%1, 1, %2, 0, NULL, %3, '1', %4)").arg(++id).arg(groups.at(i % groups.size())).arg(5000 + i).arg(i);
    }
    session.ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) VALUES ") +
                    catalogue.join(QStringLiteral(", ")));
    session.ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, "
                                   "SORT_ORDER) VALUES ") +
                    menu.join(QStringLiteral(", ")));
    session.Commit();
    SetServersIniPath(QString());
}

struct Timing {
    double readyMs = -1;
    QList<double> reloadMs;
    int menuLines = 0;
};

// Starts the console, waits for READY, reloads the menu `reloads` times, quits.
Timing runConsole(const QString &installation, int reloads)
{
    Timing timing;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KORCONSOLE_HEADLESS"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(installation);
    QElapsedTimer clock;
    clock.start();
    process.start(installation + QStringLiteral("/KorConsole"),
                  {QStringLiteral("/server=ZANDRELL"), QStringLiteral("/user=ZL_USER"), QStringLiteral("/password=demo")});
    QByteArray pending;
    int readySeen = 0;
    auto waitForReady = [&](int wanted) {
        while (readySeen < wanted) {
            if (!process.waitForReadyRead(60000))
                return false;
            pending += process.readAllStandardOutput();
            qsizetype end;
            while ((end = pending.indexOf('\n')) >= 0) {
                const QByteArray line = pending.left(end);
                pending.remove(0, end + 1);
                if (line == "READY")
                    ++readySeen;
                else if (line.startsWith("MENU ") && readySeen == 1)
                    ++timing.menuLines;
            }
        }
        return true;
    };
    if (!waitForReady(1))
        return timing;
    timing.readyMs = clock.nsecsElapsed() / 1e6;
    for (int i = 0; i < reloads; ++i) {
        clock.restart();
        process.write("click Файл/Обновить меню\n");
        if (!waitForReady(2 + i))
            break;
        timing.reloadMs << clock.nsecsElapsed() / 1e6;
    }
    process.write("quit\n");
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return timing;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
    if (dist.isEmpty())
        dist = QStringLiteral(ZANDRELL_DIST_DIR);
    QTemporaryDir dir;
    const QString installation = dir.path();
    copyTree(dist, installation);
    for (int m = 1; m <= kModules; ++m)
        QFile::copy(QStringLiteral(BENCH_MODULE), installation + QStringLiteral("/BenchMod%1.so").arg(m, 2, 10, QLatin1Char('0')));
    generateScheme(installation);

    QList<double> ready, reload;
    int menuLines = 0;
    for (int run = 0; run < runs; ++run) {
        const Timing t = runConsole(installation, 3);
        if (t.readyMs < 0) {
            std::fprintf(stderr, "the console did not become ready\n");
            return 1;
        }
        ready << t.readyMs;
        reload << t.reloadMs;
        menuLines = t.menuLines;
    }
    std::printf("services: %d in %d groups over %d module files\n", kServices, kTopGroups * (1 + kSubGroups), kModules);
    std::printf("menu lines in the dump: %d\n", menuLines);
    std::printf("start to READY: median %.0f ms over %d runs (min %.0f, max %.0f)\n", median(ready), int(ready.size()),
                *std::min_element(ready.begin(), ready.end()), *std::max_element(ready.begin(), ready.end()));
    std::printf("menu reload:    median %.0f ms over %d reloads\n", median(reload), int(reload.size()));
    return 0;
}
