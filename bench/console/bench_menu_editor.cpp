// The menu configuration editor on the generated scheme of bench_console (500
// services in 50 groups, three rights each, over 25 module files) in a copy of
// the demo installation's database: opening the editor to its tree, reloading
// the tree, and switching to another access group and back. Each figure is
// the median of the runs, printed with its target and PASS or MISS. Then the
// writes: a service item's rights changed (the rights editor answered in the
// process) with the write and the redisplay, "Создать как" of the 550-row menu
// with the list and tree reloaded, and a 55-row group deleted row by row with
// one commit (the menu is put back between runs). Then "Просмотр меню группы"
// of the 550-row menu (read afresh, worked out, its window built), and what
// the history of changes adds to an editor action: a group renamed (the call,
// its commit and the tree read again) against the history's own statements
// for one change run through the session, an upper bound of what the package
// spends on them inside the call. Last, the registration window reading the
// 25 module files (500 services).
//
//   bench_menu_editor [runs]      (the installation folder is taken from ZANDRELL_DIST_DIR or the build)
#include "Console/DLLLoaderIMPL.h"
#include "Console/RightsEditIMPL.h"
#include "Console/ServiceListIMPL.h"
#include "Console/ShowMenuCfgIMPL.h"
#include "Console/uAccessGroups.h"
#include "Console/uConsoleCfg.h"
#include "Console/uMenu.h"
#include "Console/uModuleCache.h"
#include "Core/DialogService.h"
#include "DataAccess/Field.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "EmbeddedServer/SqliteConnection.h"
#include "Source/ComUnits/uComFunctions.h"
#include "bench/BenchRun.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QInputDialog>
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

// The administrators' menu: 10 top groups of 4 sub-groups each, 500 services
// spread over them; each top group holds 55 rows with its sub-groups.
QStringList generatedMenu()
{
    QStringList menu;
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
    for (int i = 0; i < 500; ++i)
        menu << QStringLiteral("(%1, 1, %2, 0, NULL, %3, '1101', %4)")
                    .arg(++nextId)
                    .arg(groups.at(i % groups.size()))
                    .arg(kFirstItemId + i)
                    .arg(i);
    return menu;
}

void installMenu(TOraSession &session)
{
    session.ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1"));
    insertInChunks(session,
                   QStringLiteral("INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, "
                                  "ITEMMODE, SORT_ORDER) VALUES "),
                   generatedMenu());
    session.Commit();
}

// The catalogue of 500 services with three rights each, and the administrators' menu over them.
void installGeneratedMenu(TOraSession &session)
{
    QStringList catalogue, rights;
    for (int i = 0; i < 500; ++i) {
        const int item = kFirstItemId + i;
        catalogue << QStringLiteral("(%1, 'Service %2', 'BenchMod%3.so', '{M%3-BENCH-%2}', %4, 0)")
                         .arg(item)
                         .arg(i, 3, 10, QLatin1Char('0'))
                         .arg(i % kModules + 1, 2, 10, QLatin1Char('0'))
                         .arg(i % 25 == 0 ? 1 : 0);
        for (int r = 1; r <= 3; ++r)
            rights << QStringLiteral("(%1, %2, 'Right %2', 'Right %2', 0)").arg(item).arg(r);
    }
    insertInChunks(session,
                   QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, ISLANG) "
                                  "VALUES "),
                   catalogue);
    insertInChunks(
        session,
        QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS_MODE (ITEMID, SORT_ORDER, NAME, SOURCE_NAME, ISLANG) VALUES "),
        rights);
    session.Commit();
    installMenu(session);
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

// The editor's questions answered with their default button (Yes), its input
// queries with `input`; any other box is a fault of the benchmark.
class TAnsweringDialogs : public IDialogService {
public:
    QString input;
    int questions = 0;
    int otherBoxes = 0;
    int MessageBox(const QString &text, const QString &caption, unsigned flags) override
    {
        if (flags & MB_ICONQUESTION) {
            ++questions;
        } else {
            ++otherBoxes;
            std::fprintf(stderr, "box: %s: %s\n", qPrintable(caption), qPrintable(text));
        }
        return DefaultMessageBoxResult(flags);
    }
    int modal = 0;
    int ExecModal(QDialog *dialog, bool) override
    {
        auto *query = qobject_cast<QInputDialog *>(dialog);
        if (!query) {
            ++modal;
            return QDialog::Rejected;
        }
        query->setTextValue(input);
        return QDialog::Accepted;
    }
};

QStringList rowsOf(TOraSession &session, const QString &statement)
{
    TOraQuery q;
    q.SetSession(&session);
    q.SetSQLText(statement);
    q.Open();
    QStringList rows;
    for (int r = 0; r < q.RecordCount(); ++r)
        rows << q.ValueAt(r, 0).toString();
    return rows;
}

int treeNodes(const TMenuConfig &form)
{
    return int(form.tvMenu->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size());
}

QTreeWidgetItem *topGroup(const TMenuConfig &form, const QString &name)
{
    const QTreeWidgetItem *root = form.tvMenu->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i)
        if (root->child(i)->text(0) == name)
            return root->child(i);
    return nullptr;
}

struct TWriteFigures {
    double rights = -1, createLike = -1, deleteGroup = -1, preview = -1, rename = -1;
};

// The history's statement for one change, as the package runs it, on a
// connection of its own: count lines in one transaction, rolled back; the
// time of one line.
double historyLineMs(const QString &serverFolder, int count)
{
    TSqliteBackend server;
    server.OpenAsAdministrator(serverFolder, false);
    TSqliteConnection &c = *server.Connection();
    c.BeginWrite(QStringLiteral("ZANDRELL5"));
    const double total = timed([&] {
        for (int i = 0; i < count; ++i)
            c.Exec(QStringLiteral("INSERT INTO \"ZANDRELL5\".MENU_HISTORY (ID, CHANGED_AT, LOGIN, OPERATION, "
                                  "ACCESSID, OBJECT_ID, OBJECT_NAME, OLD_VALUE, NEW_VALUE) SELECT COALESCE(MAX(ID), 0) "
                                  "+ 1, ?, ?, ?, ?, ?, ?, ?, ? FROM \"ZANDRELL5\".MENU_HISTORY"),
                   {QStringLiteral("2024-01-01 00:00:00"), QStringLiteral("ZL_USER"), QStringLiteral("DEL_MENUITEM"), 1,
                    1001 + i, QStringLiteral("Group 0"), QStringLiteral("Group 0"), QVariant()});
    });
    c.Rollback();
    return total / count;
}

// The editor's writes on the administrators' 550 rows; -1 figures when a step did not do its work.
TWriteFigures writeMedians(TOraSession &session, int runs, int nodes)
{
    TAnsweringDialogs dialogs;
    SetDialogService(&dialogs);
    TMenuConfig::EditRightsProc = [](TMnuItem *item) {
        TAccessItem *first = item->AccessList().Items(0);
        first->SetChecked(!first->Checked());
        return true;
    };
    QList<double> rights, createLike, deleteGroup, preview, rename;
    bool ok = true;
    const QString modeOfFirst =
        QStringLiteral("SELECT ITEMMODE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1 AND ITEMID = %1").arg(kFirstItemId);
    for (int run = 0; run < runs && ok; ++run) {
        auto form = TComBaseForm::Create<TMenuConfig>(nullptr, QStringLiteral("ZANDRELL5"), 1.0);
        form->SetSession(&session);
        form->show();

        // The first service item's first right, flipped and written.
        QTreeWidgetItem *service = topGroup(*form, QStringLiteral("Group 0"))->child(0);
        form->tvMenu->setCurrentItem(service);
        const QStringList before = rowsOf(session, modeOfFirst);
        rights << timed([&] { form->acChgRights->trigger(); });
        ok = ok && rowsOf(session, modeOfFirst) != before && form->lvRightList->topLevelItemCount() == 3;

        // A copy of the 550 rows, the list and tree reloaded on it.
        dialogs.input = QStringLiteral("Copy %1").arg(run);
        createLike << timed([&] { form->Access->acCreateLike->trigger(); });
        const QString copy = form->Access->AccessTbl->FieldByName(QStringLiteral("ACCESSID"))->AsString();
        ok = ok && form->Access->AccessTbl->FieldByName(QStringLiteral("NAME"))->AsString() == dialogs.input &&
             treeNodes(*form) == nodes;
        session.ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.MENUCFG WHERE ACCESSID = %1").arg(copy));
        session.ExecSQL(QStringLiteral("DELETE FROM ZANDRELL5.ACCESSLIST WHERE ACCESSID = %1").arg(copy));
        session.Commit();
        form->Access->acRefreshAccess->trigger();
        form->Access->AccessTbl->Locate(QStringLiteral("ACCESSID"), 1);

        // A top group with its 4 sub-groups and 50 services: 55 calls, each committed.
        form->tvMenu->setCurrentItem(topGroup(*form, QStringLiteral("Group 0")));
        deleteGroup << timed([&] { form->acDelMenu->trigger(); });
        ok = ok && rowsOf(session, QStringLiteral("SELECT count(*) FROM ZANDRELL5.MENUCFG WHERE ACCESSID = 1")) ==
                       QStringList{QString::number(nodes - 1 - 55)};
        installMenu(session);
        form->Access->acRefreshAccess->trigger();

        // The preview of the 550 rows; the dialog service closes its window at once.
        preview << timed([&] { form->acPreviewMenu->trigger(); });
        ok = ok && dialogs.modal == run + 1;

        // A rename with its history line.
        form->tvMenu->setCurrentItem(topGroup(*form, QStringLiteral("Group 1")));
        dialogs.input = QStringLiteral("Group 1 %1").arg(run);
        rename << timed([&] { form->acRenameMenu->trigger(); });
        ok = ok && topGroup(*form, dialogs.input);
        form->close();
    }
    ok = ok && dialogs.questions == runs && dialogs.otherBoxes == 0;
    TMenuConfig::EditRightsProc = EditRights;
    SetDialogService(nullptr);
    if (!ok) {
        std::printf("a write of the editor did not do its work (%d questions, %d other boxes)\n", dialogs.questions,
                    dialogs.otherBoxes);
        return {};
    }
    return {median(rights), median(createLike), median(deleteGroup), median(preview), median(rename)};
}

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

void reportShare(const char *what, double percent, double targetPercent)
{
    const bool pass = percent >= 0 && percent < targetPercent;
    if (!pass)
        ++g_misses;
    std::printf("  %-28s %8.1f %%    target < %.0f %%    %s\n", what, percent, targetPercent, pass ? "PASS" : "MISS");
}

} // namespace

int main(int argc, char *argv[])
{
    UseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 7;
    // What the console and the editor write beside the program stays in the run's folder.
    const TBenchFolder folder;
    SetExeDirForTests(folder.Path());
    SetProgramFolderForTests(folder.Path());
    QString dist = qEnvironmentVariable("ZANDRELL_DIST_DIR");
    if (dist.isEmpty())
        dist = QStringLiteral(ZANDRELL_DIST_DIR);
    QTemporaryDir dir;
    // The registration reads the modules through the installation's module reader, into a cache of its own.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    SetModuleProbeProgram(dist + QStringLiteral("/KorModuleProbe"));
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
        nodes = treeNodes(*form);
        refresh << timed([&] { form->acRefreshMenu->trigger(); });
        toOther << timed([&] { form->Access->AccessTbl->Locate(QStringLiteral("ACCESSID"), 2); });
        if (form->tvMenu->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size() == nodes) {
            std::printf("the switch to another group kept the tree\n");
            return 1;
        }
        back << timed([&] { form->Access->AccessTbl->Locate(QStringLiteral("ACCESSID"), 1); });
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
    const TWriteFigures writes = writeMedians(*session, runs, nodes);
    report("acChgRights, write, redraw", writes.rights, 50);
    report("Create as, 550 rows, reload", writes.createLike, 300);
    report("delete a 55-row group", writes.deleteGroup, 500);
    report("preview of the 550 rows", writes.preview, 100);
    report("rename, history, reload", writes.rename, 100);
    // What the history adds to the two actions: one line for the rename, 55 for the delete.
    const double line = historyLineMs(dir.filePath(QStringLiteral("Db/ZANDRELL")), 55);
    reportShare("history's share of the rename", writes.rename > 0 ? 100 * line / writes.rename : -1, 10);
    reportShare("history's share of the delete", writes.deleteGroup > 0 ? 100 * 55 * line / writes.deleteGroup : -1,
                10);
    report("registration, 25 files", registrationMedian(runs), 1000);
    SetServersIniPath(QString());
    SetProgramFolderForTests(QString());
    SetExeDirForTests(QString());
    return g_misses == 0 ? 0 : 2;
}
