#pragma once

// Prints, after the usual table, each benchmark's time per step as a share of the time budget it
// must stay within (a message's time on a MIDI cable, a screen frame), and whether it does.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// A benchmark judged against another of the same run: its CPU time at most Limit times the
// baseline's, whatever the machine's load.
struct TRatio
{
    std::string Prefix;
    std::string BaselinePrefix;
    double Limit;
};

struct TBudget
{
    std::string Prefix; // the benchmarks it applies to, by the start of their names
    std::string Label; // what the budget is, as printed
    double Seconds; // the budget
    double TargetShare; // the share of it a step may take
};

class TShareReporter : public benchmark::ConsoleReporter
{
public:
    explicit TShareReporter(std::vector<TBudget> budgets)
        : Budgets(std::move(budgets))
    { }

    void ReportRuns(const std::vector<Run> &reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run &run : reports) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const double perSecond = benchmark::GetTimeUnitMultiplier(run.time_unit);
            Results.push_back({run.benchmark_name(), run.GetAdjustedCPUTime() / perSecond,
                               run.GetAdjustedRealTime() / perSecond});
        }
    }

    // Returns whether every step met its budget.
    bool PrintSummary() const
    {
        bool allMet = true;
        for (const TResult &result : Results) {
            for (const TBudget &budget : Budgets) {
                if (result.Name.rfind(budget.Prefix, 0) != 0)
                    continue;
                const double share = result.CpuSeconds / budget.Seconds;
                const bool met = share < budget.TargetShare;
                allMet = allMet && met;
                std::printf("%s: %.2f us CPU per step (%.2f us wall) = %.4f %% of %s "
                            "(%.3f ms; target < %.2f %%): %s\n",
                            result.Name.c_str(), result.CpuSeconds * 1e6, result.WallSeconds * 1e6,
                            share * 100, budget.Label.c_str(), budget.Seconds * 1e3,
                            budget.TargetShare * 100, met ? "met" : "NOT met");
                break;
            }
        }
        return allMet;
    }

    // Whether the last run whose name starts with prefix costs at most limit times the first:
    // a cost that grows with the session's length shows here.
    bool PrintGrowth(const std::string &prefix, double limit) const
    {
        const TResult *first = nullptr;
        const TResult *last = nullptr;
        for (const TResult &result : Results) {
            if (result.Name.rfind(prefix, 0) != 0)
                continue;
            if (!first)
                first = &result;
            last = &result;
        }
        if (!first || first->CpuSeconds <= 0)
            return false;
        const double growth = last->CpuSeconds / first->CpuSeconds;
        const bool met = growth <= limit;
        std::printf("%s: last / first = %.3f (target <= %.2f): %s\n", prefix.c_str(), growth, limit,
                    met ? "met" : "NOT met");
        return met;
    }

    bool PrintRatio(const TRatio &ratio) const
    {
        const TResult *result = Find(ratio.Prefix);
        const TResult *baseline = Find(ratio.BaselinePrefix);
        if (!result || !baseline || baseline->CpuSeconds <= 0)
            return false;
        const double value = result->CpuSeconds / baseline->CpuSeconds;
        const bool met = value <= ratio.Limit;
        std::printf("%s / %s = %.3f (target <= %.2f): %s\n", ratio.Prefix.c_str(),
                    ratio.BaselinePrefix.c_str(), value, ratio.Limit, met ? "met" : "NOT met");
        return met;
    }

private:
    struct TResult
    {
        std::string Name;
        double CpuSeconds;
        double WallSeconds;
    };
    const TResult *Find(const std::string &prefix) const
    {
        for (const TResult &result : Results)
            if (result.Name.rfind(prefix, 0) == 0)
                return &result;
        return nullptr;
    }
    std::vector<TBudget> Budgets;
    std::vector<TResult> Results;
};

// A benchmark program's run against its budgets: Google Benchmark's own arguments, the runs, the
// shares, then each growth check (benchmarks by prefix, the largest last/first ratio) and each
// ratio to a baseline. The caller has made whatever application object its benchmarks need.
inline int RunBenchmarks(int &argc, char **argv, std::vector<TBudget> budgets,
                         const std::vector<std::pair<std::string, double>> &growth = {},
                         const std::vector<TRatio> &ratios = {})
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TShareReporter reporter(std::move(budgets));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    for (const auto &[prefix, limit] : growth)
        reporter.PrintGrowth(prefix, limit);
    for (const TRatio &ratio : ratios)
        reporter.PrintRatio(ratio);
    benchmark::Shutdown();
    return 0;
}
