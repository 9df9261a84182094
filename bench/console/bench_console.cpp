// Start-up, reload and quitting of the real console, measured as a whole
// process sees them. The program runs unattended in a copy of the
// installation folder, first on the demo installation's own menu (the
// baseline every figure is compared to), then on generated menus of the
// administrators' access group:
//   - 500 services in 50 groups over 25 module files, each with an icon of its own;
//   - 10,000 services in one group;
//   - 10,000 top-level groups.
// The demo and the 500 services run in pairs, back to back; the start's
// target is the median of the per-pair ratios, so that a change of the
// machine's load falls on both sides of each ratio. Each figure is printed
// with its baseline and target and PASS or MISS.
// The consoles keep their module cache in a folder of the benchmark: the first
// start of an installation reads its modules (cold), the measured ones find
// them known (warm). A soak of 1,000 reloads of the 500 services reports how
// the resident memory grows.
//
//   bench_console [runs]      (the installation folder is taken from ZANDRELL_DIST_DIR or the build)
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

constexpr int kModules = 25;
constexpr int kFirstItemId = 5000;
constexpr int kFirstMenuId = 1000;
// A console that takes longer than this for one step counts as hung.
constexpr int kStepTimeoutMs = 120000;
// The user's cache folder of every console started here (their module cache).
QString g_cacheFolder;

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

// The rows of a generated menu, as VALUES lists of SRVITEMS and MENUCFG.
struct TMenuRows {
    QStringList catalogue, menu;
    int nextId = kFirstMenuId;

    int addGroup(int owner, const QString &name, int sortOrder)
    {
        const int id = ++nextId;
        menu << QStringLiteral("(%1, 1, %2, 1, '%3', NULL, NULL, %4)").arg(id).arg(owner).arg(name).arg(sortOrder);
        return id;
    }
    // Service number i: module file i % 25, a tool button for every 25th.
    void addService(int group, int i)
    {
        const int module = i % kModules + 1;
        catalogue << QStringLiteral("(%1, 'Service %2', 'BenchMod%3.so', '{M%3-BENCH-%2}', %4, 0)")
                         .arg(kFirstItemId + i)
                         .arg(i, 3, 10, QLatin1Char('0'))
                         .arg(module, 2, 10, QLatin1Char('0'))
                         .arg(i % 25 == 0 ? 1 : 0);
        menu << QStringLiteral("(%1, 1, %2, 0, NULL, %3, '1', %4)")
                    .arg(++nextId)
                    .arg(group)
                    .arg(kFirstItemId + i)
                    .arg(i);
    }
};

TMenuRows generatedMenu(int topGroups, int subGroups, int services)
{
    TMenuRows rows;
    QList<int> groups;
    for (int t = 0; t < topGroups; ++t) {
        const int top = rows.addGroup(0, QStringLiteral("Group %1").arg(t), t * 10);
        groups << top;
        for (int s = 0; s < subGroups; ++s)
            groups << rows.addGroup(top, QStringLiteral("Group %1.%2").arg(t).arg(s), s * 10);
    }
    for (int i = 0; i < services; ++i)
        rows.addService(groups.at(i % groups.size()), i);
    return rows;
}

std::unique_ptr<TOraSession> connectTo(const QString &installation)
{
    SetServersIniPath(installation + QStringLiteral("/Servers.ini"));
    auto session = std::make_unique<TOraSession>();
    session->SetConnectPrompt(false);
    session->SetServer(QStringLiteral("ZANDRELL"));
    session->SetUsername(QStringLiteral("ZL_USER"));
    session->SetPassword(QStringLiteral("demo"));
    session->Connect();
    return session;
}

void insertInChunks(TOraSession &session, const QString &head, const QStringList &values)
{
    constexpr int kChunk = 400;
    for (int i = 0; i < values.size(); i += kChunk)
        session.ExecSQL(head + values.mid(i, kChunk).join(QStringLiteral(", ")));
}

// Replaces the administrators' menu by the generated one.
void installMenu(const QString &installation, const TMenuRows &rows)
{
    {
        auto session = connectTo(installation);
        session->ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1"));
        session->ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.SRVITEMS WHERE ITEMID >= %1").arg(kFirstItemId));
        insertInChunks(
            *session,
            QStringLiteral(
                "INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) VALUES "),
            rows.catalogue);
        insertInChunks(
            *session,
            QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, "
                           "ITEMMODE, SORT_ORDER) VALUES "),
            rows.menu);
        session->Commit();
    }
    SetServersIniPath(QString());
}

// The processor time a running process has used so far, in milliseconds (-1 when unknown).
double cpuTimeMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command name, which is in parentheses: utime and stime are the 12th and 13th.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// The resident memory of a running process in KiB (-1 when unknown).
qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// One run of the console; a figure below 0 was not reached in time.
struct TTiming {
    double readyMs = -1;
    double readyCpuMs = -1;
    QList<double> reloadMs;
    double quitMs = -1;
    // Module code the console ran after its first READY: readers started, modules loaded.
    int moduleReadsAfterReady = 0;
    // The resident memory after the reloads that were asked for, in KiB.
    QMap<int, qint64> residentAfterReload;
};

// Starts the console, waits for READY, reloads the menu `reloads` times, quits;
// the resident memory is taken after each reload of `residentAt`.
TTiming runConsole(const QString &installation, int reloads, const QList<int> &residentAt = {})
{
    TTiming timing;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KORCONSOLE_HEADLESS"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), g_cacheFolder);
    // The console tells when it starts the module reader ("probing") or loads a module ("loaded").
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zandrell.console.services.debug=true"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(installation);
    QElapsedTimer clock;
    clock.start();
    process.start(
        installation + QStringLiteral("/KorConsole"),
        {QStringLiteral("/server=ZANDRELL"), QStringLiteral("/user=ZL_USER"), QStringLiteral("/password=demo")});
    QByteArray pending;
    int readySeen = 0;
    bool dumped = false;
    double readyAtMs = -1;
    // Waits for the wanted READY, whose time it keeps, and for the dump after it
    // (it ends with the caption), so that the next step does not start while
    // the console still writes this one.
    auto waitForReady = [&](int wanted) {
        while (readySeen < wanted || !dumped) {
            if (!process.waitForReadyRead(kStepTimeoutMs))
                return false;
            pending += process.readAllStandardOutput();
            qsizetype end;
            while ((end = pending.indexOf('\n')) >= 0) {
                const QByteArray line = pending.left(end);
                if (line == "READY") {
                    dumped = false;
                    if (++readySeen == wanted)
                        readyAtMs = clock.nsecsElapsed() / 1e6;
                } else if (line.startsWith("CAPTION ")) {
                    dumped = true;
                }
                pending.remove(0, end + 1);
            }
        }
        return true;
    };
    QByteArray errors;
    auto moduleReads = [&] {
        errors += process.readAllStandardError();
        return int(errors.count(": probing ") + errors.count(": loaded "));
    };
    if (waitForReady(1)) {
        timing.readyMs = readyAtMs;
        timing.readyCpuMs = cpuTimeMs(process.processId());
        const int readsAtReady = moduleReads();
        for (int i = 0; i < reloads; ++i) {
            clock.restart();
            process.write("click Файл/Обновить меню\n");
            if (!waitForReady(2 + i))
                break;
            timing.reloadMs << readyAtMs;
            if (residentAt.contains(i + 1))
                timing.residentAfterReload.insert(i + 1, residentKb(process.processId()));
        }
        timing.moduleReadsAfterReady = moduleReads() - readsAtReady;
        // What the console still writes is of no interest; the pipe must not fill up.
        QObject::connect(&process, &QProcess::readyReadStandardOutput, &process,
                         [&] { process.readAllStandardOutput(); });
        clock.restart();
        process.write("quit\n");
        process.closeWriteChannel();
        if (process.waitForFinished(kStepTimeoutMs))
            timing.quitMs = clock.nsecsElapsed() / 1e6;
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return timing;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

struct TFigures {
    double readyMs = -1, reloadMs = -1, quitMs = -1;
    double readyCpuMs = -1;        // the processor time the console had used at READY
    int moduleReadsAfterReady = 0; // the most of any run
};

// Every run of one installation, in run order.
struct TRuns {
    QList<double> ready, readyCpu, reload, quit;
    int moduleReads = 0; // module code run after READY, the most of any run

    // The medians; not reached when a run hung.
    TFigures Medians() const
    {
        const auto hung = [](const QList<double> &values) {
            return std::any_of(values.begin(), values.end(), [](double v) { return v < 0; });
        };
        if (hung(ready) || hung(quit))
            return {};
        return {median(ready), median(reload), median(quit), median(readyCpu), moduleReads};
    }
};

// `runs` runs of each installation, the installations in turns.
QList<TRuns> measure(const QStringList &installations, int runs, int reloads)
{
    QList<TRuns> all(installations.size());
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < installations.size(); ++i) {
            const TTiming t = runConsole(installations.at(i), reloads);
            all[i].ready << t.readyMs;
            all[i].readyCpu << t.readyCpuMs;
            all[i].reload << t.reloadMs;
            all[i].quit << t.quitMs;
            all[i].moduleReads = qMax(all[i].moduleReads, t.moduleReadsAfterReady);
        }
    }
    return all;
}

// The median of figure / baseline over the runs that ran as a pair; -1 when a
// run of either did not reach its value.
double pairedRatio(const QList<double> &figures, const QList<double> &baselines)
{
    QList<double> ratios;
    for (qsizetype run = 0; run < figures.size() && run < baselines.size(); ++run) {
        if (figures.at(run) < 0 || baselines.at(run) <= 0)
            return -1;
        ratios << figures.at(run) / baselines.at(run);
    }
    return median(ratios);
}

QString ms(double value)
{
    return value < 0 ? QStringLiteral("> %1 ms (not reached)").arg(kStepTimeoutMs)
                     : QStringLiteral("%1 ms").arg(value, 0, 'f', 0);
}

int g_misses = 0;

// One result line: the figure, what it is compared to, the target and the verdict.
void report(const char *what, double valueMs, const QString &baseline, const QString &target, bool pass)
{
    pass = pass && valueMs >= 0;
    if (!pass)
        ++g_misses;
    std::printf("  %-15s %-10s %-52s target %-12s %s\n", what, qPrintable(ms(valueMs)), qPrintable(baseline),
                qPrintable(target), pass ? "PASS" : "MISS");
}

// The processor time of a start, for reading a wall time taken on a busy machine.
void reportCpu(const TFigures &figures, const TFigures &demo, double ratio)
{
    std::printf("  %-15s %-10s demo %s (%.2fx)\n", "CPU at READY", qPrintable(ms(figures.readyCpuMs)),
                qPrintable(ms(demo.readyCpuMs)), ratio);
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
    if (dist.isEmpty())
        dist = QStringLiteral(ZANDRELL_DIST_DIR);
    // The demo installation and a copy of it that gets the generated menus.
    QTemporaryDir demoDir, menuDir;
    const QString demoInstallation = demoDir.path(), installation = menuDir.path();
    for (const QString &target : {demoInstallation, installation}) {
        copyTree(dist, target);
        for (int m = 1; m <= kModules; ++m)
            QFile::copy(QStringLiteral(BENCH_MODULE),
                        target + QStringLiteral("/BenchMod%1.so").arg(m, 2, 10, QLatin1Char('0')));
    }
    installMenu(installation, generatedMenu(10, 4, 500));
    QTemporaryDir cacheDir;
    g_cacheFolder = cacheDir.path();

    std::printf("Console benchmark: medians of %d runs each (3 menu reloads per run), the demo installation and the\n"
                "500 services run in pairs; the large menus one run without reloads. Load average: %s\n",
                runs, qPrintable(loadAverage()));
    // The first start of each installation reads its modules: the measured ones find them in the module cache.
    runConsole(demoInstallation, 0);
    const TTiming cold = runConsole(installation, 0);
    const QList<TRuns> paired = measure({demoInstallation, installation}, runs, 3);
    const TFigures demo = paired.at(0).Medians(), menu500 = paired.at(1).Medians();
    if (demo.readyMs < 0) {
        std::fprintf(stderr, "the console did not become ready on the demo installation\n");
        return 1;
    }
    std::printf("\nDemo installation (baseline): start to READY %s (CPU %s), menu reload %s, quit %s\n",
                qPrintable(ms(demo.readyMs)), qPrintable(ms(demo.readyCpuMs)), qPrintable(ms(demo.reloadMs)),
                qPrintable(ms(demo.quitMs)));
    const QString demoReady = QStringLiteral("demo READY %1").arg(ms(demo.readyMs));
    const QString demoQuit = QStringLiteral("demo quit %1").arg(ms(demo.quitMs));

    const double ratio = pairedRatio(paired.at(1).ready, paired.at(0).ready);
    std::printf("\n500 services in 50 groups over %d module files:\n", kModules);
    report("start to READY", menu500.readyMs,
           QStringLiteral("%1x the demo's, median of %2 pairs").arg(ratio, 0, 'f', 2).arg(runs),
           QStringLiteral("<= 1.5x"), ratio >= 0 && ratio <= 1.5);
    reportCpu(menu500, demo, pairedRatio(paired.at(1).readyCpu, paired.at(0).readyCpu));
    report("warm start", menu500.readyMs,
           QStringLiteral("%1x the demo's, median of %2 pairs").arg(ratio, 0, 'f', 2).arg(runs),
           QStringLiteral("<= 1.2x"), ratio >= 0 && ratio <= 1.2);
    std::printf("  %-15s %-10s first start of the installation, its modules read (no target)\n", "cold start",
                qPrintable(ms(cold.readyMs)));
    report("menu reload", menu500.reloadMs, QStringLiteral("demo reload %1").arg(ms(demo.reloadMs)),
           QStringLiteral("<= 15 ms"), menu500.reloadMs <= 15);
    const bool noModuleCode = menu500.moduleReadsAfterReady == 0 && demo.moduleReadsAfterReady == 0;
    if (!noModuleCode)
        ++g_misses;
    std::printf("  %-15s %-10d module readers started and modules loaded after READY %-16s target 0     %s\n",
                "reload reads", menu500.moduleReadsAfterReady, "", noModuleCode ? "PASS" : "MISS");

    // Resident memory after 100 and after 1,000 reloads of the same menu.
    const TTiming soak = runConsole(installation, 1000, {100, 1000});
    const qint64 at100 = soak.residentAfterReload.value(100, -1), at1000 = soak.residentAfterReload.value(1000, -1);
    const double growth = at100 > 0 && at1000 > 0 ? 100.0 * double(at1000 - at100) / double(at100) : -1;
    const bool soakPass = growth >= 0 && growth < 10;
    if (!soakPass)
        ++g_misses;
    std::printf(
        "  %-15s %+.1f %%    resident %lld KiB after 100 reloads, %lld KiB after 1,000 %-6s target < 10 %%  %s\n",
        "memory growth", growth, at100, at1000, "", soakPass ? "PASS" : "MISS");

    installMenu(installation, generatedMenu(1, 0, 10000));
    runConsole(installation, 0); // reads the new services' modules
    const TFigures services = measure({installation}, 1, 0).first().Medians();
    std::printf("\n10,000 services in one group:\n");
    report("start to READY", services.readyMs, demoReady, QStringLiteral("< 1500 ms"), services.readyMs < 1500);
    reportCpu(services, demo, services.readyCpuMs / demo.readyCpuMs);
    report("quit", services.quitMs, demoQuit, QStringLiteral("< 1000 ms"), services.quitMs < 1000);

    installMenu(installation, generatedMenu(10000, 0, 0));
    const TFigures groups = measure({installation}, 1, 0).first().Medians();
    std::printf("\n10,000 top-level groups:\n");
    std::printf("  %-15s %-10s %s (no target)\n", "start to READY", qPrintable(ms(groups.readyMs)),
                qPrintable(demoReady));
    report("quit", groups.quitMs, demoQuit, QStringLiteral("< 1000 ms"), groups.quitMs < 1000);

    std::printf("\nLoad average at the end: %s\n", qPrintable(loadAverage()));
    std::printf("\n%s\n",
                g_misses == 0 ? "all targets met" : qPrintable(QStringLiteral("%1 target(s) missed").arg(g_misses)));
    return g_misses == 0 ? 0 : 2;
}
