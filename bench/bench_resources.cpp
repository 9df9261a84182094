// Reading the resources of many executable files: the peres listing (every
// type, name, group, string table, menu, bitmap and the version strings),
// the best icon of a module, and the version information alone. Each
// benchmark reports files per second and is compared in the same run with
// reading the same files' bytes and nothing more. A damaged file of a few
// megabytes whose directories point into each other is listed in well under
// 100 ms of wall time.
#include "Files/uMultiIcoFromResource.h"
#include "Files/uPE32Image.h"
#include "Files/uVersionInfo.h"
#include "bench/BenchRun.h"
#include "bench/BenchTargets.h"
#include "tests/Files/PeBuilder.h"
#include "tools/peres/uResourceDump.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int FileCount = 200;

// A module file as the console meets them: icons of three sizes, a few
// string tables and bitmaps, a menu and a version resource; `scale` adds
// resources so that the files differ in size.
QByteArray ModuleFile(int scale)
{
    PeBuilder builder;
    builder.pe32Plus = scale % 2 == 1;
    IconSpec small;
    small.width = small.height = 16;
    IconSpec large;
    large.width = large.height = 48;
    large.bitCount = 32;
    large.groupColours = 0;
    builder.AddIconGroup(QStringLiteral("MAINICON"), {small, IconSpec(), large}, 1);
    for (int i = 0; i < 1 + scale % 8; ++i) {
        QStringList strings;
        for (int s = 0; s < 16; ++s)
            strings.append(QStringLiteral("Строка %1 блока %2").arg(s).arg(i));
        builder.Add(6, i + 1, PeBuilder::StringBlock(strings));
        builder.Add(2, 100 + i, PeBuilder::Bitmap(16, 16, i % 2 ? 8 : 24));
    }
    builder.Add(4, 1,
                PeBuilder::Menu({{0x10, 0, QStringLiteral("&Файл")},
                                 {0, 100, QStringLiteral("&Открыть")},
                                 {0x80, 101, QStringLiteral("В&ыход")},
                                 {0x90, 0, QStringLiteral("&Справка")},
                                 {0x80, 200, QStringLiteral("&О программе")}}));
    builder.Add(16, 1,
                PeBuilder::Version(0x50000, quint32(scale),
                                   {{QStringLiteral("041904E3"),
                                     {{QStringLiteral("FileDescription"), QStringLiteral("Модуль %1").arg(scale)},
                                      {QStringLiteral("ProductVersion"), QStringLiteral("5.0.0.%1").arg(scale)},
                                      {QStringLiteral("ProductName"), QStringLiteral("Консоль")}}}}));
    return builder.Build();
}

// The generated files, written once for all benchmarks.
class ModuleFiles {
public:
    ModuleFiles()
    {
        for (int i = 0; i < FileCount; ++i) {
            const QString path = m_dir.filePath(QStringLiteral("module%1.so").arg(i));
            QFile file(path);
            const QByteArray bytes = ModuleFile(i);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            m_paths.append(path);
        }
    }
    const QStringList &Paths() const { return m_paths; }

private:
    QTemporaryDir m_dir;
    QStringList m_paths;
};

const ModuleFiles &Files()
{
    static const ModuleFiles files;
    return files;
}

void FilesPerSecond(benchmark::State &state)
{
    state.counters["files/s"] = benchmark::Counter(double(state.iterations()) * FileCount, benchmark::Counter::kIsRate);
}

// The baseline: each file opened and read whole.
void BM_ReadFiles(benchmark::State &state)
{
    const QStringList &paths = Files().Paths();
    for (auto _ : state) {
        for (const QString &path : paths) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                state.SkipWithError("a generated file cannot be read");
            benchmark::DoNotOptimize(file.readAll());
        }
    }
    FilesPerSecond(state);
}
BENCHMARK(BM_ReadFiles)->Unit(benchmark::kMillisecond);

void BM_ListResources(benchmark::State &state)
{
    const QStringList &paths = Files().Paths();
    for (auto _ : state) {
        for (const QString &path : paths) {
            QByteArray listing;
            const int status = DumpResourceFile(path, QByteArrayLiteral("module"), listing);
            if (status != 0)
                state.SkipWithError("a generated file failed to list");
            benchmark::DoNotOptimize(listing);
        }
    }
    FilesPerSecond(state);
}
BENCHMARK(BM_ListResources)->Unit(benchmark::kMillisecond);

void BM_BestIcon(benchmark::State &state)
{
    const QStringList &paths = Files().Paths();
    for (auto _ : state) {
        for (const QString &path : paths) {
            TExeImage image(path);
            const QImage icon = GetBestIconImage(image, QStringLiteral("MAINICON"), 32, 32);
            benchmark::DoNotOptimize(icon.constBits());
        }
    }
    FilesPerSecond(state);
}
BENCHMARK(BM_BestIcon)->Unit(benchmark::kMillisecond);

void BM_VersionInfo(benchmark::State &state)
{
    const QStringList &paths = Files().Paths();
    for (auto _ : state) {
        for (const QString &path : paths) {
            const auto version = TVersionInfo::FromFile(path);
            QString value;
            if (version)
                value = version->Value(QStringLiteral("\\StringFileInfo\\041904E3\\ProductVersion"));
            benchmark::DoNotOptimize(value);
        }
    }
    FilesPerSecond(state);
}
BENCHMARK(BM_VersionInfo)->Unit(benchmark::kMillisecond);

// A file of about 3 MB: 40,000 names of one type, and 300 types whose
// entries all point at that type's directory, as a damaged file may.
QString DamagedTreeFile(const QTemporaryDir &dir)
{
    PeBuilder builder;
    for (int i = 0; i < 40000; ++i)
        builder.Add(10, i + 1, QByteArray(16, 'd'));
    for (int t = 100; t < 400; ++t)
        builder.Add(t, 1, "t");
    PeLayout layout;
    QByteArray bytes = builder.Build(&layout);
    for (int t = 100; t < 400; ++t)
        PeBuilder::PutU32(bytes, layout.TypeOf(t).entry + 4,
                          0x80000000u | quint32(layout.TypeOf(10).directory - layout.resourceSection));
    const QString path = dir.filePath(QStringLiteral("damaged.dll"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return path;
}

void BM_ListDamagedTree(benchmark::State &state)
{
    static const QTemporaryDir dir;
    static const QString path = DamagedTreeFile(dir);
    state.counters["MB"] = double(QFileInfo(path).size()) / (1024 * 1024);
    for (auto _ : state) {
        QByteArray listing;
        if (DumpResourceFile(path, QByteArrayLiteral("damaged"), listing) != 1)
            state.SkipWithError("the damaged file listed without its error");
        benchmark::DoNotOptimize(listing);
    }
}
BENCHMARK(BM_ListDamagedTree)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    const TBenchFolder folder;
    benchmark::Initialize(&argc, argv);
    TTargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Listing formats every resource as text; the icon and the version read a few resources of the file.
    const int misses = reporter.PrintTargets({{"BM_ListResources", "BM_ReadFiles", 10},
                                              {"BM_BestIcon", "BM_ReadFiles", 4},
                                              {"BM_VersionInfo", "BM_ReadFiles", 4}});
    const double damagedMs = reporter.WallMs("BM_ListDamagedTree/real_time");
    const bool damagedPass = damagedMs > 0 && damagedMs < 100;
    std::printf("%-28s %9.2f ms wall   target under 100 ms  %s\n", "BM_ListDamagedTree", damagedMs,
                damagedPass ? "PASS" : "MISS");
    benchmark::Shutdown();
    return misses == 0 && damagedPass ? 0 : 2;
}
