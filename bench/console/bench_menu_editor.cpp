// The menu configuration editor on the generated scheme of bench_console (500
// services in 50 groups, three rights each, over 25 module files) in a copy of
// the demo installation's database: opening the editor to its tree, reloading
// the tree, and switching to another access group and back. Each figure is
// the median of the runs, printed with its target and PASS or MISS. Last, the
// registration window reading the 25 module files (500 services).
//
//   bench_menu_editor [runs]      (the installation folder is taken from ZANDRELL_DIST_DIR or the build)
#include "Console/DLLLoaderIMPL.h"
#include "Console/ServiceListIMPL.h"
#include "Console/ShowMenuCfgIMPL.h"
#include "Core/DialogService.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kModules = 25;
constexpr int kFirstItemId = 5000;
constexpr int kFirstMenuId = 1000;

void copyDatabase(const QString &from, const QString &to)
{
    QFile::copy(from + QStringLiteral("/Servers.ini"), to + QStringLiteral("/Servers.ini"));
    QDirIterator it(from + QStringLiteral("/Db"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + QStringLiteral("/Db/") + QDir(from + QStringLiteral("/Db")).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
}

void insertInChunks(TOraSession &session, const QString &head, const QStringList &values)
{
    constexpr int kChunk = 400;
    for (int i = 0; i < values.size(); i += kChunk)
        session.ExecSQL(head + values.mid(i, kChunk).join(QStringLiteral(", ")));
}

// The administrators' menu: 10 top groups of 4 sub-groups each, 500 services spread over them.
void installGeneratedMenu(TOraSession &session)
{
    QStringList catalogue, rights, menu;
    QList<int> groups;
    int nextId = kFirstMenuId;
    for (int t = 0; t < 10; ++t) {
        const int top = ++nextId;
        menu << QStringLiteral("(%1, 1, 0, 1, 'Group %2', NULL, NULL, %3)").arg(top).arg(t).arg(t * 10 + 10);
        groups << top;
        for (int s = 0; s < 4; ++s) {
            menu << QStringLiteral("(%1, 1, %2, 1, 'Group %3.%4', NULL, NULL, %5)")
                        .arg(++nextId)
                        .arg(top)
                        .arg(t)
                        .arg(s)
                        .arg(s * 10 + 10);
            groups << nextId;
        }
    }
    for (int i = 0; i < 500; ++i) {
        const int item = kFirstItemId + i;
        catalogue << QStringLiteral("(%1, 'Service %2', 'BenchMod%3.so', '{M%3-BENCH-%2}', %4, 0)")
                         .arg(item)
                         .arg(i, 3, 10, QLatin1Char('0'))
                         .arg(i % kModules + 1, 2, 10, QLatin1Char('0'))
                         .arg(i % 25 == 0 ? 1 : 0);
        for (int r = 1; r <= 3; ++r)
            rights << QStringLiteral("(%1, %2, 'Right %2', 'Right %2', 0)").arg(item).arg(r);
        menu << QStringLiteral("(%1, 1, %2, 0, NULL, %3, '1101', %4)")
                    .arg(++nextId)
                    .arg(groups.at(i % groups.size()))
                    .arg(item)
                    .arg(i);
    }
    session.ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1"));
    insertInChunks(session,
                   QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
                                  "VALUES "),
                   catalogue);
    insertInChunks(
        session,
        QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS_MODE (ITEMID, SORT_ORDER, NAME, SOURCE_NAME, ISLANG) VALUES "),
        rights);
    insertInChunks(session,
                   QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, "
                                  "ITEMMODE, SORT_ORDER) VALUES "),
                   menu);
    session.Commit();
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values.at(values.size() / 2);
}

double timed(const std::function<void()> &step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return double(timer.nsecsElapsed()) / 1e6;
}

// A module that fails is a fault of the benchmark: every box is counted, none waits.
class TCountingDialogs : public IDialogService {
public:
    int boxes = 0;
    int MessageBox(const QString &text, const QString &caption, unsigned flags) override
    {
        ++boxes;
        std::fprintf(stderr, "box: %s: %s\n", qPrintable(caption), qPrintable(text));
        return DefaultMessageBoxResult(flags);
    }
    int ExecModal(QDialog *, bool) override { return 0; }
};

// The registration window reading 25 copies of the bench module (500 services).
double registrationMedian(int runs)
{
    constexpr int kServices = 500;
    QTemporaryDir folder;
    for (int m = 1; m <= kModules; ++m)
        QFile::copy(QStringLiteral(BENCH_MODULE),
                    folder.filePath(QStringLiteral("BenchMod%1.so").arg(m, 2, 10, QLatin1Char('0'))));
    TCountingDialogs dialogs;
    SetDialogService(&dialogs);
    QList<double> times;
    int services = 0;
    for (int run = 0; run < runs; ++run) {
        TLoader loader;
        loader.Folder = folder.path();
        times << timed([&] { loader.LoadAll(); });
        services = loader.Services().Count();
    }
    SetDialogService(nullptr);
    if (services != kServices || dialogs.boxes != 0) {
        std::printf("the registration read %d services with %d boxes\n", services, dialogs.boxes);
        return -1;
    }
    return median(times);
}

int g_misses = 0;

void report(const char *what, double valueMs, double targetMs)
{
    const bool pass = valueMs >= 0 && valueMs < targetMs;
    if (!pass)
        ++g_misses;
    std::printf("  %-28s %8.1f ms   target < %.0f ms   %s\n", what, valueMs, targetMs, pass ? "PASS" : "MISS");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 7;
    QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
    if (dist.isEmpty())
        dist = QStringLiteral(ZANDRELL_DIST_DIR);
    QTemporaryDir dir;
    copyDatabase(dist, dir.path());
    SetServersIniPath(dir.filePath(QStringLiteral("Servers.ini")));
    auto session = std::make_unique<TOraSession>();
    session->SetConnectPrompt(false);
    session->SetServer(QStringLiteral("ZANDRELL"));
    session->SetUsername(QStringLiteral("ZL_USER"));
    session->SetPassword(QStringLiteral("demo"));
    session->Connect();
    installGeneratedMenu(*session);

    QList<double> open, refresh, toOther, back;
    int nodes = 0;
    for (int run = 0; run < runs; ++run) {
        std::unique_ptr<TMenuConfig> form;
        open << timed([&] {
            form = TComBaseForm::Create<TMenuConfig>(nullptr, QStringLiteral("ZANDRELL5"), 1.0);
            form->SetSession(session.get());
            form->show();
        });
        nodes = int(form->tvMenu->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size());
        refresh << timed([&] { form->acRefreshMenu->trigger(); });
        toOther << timed([&] { form->AccessTbl->Locate(QStringLiteral("ACCESSID"), 2); });
        if (form->tvMenu->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size() == nodes) {
            std::printf("the switch to another group kept the tree\n");
            return 1;
        }
        back << timed([&] { form->AccessTbl->Locate(QStringLiteral("ACCESSID"), 1); });
        const int rebuilt =
            int(form->tvMenu->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size());
        if (rebuilt != nodes) {
            std::printf("the tree after the switch has %d nodes, not %d\n", rebuilt, nodes);
            return 1;
        }
        form->close();
    }
    std::printf("Menu editor on 500 services in 50 groups (%d tree nodes), median of %d runs:\n", nodes, runs);
    report("editor open to tree", median(open), 300);
    report("acRefreshMenu", median(refresh), 100);
    report("group switch (to the demo)", median(toOther), 100);
    report("group switch (back to 550)", median(back), 100);
    report("registration, 25 files", registrationMedian(runs), 1000);
    SetServersIniPath(QString());
    return g_misses == 0 ? 0 : 2;
}
