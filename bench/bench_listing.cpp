// The printable listing of a data set of 5,000 rows and 8 columns (numbers,
// texts, an amount, a date, a flag) written to a PDF file. Baseline in the
// same run: the same values drawn on the same kind of pages the plain way (one
// unmeasured line per row at fixed places, plain number and date texts), so
// that the ratio is the listing's own share. Targets: the listing under 2 s of
// wall time, and at most 3× the baseline.
#include "DataAccess/DataSet.h"
#include "Source/ComUnits/QRBy/QRBy.h"
#include "Source/ComUnits/uComFunctions.h"
#include "bench/BenchRun.h"
#include "bench/BenchTargets.h"

#include <QApplication>
#include <QDate>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kRows = 5000;
constexpr double kTargetMs = 2000;

QTemporaryDir *g_dir = nullptr;
TDataSet *g_rows = nullptr;

void Prepare()
{
    g_dir = new QTemporaryDir;
    TResultSet result;
    result.columns = {{"ID", TFieldType::ftInteger},      {"NAME", TFieldType::ftString, 40},
                      {"CODE", TFieldType::ftString, 12}, {"QTY", TFieldType::ftInteger},
                      {"PRICE", TFieldType::ftFloat, 0},  {"AMOUNT", TFieldType::ftCurrency},
                      {"DAY", TFieldType::ftDate},        {"PAID", TFieldType::ftBoolean}};
    for (int i = 1; i <= kRows; ++i)
        result.rows.append({i, QStringLiteral("Наименование товара %1").arg(i), QStringLiteral("A-%1").arg(i * 7),
                            i % 97, i * 1.25, i * 12.5, QDate(2026, 1, 1).addDays(i % 365), i % 2 == 0});
    g_rows = new TDataSet;
    g_rows->LoadFrom(result);
}

void BM_ListingToPdf(benchmark::State &state)
{
    TQRByDataSet listing;
    listing.SetDataSet(g_rows);
    listing.SetCaption(QStringLiteral("Товары на складе"));
    const QString path = g_dir->filePath("listing.pdf");
    if (listing.Layout().Columns.size() != 8) {
        state.SkipWithError("not every column fits the page");
        return;
    }
    for (auto _ : state)
        if (!listing.PrintToPdf(path)) {
            state.SkipWithError("the listing was not written");
            break;
        }
    state.counters["KiB"] = double(QFileInfo(path).size()) / 1024;
}

void BM_PlainTextToPdf(benchmark::State &state)
{
    const QString path = g_dir->filePath("plain.pdf");
    for (auto _ : state) {
        QPdfWriter writer(path);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                         QPageLayout::Millimeter));
        writer.setResolution(600);
        QPainter painter(&writer);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
        const double dotsPerMm = 600 / 25.4, rowHeight = 4 * dotsPerMm;
        const int rowsPerPage = int(250 / 4);
        for (int row = 0; row < kRows; ++row) {
            if (row > 0 && row % rowsPerPage == 0)
                writer.newPage();
            const double y = (20 + (row % rowsPerPage) * 4) * dotsPerMm;
            double x = dotsPerMm;
            for (int c = 0; c < g_rows->FieldCount(); ++c) {
                const QString text = g_rows->ValueAt(row, c).toString();
                painter.drawText(QRectF(x, y, 20 * dotsPerMm, rowHeight), Qt::TextDontClip, text);
                x += 23 * dotsPerMm;
            }
        }
    }
}

BENCHMARK(BM_ListingToPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_PlainTextToPdf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const TBenchFolder folder;
    SetProgramFolderForTests(folder.Path());
    Prepare();
    TTargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string listing = "BM_ListingToPdf/min_time:3.000/real_time";
    const std::string plain = "BM_PlainTextToPdf/min_time:3.000/real_time";
    int misses = reporter.PrintTargets({{listing, plain, 3.0}});
    misses += !reporter.PrintWallTarget("listing, 5,000 x 8 to PDF", listing, kTargetMs);
    delete g_rows;
    delete g_dir;
    SetProgramFolderForTests(QString());
    benchmark::Shutdown();
    return misses == 0 ? 0 : 2;
}
