// The administration windows on the generated installation of bench_console
// (500 services over 25 module files). Measured so far: the registration
// window reading every module file of the folder. The figure is the median
// of the runs, printed with its target and PASS or MISS.
//
//   bench_menu_editor [runs]
#include "Console/DLLLoaderIMPL.h"
#include "Console/ServiceListIMPL.h"
#include "Core/DialogService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kModules = 25;
constexpr int kServices = 500;
constexpr double kTargetMs = 1000;

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

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
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
        QElapsedTimer timer;
        timer.start();
        loader.LoadAll();
        times << timer.nsecsElapsed() / 1e6;
        services = loader.Services().Count();
    }
    SetDialogService(nullptr);

    const double figure = median(times);
    const bool pass = figure < kTargetMs && services == kServices && dialogs.boxes == 0;
    std::printf("Menu editor benchmark: medians of %d runs\n", runs);
    std::printf("  %-28s %8.1f ms  %d services, %d boxes  target < %.0f ms  %s\n", "registration, 25 files", figure,
                services, dialogs.boxes, kTargetMs, pass ? "PASS" : "MISS");
    return pass ? 0 : 2;
}
