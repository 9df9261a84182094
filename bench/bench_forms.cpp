// Opening a data form: a generated grid form with three grids over queries of
// 1,000 rows each and 300 translatable components (labels, edits, buttons,
// actions), shown for the first time in English with a cold language cache
// (a new language data module per opening) on the embedded server. Baseline
// in the same run: the same form opened without a language pack, so that the
// ratio is the translation's share. Targets: the English opening under
// 300 ms of wall time, and at most 3× the baseline.
//
// The grid settings: the same form (no language pack) opened while its
// scheme remembers orderings (ComFormGFG.INI beside the program), against the
// form whose scheme remembers none ([ZANDRELL5_ORDERBY] SAVE=0); target at
// most 1.5× its wall time. Opening and closing the form without a change
// must write no file: the settings file is checked around the runs.
#include "Core/IniFile.h"
#include "Core/ResourcePack.h"
#include "DataAccess/DataSource.h"
#include "DataAccess/LanguagesDM.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/OraSession.h"
#include "DataAccess/ServerAliases.h"
#include "EmbeddedServer/SqliteBackend.h"
#include "EmbeddedServer/SqliteConnection.h"
#include "Source/ComUnits/uComFormGFG.h"
#include "Source/ComUnits/uComFunctions.h"
#include "Source/ComUnits/uDBGrid.h"
#include "Source/FormReposit/uBaseForm.h"
#include "bench/BenchRun.h"
#include "bench/BenchTargets.h"
#include "tools/dbbuild/DbBuilder.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kRows = 1000;
constexpr int kGrids = 3;
constexpr int kTexts = 300; // labels, edits, buttons and actions together
constexpr double kTargetMs = 300;
constexpr double kSettingsRatio = 1.5;

QTemporaryDir *g_dir = nullptr;
TOraSession *g_session = nullptr;

QString Caption(int i) { return QStringLiteral("Поле формы номер %1").arg(i); }

// The demo server with a table of 1,000 rows and the English texts of the captions.
void Prepare(const char *schemeDir)
{
    g_dir = new QTemporaryDir;
    BuildServerFolder(QString::fromLocal8Bit(schemeDir), g_dir->filePath("Db/ZANDRELL"));
    WriteServerAlias(g_dir->filePath("Servers.ini"), "ZANDRELL", "Db/ZANDRELL");
    SetServersIniPath(g_dir->filePath("Servers.ini"));
    {
        // The table and the texts are the administrator's to add.
        TSqliteBackend admin;
        admin.OpenAsAdministrator(g_dir->filePath("Db/ZANDRELL"), false);
        TSqliteConnection &a = *admin.Connection();
        a.Exec("CREATE TABLE ZANDRELL5.BENCH_ROWS (ID NUMBER, NAME VARCHAR2(60), AMOUNT NUMBER(12,2), DAY DATE)");
        QStringList values;
        for (int i = 1; i <= kRows; ++i)
            values << QStringLiteral("(%1, 'Строка %1', %2, '2026-%3-%4 00:00:00')")
                          .arg(i)
                          .arg(i * 1.25)
                          .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                          .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
        a.Exec("INSERT INTO ZANDRELL5.BENCH_ROWS (ID, NAME, AMOUNT, DAY) VALUES " + values.join(", "));
        QStringList pairs;
        for (int i = 0; i < kTexts; ++i)
            pairs << QStringLiteral("('%1', 9, 'Form field number %2')").arg(Caption(i)).arg(i);
        a.Exec("INSERT INTO ZANDRELL5.LANG_TEXTS (RES_KEY, LANG_ID, TXT) VALUES " + pairs.join(", "));
    }
    // The form's settings files go to the folder of the run.
    SetProgramFolderForTests(g_dir->path());
    g_session = new TOraSession;
    g_session->SetConnectPrompt(false);
    g_session->SetServer("ZANDRELL");
    g_session->SetUsername("ZL_USER");
    g_session->SetPassword("demo");
    g_session->Connect();
}

// Three grids over the rows and 300 captions in Russian.
class TBenchForm : public TBaseForm {
public:
    explicit TBenchForm(TOraSession *session) : TBaseForm(nullptr, session, QStringLiteral("ZANDRELL5"))
    {
        setObjectName(QStringLiteral("fmBench"));
        setWindowTitle(QStringLiteral("Проверочная форма"));
        auto *layout = new QGridLayout(this);
        for (int g = 0; g < kGrids; ++g) {
            auto *query = new TOraQuery(this);
            query->setObjectName(QStringLiteral("sqRows%1").arg(g));
            query->SetSQLText(QStringLiteral("SELECT ID, NAME, AMOUNT, DAY FROM &shema.BENCH_ROWS &ORDER &FIELD"));
            query->MacroByName(QStringLiteral("ORDER")).SetValue(QStringLiteral("ORDER BY"));
            query->MacroByName(QStringLiteral("FIELD")).SetValue(QStringLiteral("ID"));
            auto *grid = new TDBGrid(this);
            grid->setObjectName(QStringLiteral("grdRows%1").arg(g));
            grid->SetHint(QStringLiteral("BenchRows%1").arg(g));
            grid->SetDataSource(new TDataSource(this, query));
            layout->addWidget(grid, 0, g);
            m_queries.append(query);
        }
        for (int i = 0; i < kTexts; ++i) {
            const QString text = Caption(i);
            QObject *component = nullptr;
            switch (i % 4) {
            case 0:
                component = new QLabel(text, this);
                break;
            case 1: {
                auto *edit = new QLineEdit(this);
                edit->setPlaceholderText(text);
                edit->setToolTip(text);
                component = edit;
                break;
            }
            case 2:
                component = new QPushButton(text, this);
                break;
            default: {
                auto *action = new QAction(text, this);
                addAction(action);
                component = action;
                break;
            }
            }
            component->setObjectName(QStringLiteral("c%1").arg(i));
            if (auto *widget = qobject_cast<QWidget *>(component))
                layout->addWidget(widget, 1 + i / 12, i % 12);
        }
    }

protected:
    void FormCreate() override
    {
        for (TOraQuery *query : std::as_const(m_queries))
            query->Open();
    }

private:
    QList<TOraQuery *> m_queries;
};

void OpenAndShow(benchmark::State &state, bool english)
{
    for (auto _ : state) {
        std::unique_ptr<TDbLanguagesDM> languages;
        if (english) {
            // A new module: no text of the pack is cached yet.
            languages = std::make_unique<TDbLanguagesDM>(nullptr, QStringLiteral("ZANDRELL5"), g_session);
            languages->SET_USER_APL_LANG(9, 0);
            SetComLanguages(languages.get());
        }
        auto form = TBaseForm::Create<TBenchForm>(g_session);
        form->show();
        QCoreApplication::processEvents();
        // A figure of a form left untranslated would measure nothing.
        const QString shown = form->findChild<QLabel *>(QStringLiteral("c0"))->text();
        if (shown != (english ? QStringLiteral("Form field number 0") : Caption(0))) {
            state.SkipWithError(qPrintable(QStringLiteral("the form shows \"%1\"").arg(shown)));
            break;
        }
        form->close();
        form.reset();
        SetComLanguages(nullptr);
    }
}

void BM_FormFirstShowEnglish(benchmark::State &state) { OpenAndShow(state, true); }
void BM_FormFirstShowNoPack(benchmark::State &state) { OpenAndShow(state, false); }

const QString kScheme = QStringLiteral("ZANDRELL5");

// Orderings remembered for the scheme or not; the form's queries keep their design orderings.
void RememberOrderings(bool remember)
{
    ComFormGFGIni().WriteBool(kScheme + QStringLiteral("_ORDERBY"), QStringLiteral("SAVE"), remember);
}

// The settings file as it stands: what would show a write.
QString FileStamp(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? QStringLiteral("%1/%2/%3")
                               .arg(info.size())
                               .arg(info.lastModified().toMSecsSinceEpoch())
                               .arg(info.metadataChangeTime().toMSecsSinceEpoch())
                         : QString();
}

QString g_stampBefore;
QString g_stampAfter;

void BM_FormFirstShowSettings(benchmark::State &state)
{
    RememberOrderings(true);
    g_stampBefore = FileStamp(ComFormGFGIni().FileName());
    OpenAndShow(state, false);
    g_stampAfter = FileStamp(ComFormGFGIni().FileName());
}
void BM_FormFirstShowNoSettings(benchmark::State &state)
{
    RememberOrderings(false);
    OpenAndShow(state, false);
}

BENCHMARK(BM_FormFirstShowEnglish)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FormFirstShowNoPack)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FormFirstShowSettings)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FormFirstShowNoSettings)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The grid settings the forms write when they close stay in the run's folder.
    const TBenchFolder folder;
    SetProgramFolderForTests(folder.Path());
    Prepare(ZANDRELL_SCHEME_DIR);
    TTargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string english = "BM_FormFirstShowEnglish/min_time:2.000/real_time";
    const std::string noPack = "BM_FormFirstShowNoPack/min_time:2.000/real_time";
    int misses = reporter.PrintTargets({{english, noPack, 3.0}});
    misses += !reporter.PrintWallTarget("form, first show in English", english, kTargetMs);
    const double settingsMs = reporter.WallMs("BM_FormFirstShowSettings/min_time:2.000/real_time");
    const double plainMs = reporter.WallMs("BM_FormFirstShowNoSettings/min_time:2.000/real_time");
    const bool settingsPass = settingsMs > 0 && plainMs > 0 && settingsMs <= kSettingsRatio * plainMs;
    misses += settingsPass ? 0 : 1;
    std::printf("%-28s %9.1f ms wall   without settings %.1f ms, ratio %.2fx, target %.1fx  %s\n",
                "form, first show, settings", settingsMs, plainMs, plainMs > 0 ? settingsMs / plainMs : 0.0,
                kSettingsRatio, settingsPass ? "PASS" : "MISS");
    const bool untouched = !g_stampBefore.isEmpty() && g_stampBefore == g_stampAfter;
    misses += untouched ? 0 : 1;
    std::printf("%-28s %s  %s\n", "settings file, no change", untouched ? "not written" : "written",
                untouched ? "PASS" : "MISS");
    delete g_session;
    delete g_dir;
    SetProgramFolderForTests(QString());
    benchmark::Shutdown();
    return misses == 0 ? 0 : 2;
}
