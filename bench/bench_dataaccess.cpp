// Speed of the data-access layer on the embedded server: logging in, opening
// a query, a package call, a query calling a server function per row, and the
// client-side filter and Locate over a large data set.
#include "DbBuilder.h"
#include "OraPackage.h"
#include "OraQuery.h"
#include "ServerAliases.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *g_dir = nullptr;

std::unique_ptr<TOraSession> Session()
{
    auto s = std::make_unique<TOraSession>();
    s->SetConnectPrompt(false);
    s->SetServer("ZANDRELL");
    s->SetUsername("ZL_USER");
    s->SetPassword("demo");
    s->Connect();
    return s;
}

void Prepare(const char *schemeDir)
{
    g_dir = new QTemporaryDir;
    BuildServerFolder(QString::fromLocal8Bit(schemeDir), g_dir->filePath("Db/ZANDRELL"));
    WriteServerAlias(g_dir->filePath("Servers.ini"), "ZANDRELL", "Db/ZANDRELL");
    SetServersIniPath(g_dir->filePath("Servers.ini"));
    auto s = Session();
    for (int i = 0; i < 1000; ++i)
        s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_ACCESS(:PID, :NAME); END;", {0, QStringLiteral("Группа %1").arg(i)});
    s->Commit();
}

void BM_Login(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Session());
}
BENCHMARK(BM_Login)->Unit(benchmark::kMillisecond);

void BM_OpenQuery1000Rows(benchmark::State &state)
{
    auto s = Session();
    TOraQuery q;
    q.SetSession(s.get());
    q.SetSQLText("SELECT * FROM &shema.V_ACCESS ORDER BY NAME");
    q.MacroByName("shema").SetValue("ZANDRELL5");
    for (auto _ : state) {
        q.Open();
        benchmark::DoNotOptimize(q.RecordCount());
        q.Close();
    }
}
BENCHMARK(BM_OpenQuery1000Rows)->Unit(benchmark::kMillisecond);

void BM_PackageFunction(benchmark::State &state)
{
    auto s = Session();
    TOraPackage lang;
    lang.SetSession(s.get());
    lang.SetPackageName("ZANDRELL5.LANG_PACK");
    for (auto _ : state)
        benchmark::DoNotOptimize(lang.ExecProc("GET_RESOURCE_APL_TXT", {"rstrServer"}));
}
BENCHMARK(BM_PackageFunction)->Unit(benchmark::kMicrosecond);

void BM_ServerFunctionPerRow(benchmark::State &state)
{
    auto s = Session();
    TOraQuery q;
    q.SetSession(s.get());
    q.SetSQLText("SELECT A.*, nvl(ZANDRELL5.lang_pack.GET_RESOURCE_APL_TXT(A.NAME), '?' || A.NAME) AS TR FROM ZANDRELL5.V_ACCESS A");
    for (auto _ : state) {
        q.Open();
        benchmark::DoNotOptimize(q.RecordCount());
        q.Close();
    }
}
BENCHMARK(BM_ServerFunctionPerRow)->Unit(benchmark::kMillisecond);

void BM_FilterAndLocate(benchmark::State &state)
{
    TResultSet rows;
    rows.columns = {{"ID_CFG", TFieldType::ftInteger, 0, true}, {"OWNER", TFieldType::ftFloat, 0, false},
                    {"MENUNAME", TFieldType::ftString, 50, false}};
    for (int i = 0; i < 10000; ++i)
        rows.rows.append({i, double(i % 100), QStringLiteral("Пункт %1").arg(i)});
    TDataSet ds;
    ds.LoadFrom(rows);
    for (auto _ : state) {
        ds.SetFilter("Owner=12");
        ds.SetFiltered(true);
        benchmark::DoNotOptimize(ds.RecordCount());
        ds.SetFiltered(false);
        benchmark::DoNotOptimize(ds.Locate("MENUNAME", QStringLiteral("Пункт 9999"), loPartialKey));
    }
}
BENCHMARK(BM_FilterAndLocate)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Prepare(ZANDRELL_SCHEME_DIR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SetServersIniPath(QString());
    delete g_dir;
    return 0;
}
