// Two costs of the data forms' grids on the embedded server:
// - select all: the form library's mass selection (RunSelectGrid, mode 0) of a
//   data form's grid over 5,000 order lines whose marks are stored for the
//   order-lines report (Settings.ini [COM_SETTINGS] StoreSelect, the default):
//   each record is edited, posted and stored through TEMP_SELECT_PACK. Target:
//   under 1 s of wall time.
// - the component registry of a data form with 2,000 components: a first scan
//   with the classes and handlers a data form registers, and the scan a built
//   form runs again (on showing, on focus) when nothing is new. Target: each
//   under 20 ms of wall time.
#include "DataAccess/DataSource.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "EmbeddedServer/SqliteConnection.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/ComUnits/uScrollComponents.h"
#include "Source/FormReposit/uBaseForm.h"
#include "bench/BenchRun.h"
#include "bench/BenchTargets.h"
#include "tools/dbbuild/DbBuilder.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

namespace {

constexpr int kLines = 5000;
constexpr int kComponents = 2000;
constexpr double kSelectTargetMs = 1000;
constexpr double kScanTargetMs = 20;
const char kGuid[] = "{BENCH-0000-LINES}";

QTemporaryDir *g_dir = nullptr;
TOraSession *g_session = nullptr;

void Prepare(const char *schemeDir)
{
    g_dir = new QTemporaryDir;
    BuildServerFolder(QString::fromLocal8Bit(schemeDir), g_dir->filePath("Db/ZANDRELL"));
    WriteServerAlias(g_dir->filePath("Servers.ini"), "ZANDRELL", "Db/ZANDRELL");
    SetServersIniPath(g_dir->filePath("Servers.ini"));
    {
        TSqliteBackend admin;
        admin.OpenAsAdministrator(g_dir->filePath("Db/ZANDRELL"), false);
        TSqliteConnection &a = *admin.Connection();
        a.Exec("CREATE TABLE ZANDRELL5.BENCH_LINES (ID NUMBER, GOODS VARCHAR2(60), QUANTITY NUMBER)");
        QStringList values;
        for (int i = 1; i <= kLines; ++i)
            values << QStringLiteral("(%1, 'Товар %1', %2)").arg(i).arg(1 + i % 9);
        a.Exec("INSERT INTO ZANDRELL5.BENCH_LINES (ID, GOODS, QUANTITY) VALUES " + values.join(", "));
    }
    g_session = new TOraSession;
    g_session->SetConnectPrompt(false);
    g_session->SetServer("ZANDRELL");
    g_session->SetUsername("ZL_USER");
    g_session->SetPassword("demo");
    g_session->Connect();
}

// Order lines whose marks are kept for the order-lines report, as the orders form has them.
class TLinesForm : public TBaseForm {
public:
    explicit TLinesForm(TOraSession *session) : TBaseForm(nullptr, session, QStringLiteral("ZANDRELL5"))
    {
        setObjectName(QStringLiteral("fmLines"));
        sqLines = new TOraQuery(this);
        sqLines->setObjectName(QStringLiteral("sqLines"));
        sqLines->SetSQLText(
            QStringLiteral("SELECT '-' AS RCHECK, L.ID, L.GOODS, L.QUANTITY, 'L' || L.ID AS ROWID_QUERY\n"
                           "FROM &shema.BENCH_LINES L ORDER BY L.ID &GUID_SERVICE"));
        TMacro &guid = sqLines->MacroByName(QStringLiteral("GUID_SERVICE"));
        guid.SetValue(QString::fromLatin1(kGuid));
        guid.SetActive(false);
        grid = new TDBGrid(this);
        grid->setObjectName(QStringLiteral("grdLines"));
        grid->SetHint(QStringLiteral("BenchLines"));
        grid->SetDataSource(new TDataSource(this, sqLines));
        (new QVBoxLayout(this))->addWidget(grid);
    }
    TOraQuery *sqLines;
    TDBGrid *grid;

protected:
    void FormCreate() override { sqLines->Open(); }
};

int storedMarks()
{
    TOraQuery q;
    q.SetSession(g_session);
    q.SetSQLText(QStringLiteral("SELECT count(*) FROM ZANDRELL5.TEMP_ORDER_LINES_REPORT"));
    q.Open();
    return q.Fields(0)->AsInteger();
}

void BM_SelectAllStored(benchmark::State &state)
{
    auto form = TBaseForm::Create<TLinesForm>(g_session);
    IDBGrid *intf = form->GridInterface(form->grid);
    if (!intf || form->sqLines->RecordCount() != kLines) {
        state.SkipWithError("the form has no grid interface or not all lines");
        return;
    }
    for (auto _ : state) {
        intf->SelectAll();
        state.PauseTiming();
        const int stored = storedMarks();
        // The marks are not committed: the next round starts from none.
        g_session->Rollback();
        form->sqLines->Close();
        form->sqLines->Open();
        state.ResumeTiming();
        if (stored != kLines) {
            state.SkipWithError(qPrintable(QStringLiteral("%1 marks stored").arg(stored)));
            break;
        }
    }
}

// A data form with 2,000 components of the kinds a form holds.
class TBusyForm : public TBaseForm {
public:
    TBusyForm() : TBaseForm(nullptr)
    {
        setObjectName(QStringLiteral("fmBusy"));
        for (int i = 0; i < kComponents; ++i) {
            QObject *c = nullptr;
            switch (i % 8) {
            case 0:
            case 1:
            case 2:
                c = new QLabel(QStringLiteral("Надпись %1").arg(i), this);
                break;
            case 3:
            case 4:
                c = new QLineEdit(this);
                break;
            case 5:
                c = new QPushButton(QStringLiteral("Кнопка %1").arg(i), this);
                break;
            case 6:
                c = new QCheckBox(this);
                break;
            default:
                c = new QWidget(this);
                break;
            }
            c->setObjectName(QStringLiteral("c%1").arg(i));
        }
    }
};

TBusyForm *g_busy = nullptr;

void BM_RegistryFirstScan(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<TScrollComponentList>();
        list->AddRoot(g_busy);
        for (const QMetaObject *cls :
             {&TOraDataSet::staticMetaObject, &QAbstractItemView::staticMetaObject, &QLineEdit::staticMetaObject,
              &QAbstractSpinBox::staticMetaObject, &QTextEdit::staticMetaObject, &QPlainTextEdit::staticMetaObject})
            list->AddHandler(cls, g_busy, QStringLiteral("setup"), [](QObject *c) { benchmark::DoNotOptimize(c); });
        state.ResumeTiming();
        benchmark::DoNotOptimize(list->Scan());
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
}

void BM_RegistryRescan(benchmark::State &state)
{
    for (auto _ : state)
        g_busy->ScanComponents();
}

BENCHMARK(BM_SelectAllStored)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RegistryFirstScan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_RegistryRescan)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The form library of the installation; the grid settings the form writes stay in the run's folder.
    const TBenchFolder folder;
    if (!folder.Copy(QStringLiteral(ZANDRELL_DIST_DIR), {QStringLiteral("ComformLibs.so")}))
        return 1;
    SetProgramFolderForTests(folder.Path());
    Prepare(ZANDRELL_SCHEME_DIR);
    g_busy = TBaseForm::Create<TBusyForm>().release();
    TTargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    int misses = 0;
    misses += !reporter.PrintWallTarget("select all, 5,000 order lines stored",
                                        "BM_SelectAllStored/iterations:3/real_time", kSelectTargetMs);
    misses += !reporter.PrintWallTarget("registry, first scan of 2,000 components",
                                        "BM_RegistryFirstScan/min_time:1.000/real_time", kScanTargetMs);
    misses += !reporter.PrintWallTarget("registry, scan of a built form", "BM_RegistryRescan/min_time:1.000/real_time",
                                        kScanTargetMs);
    delete g_busy;
    delete g_session;
    delete g_dir;
    SetProgramFolderForTests(QString());
    benchmark::Shutdown();
    return misses == 0 ? 0 : 2;
}
