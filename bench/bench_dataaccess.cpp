// Speed of the data-access layer on the embedded server: logging in, opening
// a query of 1,000 rows and a data set of 100,000 rows, a package call, a
// query calling a server function per row, the client-side filter and Locate
// over a large data set, and the date texts of 100,000 rows. Each figure is
// compared in the same run with the same work done the plain way (a raw
// QSqlQuery on the server's files, a plain loop over the rows or values); the
// target is at most twice the plain way.
#include "DataAccess/OraPackage.h"
#include "DataAccess/OraQuery.h"
#include "DataAccess/ServerAliases.h"
#include "EmbeddedServer/PasswordHash.h"
#include "bench/BenchRun.h"
#include "bench/BenchTargets.h"
#include "tools/dbbuild/DbBuilder.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kDataSetRows = 100000;
QTemporaryDir *g_dir = nullptr;
int g_bigAccessId = 0;

QString serverFile(const QString &name) { return g_dir->filePath(QStringLiteral("Db/ZANDRELL/") + name); }

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

// 1,000 access groups, and 100,000 menu rows in the last one.
void Prepare(const char *schemeDir)
{
    g_dir = new QTemporaryDir;
    BuildServerFolder(QString::fromLocal8Bit(schemeDir), g_dir->filePath("Db/ZANDRELL"));
    WriteServerAlias(g_dir->filePath("Servers.ini"), "ZANDRELL", "Db/ZANDRELL");
    SetServersIniPath(g_dir->filePath("Servers.ini"));
    auto s = Session();
    for (int i = 0; i < 1000; ++i)
        s->ExecSQL("BEGIN ZANDRELL5.MENUPACK.INS_ACCESS(:PID, :NAME); END;", {0, QStringLiteral("Группа %1").arg(i)});
    TOraQuery last;
    last.SetSession(s.get());
    last.SetSQLText("SELECT max(ACCESSID) AS ID FROM ZANDRELL5.V_ACCESS");
    last.Open();
    g_bigAccessId = last.FieldByName("ID")->AsInteger();
    constexpr int kChunk = 500;
    for (int first = 0; first < kDataSetRows; first += kChunk) {
        QStringList values;
        for (int i = first; i < first + kChunk; ++i)
            values << QStringLiteral("(%1, %2, %3, %4, 'Пункт меню %1', %5, '1101', %1)")
                          .arg(1000000 + i)
                          .arg(g_bigAccessId)
                          .arg(i / 100)
                          .arg(i % 10 == 0 ? 1 : 0)
                          .arg(i % 500);
        s->ExecSQL(
            "INSERT INTO ZANDRELL5.MENUCFG (ID_CFG, ACCESSID, OWNER, ISGROUP, MENUNAME, ITEMID, ITEMMODE, SORT_ORDER) "
            "VALUES " +
            values.join(", "));
    }
    s->Commit();
}

// The plain way: Qt's SQLite driver on the scheme's file, without the layer.
QSqlDatabase RawScheme()
{
    const QString name = QStringLiteral("raw");
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(serverFile("ZANDRELL5.db"));
    if (!db.open())
        qFatal("cannot open the scheme file: %s", qPrintable(db.lastError().text()));
    return db;
}

// Runs a statement and reads every value of every row, as a data set keeps them.
int RawRead(QSqlQuery &query, const QVariantList &values = {})
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec())
        qFatal("%s", qPrintable(query.lastError().text()));
    QList<QVector<QVariant>> rows;
    const int columns = query.record().count();
    while (query.next()) {
        QVector<QVariant> row(columns);
        for (int c = 0; c < columns; ++c)
            row[c] = query.value(c);
        rows.append(std::move(row));
    }
    return int(rows.size());
}

void OpenAndClose(benchmark::State &state, TOraQuery &q)
{
    for (auto _ : state) {
        q.Open();
        benchmark::DoNotOptimize(q.RecordCount());
        q.Close();
    }
}

void RawStatement(benchmark::State &state, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query(RawScheme());
    query.setForwardOnly(true);
    query.prepare(sql);
    for (auto _ : state)
        benchmark::DoNotOptimize(RawRead(query, values));
}

void BM_Login(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Session());
}
BENCHMARK(BM_Login)->Unit(benchmark::kMillisecond);

// A log-in the plain way: open the accounts file, check the password hash, attach the schemes.
void BM_RawLogin(benchmark::State &state)
{
    for (auto _ : state) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("login"));
            db.setDatabaseName(serverFile("accounts.db"));
            db.open();
            QSqlQuery query(db);
            query.prepare(QStringLiteral("SELECT PASSWORD_HASH FROM ACCOUNTS WHERE USERNAME = ?"));
            query.addBindValue(QStringLiteral("ZL_USER"));
            if (!query.exec() || !query.next() || !VerifyPassword(QStringLiteral("demo"), query.value(0).toString()))
                state.SkipWithError("the account does not verify");
            for (const char *scheme : {"TARVEL", "ZANDRELL5"})
                query.exec(QStringLiteral("ATTACH DATABASE '%1' AS %2")
                               .arg(serverFile(QString::fromLatin1(scheme) + ".db"), QString::fromLatin1(scheme)));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("login"));
    }
}
BENCHMARK(BM_RawLogin)->Unit(benchmark::kMillisecond);

void BM_OpenQuery1000Rows(benchmark::State &state)
{
    auto s = Session();
    TOraQuery q;
    q.SetSession(s.get());
    q.SetSQLText("SELECT * FROM &shema.V_ACCESS ORDER BY NAME");
    q.MacroByName("shema").SetValue("ZANDRELL5");
    OpenAndClose(state, q);
}
BENCHMARK(BM_OpenQuery1000Rows)->Unit(benchmark::kMillisecond);

void BM_RawRead1000Rows(benchmark::State &state)
{
    RawStatement(state, QStringLiteral("SELECT * FROM V_ACCESS ORDER BY NAME"));
}
BENCHMARK(BM_RawRead1000Rows)->Unit(benchmark::kMillisecond);

void BM_OpenDataSet100000Rows(benchmark::State &state)
{
    auto s = Session();
    TOraQuery q;
    q.SetSession(s.get());
    q.SetSQLText("SELECT * FROM ZANDRELL5.V_MENUCFG WHERE ACCESSID = :A");
    q.ParamByName("A").SetAsInteger(g_bigAccessId);
    OpenAndClose(state, q);
}
BENCHMARK(BM_OpenDataSet100000Rows)->Unit(benchmark::kMillisecond);

void BM_RawRead100000Rows(benchmark::State &state)
{
    RawStatement(state, QStringLiteral("SELECT * FROM V_MENUCFG WHERE ACCESSID = ?"), {g_bigAccessId});
}
BENCHMARK(BM_RawRead100000Rows)->Unit(benchmark::kMillisecond);

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

// What the package function looks up, as one statement.
void BM_RawTextLookup(benchmark::State &state)
{
    RawStatement(state,
                 QStringLiteral("SELECT TXT FROM LANG_TEXTS WHERE RES_KEY = ? AND LANG_ID = "
                                "coalesce((SELECT APL_LANG_ID FROM USER_LANGS WHERE LOGIN = ?), 25)"),
                 {QStringLiteral("rstrServer"), QStringLiteral("ZL_USER")});
}
BENCHMARK(BM_RawTextLookup)->Unit(benchmark::kMicrosecond);

void BM_ServerFunctionPerRow(benchmark::State &state)
{
    auto s = Session();
    TOraQuery q;
    q.SetSession(s.get());
    q.SetSQLText("SELECT A.*, nvl(ZANDRELL5.lang_pack.GET_RESOURCE_APL_TXT(A.NAME), '?' || A.NAME) AS TR FROM "
                 "ZANDRELL5.V_ACCESS A");
    OpenAndClose(state, q);
}
BENCHMARK(BM_ServerFunctionPerRow)->Unit(benchmark::kMillisecond);

// The same texts by a sub-query per row instead of a server function.
void BM_RawLookupPerRow(benchmark::State &state)
{
    RawStatement(state,
                 QStringLiteral("SELECT A.*, coalesce((SELECT TXT FROM LANG_TEXTS T WHERE T.RES_KEY = A.NAME AND "
                                "T.LANG_ID = coalesce((SELECT APL_LANG_ID FROM USER_LANGS WHERE LOGIN = ?), 25)), "
                                "'?' || A.NAME) AS TR FROM V_ACCESS A"),
                 {QStringLiteral("ZL_USER")});
}
BENCHMARK(BM_RawLookupPerRow)->Unit(benchmark::kMillisecond);

TResultSet MenuRows()
{
    TResultSet rows;
    rows.columns = {{"ID_CFG", TFieldType::ftInteger, 0, true},
                    {"OWNER", TFieldType::ftFloat, 0, false},
                    {"MENUNAME", TFieldType::ftString, 50, false}};
    for (int i = 0; i < 10000; ++i)
        rows.rows.append({i, double(i % 100), QStringLiteral("Пункт %1").arg(i)});
    return rows;
}

void BM_FilterAndLocate(benchmark::State &state)
{
    TDataSet ds;
    ds.LoadFrom(MenuRows());
    for (auto _ : state) {
        ds.SetFilter("Owner=12");
        ds.SetFiltered(true);
        benchmark::DoNotOptimize(ds.RecordCount());
        ds.SetFiltered(false);
        benchmark::DoNotOptimize(ds.Locate("MENUNAME", QStringLiteral("Пункт 9999"), loPartialKey));
    }
}
BENCHMARK(BM_FilterAndLocate)->Unit(benchmark::kMillisecond);

// The same filter and search as plain loops over the same values.
void BM_PlainFilterAndLocate(benchmark::State &state)
{
    const TResultSet rows = MenuRows();
    for (auto _ : state) {
        QVector<int> visible;
        for (int i = 0; i < rows.rows.size(); ++i)
            if (rows.rows.at(i).at(1).toDouble() == 12)
                visible.append(i);
        benchmark::DoNotOptimize(visible.size());
        int found = -1;
        for (int i = 0; i < rows.rows.size() && found < 0; ++i)
            if (rows.rows.at(i).at(2).toString().startsWith(QStringLiteral("Пункт 9999")))
                found = i;
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_PlainFilterAndLocate)->Unit(benchmark::kMillisecond);

// Date columns: each value of a window's date column comes as a text of the
// server's form; reading it should cost little more than building the moment
// from its parts.
QStringList DateTexts()
{
    QStringList texts;
    for (int i = 0; i < kDataSetRows; ++i)
        texts.append(QDateTime(QDate(2020, 1, 1).addDays(i % 2000), QTime(0, 0).addSecs(i % 86400))
                         .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    return texts;
}

void BM_DateTexts100000(benchmark::State &state)
{
    const QStringList texts = DateTexts();
    for (auto _ : state)
        for (const QString &text : texts)
            benchmark::DoNotOptimize(DateTimeOfText(text));
}
BENCHMARK(BM_DateTexts100000)->Unit(benchmark::kMillisecond);

void BM_DateTimesFromParts100000(benchmark::State &state)
{
    for (auto _ : state)
        for (int i = 0; i < kDataSetRows; ++i)
            benchmark::DoNotOptimize(QDateTime(QDate(2020, 1, 1).addDays(i % 2000), QTime(0, 0).addSecs(i % 86400)));
}
BENCHMARK(BM_DateTimesFromParts100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const TBenchFolder folder;
    Prepare(ZANDRELL_SCHEME_DIR);
    benchmark::Initialize(&argc, argv);
    TTargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const int misses = reporter.PrintTargets({{"BM_Login", "BM_RawLogin", 2},
                                              {"BM_OpenQuery1000Rows", "BM_RawRead1000Rows", 2},
                                              {"BM_OpenDataSet100000Rows", "BM_RawRead100000Rows", 2},
                                              {"BM_PackageFunction", "BM_RawTextLookup", 2},
                                              {"BM_ServerFunctionPerRow", "BM_RawLookupPerRow", 2},
                                              {"BM_FilterAndLocate", "BM_PlainFilterAndLocate", 2},
                                              {"BM_DateTexts100000", "BM_DateTimesFromParts100000", 2}});
    benchmark::Shutdown();
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    SetServersIniPath(QString());
    delete g_dir;
    return misses == 0 ? 0 : 2;
}
