#pragma once

// Prints, after the usual table, each benchmark's time per step as a share of the time budget it
// must stay within (a message's time on a MIDI cable, a screen frame), and whether it does. Every
// judged figure counts: the program ends with status 1 when one misses its target or a
// benchmark stops without giving its figure, and says which.

#include "CountingAllocator.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// The counters a growth check reads: what one step allocates (CountingAllocator.h).
inline constexpr const char *AllocatedBytesCounter = "allocated_bytes";
inline constexpr const char *AllocationsCounter = "allocations";

// Counts a step's allocations (see AllocationsPerStep) and gives them as the benchmark's
// counters, for the growth check. Run after the timed loop: the count needs no timing, and the
// timed steps stay uncounted.
template<class Prepare, class Step>
void CountAllocations(benchmark::State &state, Prepare &&prepare, Step &&step, int steps = 20)
{
    const TAllocationCount count = AllocationsPerStep(steps, prepare, step);
    state.counters[AllocatedBytesCounter] = static_cast<double>(count.Bytes);
    state.counters[AllocationsCounter] = static_cast<double>(count.Calls);
}

// A benchmark judged against another of the same run: its CPU time at most Limit times the
// baseline's, whatever the machine's load.
struct TRatio
{
    std::string Prefix;
    std::string BaselinePrefix;
    double Limit;
};

// The judged figures that missed their target or never came, in the order they were judged.
inline std::vector<std::string> &MissedFigures()
{
    static std::vector<std::string> missed;
    return missed;
}

// Records the verdict on a figure and returns the word to print with it.
inline const char *Verdict(const std::string &figure, bool met)
{
    if (!met)
        MissedFigures().push_back(figure);
    return met ? "met" : "NOT met";
}

struct TBudget
{
    std::string Prefix; // the benchmarks it applies to, by the start of their names
    std::string Label; // what the budget is, as printed
    double Seconds; // the budget
    double TargetShare; // the share of it a step may take
    // A figure of the machine rather than of the program (what the system charges for
    // something the program cannot avoid): printed beside the others, never judged.
    bool Reference = false;
    // Judged by the time a step takes from start to end (what a user waits for), not by the
    // processor time it costs.
    bool Wall = false;
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
            if (run.error_occurred) {
                Stopped.push_back(run.benchmark_name());
                std::printf("%s: stopped with an error (%s), no figure: NOT met\n",
                            run.benchmark_name().c_str(), run.error_message.c_str());
                Verdict(run.benchmark_name() + " (stopped: " + run.error_message + ")", false);
                continue;
            }
            // A benchmark run several times over is judged by the median of its runs, which one
            // unlucky run (a wake that went to the other core, a hypervisor's pause) does not
            // move; a single run by itself.
            const bool repeated = run.repetitions > 1;
            if (run.run_type == Run::RT_Iteration ? repeated : run.aggregate_name != "median")
                continue;
            const double perSecond = benchmark::GetTimeUnitMultiplier(run.time_unit);
            // Kept in the order the benchmarks were declared, which the growth checks read,
            // whatever order the repetitions ran in.
            const auto counter = [&run](const char *name) {
                const auto found = run.counters.find(name);
                return found == run.counters.end() ? -1.0 : found->second.value;
            };
            const TResult result {run.run_name.str(),
                                  run.GetAdjustedCPUTime() / perSecond,
                                  run.GetAdjustedRealTime() / perSecond,
                                  counter(AllocatedBytesCounter),
                                  counter(AllocationsCounter),
                                  {run.family_index, run.per_family_instance_index}};
            Results.insert(std::upper_bound(Results.begin(), Results.end(), result,
                                            [](const TResult &a, const TResult &b) {
                                                return a.Declared < b.Declared;
                                            }),
                           result);
        }
    }

    // Prints each step's share of its budget. A judged budget that no benchmark gave a figure
    // for misses too, unless a filter left its benchmarks out on purpose.
    void PrintSummary() const
    {
        for (const TBudget &budget : Budgets) {
            bool given = false;
            for (const TResult &result : Results) {
                if (result.Name.rfind(budget.Prefix, 0) != 0)
                    continue;
                given = true;
                const double share
                    = (budget.Wall ? result.WallSeconds : result.CpuSeconds) / budget.Seconds;
                std::printf("%s: %.2f us CPU per step (%.2f us wall) = %.4f %% of %s "
                            "(%.3f ms; target < %.2f %%): %s\n",
                            result.Name.c_str(), result.CpuSeconds * 1e6, result.WallSeconds * 1e6,
                            share * 100, budget.Label.c_str(), budget.Seconds * 1e3,
                            budget.TargetShare * 100,
                            budget.Reference ? "reference, not judged"
                                             : Verdict(result.Name, share < budget.TargetShare));
            }
            if (!given && !budget.Reference && !Filtered() && !StoppedUnder(budget.Prefix)) {
                std::printf("%s: no figure: NOT met\n", budget.Prefix.c_str());
                Verdict(budget.Prefix + " (no figure)", false);
            }
        }
    }

    // Whether the last run whose name starts with prefix allocates at most limit times what the
    // first allocates a step: a cost that grows with the session's length (a copy of a log that
    // is never cleared, a list walked and rebuilt) allocates more, and the count, unlike the
    // time, does not move with the machine's load. The time's ratio is printed beside it.
    void PrintGrowth(const std::string &prefix, double limit) const
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
        if (!first || first->AllocatedBytes <= 0 || last->AllocatedBytes < 0) {
            if (!Filtered() && !StoppedUnder(prefix)) {
                std::printf("%s growth: no allocation count: NOT met\n", prefix.c_str());
                Verdict(prefix + " growth (no figure)", false);
            }
            return;
        }
        const double growth = last->AllocatedBytes / first->AllocatedBytes;
        std::printf("%s: bytes allocated a step, last / first = %.0f / %.0f = %.3f (%.0f / %.0f "
                    "allocations; CPU time %.3f, not judged) (target <= %.2f): %s\n",
                    prefix.c_str(), last->AllocatedBytes, first->AllocatedBytes, growth,
                    last->Allocations, first->Allocations,
                    first->CpuSeconds > 0 ? last->CpuSeconds / first->CpuSeconds : 0.0, limit,
                    Verdict(prefix + " growth", growth <= limit));
    }

    void PrintRatio(const TRatio &ratio) const
    {
        const std::string figure = ratio.Prefix + " / " + ratio.BaselinePrefix;
        const TResult *result = Find(ratio.Prefix);
        const TResult *baseline = Find(ratio.BaselinePrefix);
        if (!result || !baseline || baseline->CpuSeconds <= 0) {
            if (!Filtered()) {
                std::printf("%s: no figure: NOT met\n", figure.c_str());
                Verdict(figure + " (no figure)", false);
            }
            return;
        }
        const double value = result->CpuSeconds / baseline->CpuSeconds;
        std::printf("%s = %.3f (target <= %.2f): %s\n", figure.c_str(), value, ratio.Limit,
                    Verdict(figure, value <= ratio.Limit));
    }

private:
    struct TResult
    {
        std::string Name;
        double CpuSeconds;
        double WallSeconds;
        double AllocatedBytes; // a step's, on the benchmark's thread; -1 if not counted
        double Allocations;
        std::pair<std::int64_t, std::int64_t> Declared; // family, then instance
    };
    const TResult *Find(const std::string &prefix) const
    {
        for (const TResult &result : Results)
            if (result.Name.rfind(prefix, 0) == 0)
                return &result;
        return nullptr;
    }

    static bool Filtered()
    {
        const std::string filter = benchmark::GetBenchmarkFilter();
        return !filter.empty() && filter != "." && filter != "all";
    }
    bool StoppedUnder(const std::string &prefix) const
    {
        for (const std::string &name : Stopped)
            if (name.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    std::vector<TBudget> Budgets;
    std::vector<TResult> Results;
    std::vector<std::string> Stopped;
};

// The exit status of a benchmark program: 1, naming them, when a judged figure missed its
// target or never came.
inline int BenchmarkStatus()
{
    if (MissedFigures().empty())
        return 0;
    std::printf("NOT met:");
    for (const std::string &figure : MissedFigures())
        std::printf(" %s;", figure.c_str());
    std::printf("\n");
    std::fflush(stdout);
    return 1;
}

// A benchmark program's run against its budgets: Google Benchmark's own arguments, the runs, the
// shares, then each growth check (benchmarks by prefix, the largest last/first ratio) and each
// ratio to a baseline. The caller has made whatever application object its benchmarks need.
// Returns the program's exit status.
inline int RunBenchmarks(int &argc, char **argv, std::vector<TBudget> budgets,
                         const std::vector<std::pair<std::string, double>> &growth = {},
                         const std::vector<TRatio> &ratios = {})
{
    // The repetitions of all benchmarks run in a shuffled order, so that a slow spell of the
    // machine falls on several benchmarks' runs alike rather than on one benchmark's five; a
    // figure is the median of its runs. An argument given on the command line still decides.
    std::vector<char *> arguments(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + (argc > 0 ? 1 : 0), interleave);
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    TShareReporter reporter(std::move(budgets));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    for (const auto &[prefix, limit] : growth)
        reporter.PrintGrowth(prefix, limit);
    for (const TRatio &ratio : ratios)
        reporter.PrintRatio(ratio);
    benchmark::Shutdown();
    return BenchmarkStatus();
}
