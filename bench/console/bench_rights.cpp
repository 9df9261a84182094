// The service choice on a generated catalogue of 500 services with three
// rights each: the window prepared and shown, and one service chosen with the
// rights synchronised (each rights list refilled). Medians of several runs,
// each printed with its target and PASS or MISS; status 2 when one is missed.
//
//   bench_rights [runs]
#include "Console/DMIMPL.h"
#include "Console/SelSrvIMPL.h"
#include "Console/uConsoleCfg.h"
#include "Console/uConsoleDM.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Ui/ModalDriver.h"
#include "bench/BenchRun.h"
#include "tests/common/RecordingDialogService.h"
#include "tools/dbbuild/DbBuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kServices = 500;
constexpr int kRights = 3;
constexpr int kFirstItemId = 5000;
constexpr double kShownTargetMs = 300;
constexpr double kChooseTargetMs = 20;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void generateCatalogue(const QString &alias)
{
    TOraSession session;
    session.SetConnectPrompt(false);
    session.SetServer(alias);
    session.SetUsername(QStringLiteral("ZL_USER"));
    session.SetPassword(QStringLiteral("demo"));
    session.Connect();
    QStringList services, rights;
    for (int i = 0; i < kServices; ++i) {
        const int id = kFirstItemId + i;
        services << QStringLiteral("(%1, 'Сервис %2', 'Bench%3.so', 'BENCH-%1', 0, 0)").arg(id).arg(i).arg(i % 25);
        for (int r = 1; r <= kRights; ++r)
            rights << QStringLiteral("(%1, %2, 'Право %2', 'Право %2', 0)").arg(id).arg(r);
    }
    session.ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS (ITEMID, SRVNAME, DLLNAME, GUID, CREATEBTN, "
                                   "ISLANG) VALUES ") +
                    services.join(QStringLiteral(", ")));
    session.ExecSQL(QStringLiteral("INSERT INTO ZANDRELL5.SRVITEMS_MODE (ITEMID, SORT_ORDER, NAME, SOURCE_NAME, "
                                   "ISLANG) VALUES ") +
                    rights.join(QStringLiteral(", ")));
    session.Commit();
}

void report(const char *what, double valueMs, double targetMs)
{
    std::printf("%-44s %8.2f ms   target %6.1f ms   %s\n", what, valueMs, targetMs,
                valueMs <= targetMs ? "PASS" : "MISS");
}

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    // What the console and the forms write beside the program stays in the run's folder.
    const TBenchFolder folder;
    SetExeDirForTests(folder.Path());
    SetProgramFolderForTests(folder.Path());
    QTemporaryDir dir;
    BuildServerFolder(QStringLiteral(ZANDRELL_SCHEME_DIR), dir.filePath(QStringLiteral("ZANDRELL")));
    const QString ini = dir.filePath(QStringLiteral("Servers.ini"));
    WriteServerAlias(ini, QStringLiteral("ZANDRELL"), dir.filePath(QStringLiteral("ZANDRELL")));
    SetServersIniPath(ini);
    generateCatalogue(QStringLiteral("ZANDRELL"));

    RecordingDialogService dialogs;
    TDM dm;
    SetConsoleDataModule(&dm);
    dm.SetServer(QStringLiteral("ZANDRELL"));
    dm.SetUserName(QStringLiteral("ZL_USER"));
    dm.SetPassword(QStringLiteral("demo"));
    dm.SetConnectPrompt(false);
    if (!dm.Login(QStringLiteral("ZANDRELL5"), QStringLiteral("-1"))) {
        std::fprintf(stderr, "log-in failed\n");
        return 1;
    }
    SetProtocolSink([](const QString &) {});

    std::vector<double> shown, chosen;
    QElapsedTimer clock;
    dialogs.onModal = [&](QDialog *window) {
        window->show();
        QApplication::processEvents();
        shown.push_back(double(clock.nsecsElapsed()) / 1e6);
        ExecuteWindowCommand(window, QStringLiteral("check chRightsAll"));
        for (int row = 1; row <= 20; ++row) {
            QElapsedTimer one;
            one.start();
            ExecuteWindowCommand(window, QStringLiteral("check DBGrid1 #%1").arg(row * 20));
            chosen.push_back(double(one.nsecsElapsed()) / 1e6);
        }
        return int(QDialog::Rejected);
    };
    for (int run = 0; run < runs; ++run) {
        TSrvItemArray items;
        TSrvModeArray modes;
        clock.start();
        ChooseServices(items, modes, [](int id) { return id >= kFirstItemId; });
    }
    std::printf("service choice, %d services x %d rights, %d runs\n", kServices, kRights, runs);
    report("ChooseServices until the window is shown", median(shown), kShownTargetMs);
    report("one service chosen, rights synchronised", median(chosen), kChooseTargetMs);
    SetProtocolSink({});
    SetConsoleDataModule(nullptr);
    SetProgramFolderForTests(QString());
    SetExeDirForTests(QString());
    return median(shown) <= kShownTargetMs && median(chosen) <= kChooseTargetMs ? 0 : 2;
}
