#pragma once
// Targets of the Google Benchmark programs: after the run each figure is
// printed with the baseline it is measured against in the same run (another
// benchmark of the program doing the same work the plain way), the target as
// the largest allowed ratio of their CPU times per iteration, and PASS or MISS.
// CPU time is compared because the machine may be shared: waiting for the
// processor is not the code's cost.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

struct TBenchTarget {
    std::string figure;   // the benchmark measured
    std::string baseline; // the benchmark it is compared to
    double maxRatio;      // figure / baseline, CPU time per iteration
};

// The console reporter that also keeps each benchmark's CPU and wall time per iteration.
class TTargetReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                m_cpuSeconds[run.benchmark_name()] = run.cpu_accumulated_time / double(run.iterations);
                m_wallMs[run.benchmark_name()] = run.real_accumulated_time * 1e3 / double(run.iterations);
            }
        ConsoleReporter::ReportRuns(runs);
    }

    // The wall time per iteration in milliseconds; -1 when the benchmark did not run.
    double WallMs(const std::string &name) const
    {
        const auto found = m_wallMs.find(name);
        return found == m_wallMs.end() ? -1 : found->second;
    }

    // Prints a figure's wall time per iteration against its target; returns
    // whether it was met (a figure not measured is missed).
    bool PrintWallTarget(const char *figure, const std::string &name, double targetMs) const
    {
        const double ms = WallMs(name);
        const bool pass = ms > 0 && ms < targetMs;
        std::printf("%-44s %9.2f ms wall   target under %.0f ms  %s\n", figure, ms, targetMs, pass ? "PASS" : "MISS");
        return pass;
    }

    // Prints the table of targets; returns how many were missed (a figure not measured is missed).
    int PrintTargets(const std::vector<TBenchTarget> &targets) const
    {
        int misses = 0;
        std::printf("\n%-28s %12s   %-28s %12s %8s %8s  %s\n", "figure", "CPU/iter", "baseline (same run)", "CPU/iter",
                    "ratio", "target", "verdict");
        for (const TBenchTarget &target : targets) {
            const double figure = Seconds(target.figure), baseline = Seconds(target.baseline);
            const bool measured = figure > 0 && baseline > 0;
            const double ratio = measured ? figure / baseline : 0;
            const bool pass = measured && ratio <= target.maxRatio;
            misses += pass ? 0 : 1;
            std::printf("%-28s %12s   %-28s %12s %7.2fx %6.1fx  %s\n", target.figure.c_str(), Text(figure).c_str(),
                        target.baseline.c_str(), Text(baseline).c_str(), ratio, target.maxRatio,
                        pass ? "PASS" : "MISS");
        }
        return misses;
    }

private:
    double Seconds(const std::string &name) const
    {
        const auto found = m_cpuSeconds.find(name);
        return found == m_cpuSeconds.end() ? -1 : found->second;
    }
    static std::string Text(double seconds)
    {
        if (seconds < 0)
            return "not run";
        char text[32];
        if (seconds >= 1e-3)
            std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
        else
            std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
        return text;
    }

    std::map<std::string, double> m_cpuSeconds;
    std::map<std::string, double> m_wallMs;
};
