#include "BudgetReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

namespace knetix::bench {

namespace {

struct Budget {
    std::string prefix;
    BudgetKind kind;
    double limit;
    std::string why;
};

struct Result {
    std::string name;
    double msPerIteration;
    double itemsPerSecond;
    std::map<std::string, double> counters;
};

struct CounterBudget {
    std::string prefix;
    std::string counter;
    double limit;
    std::string unit;
    std::string why;
};

std::vector<CounterBudget>& counterBudgets()
{
    static std::vector<CounterBudget> list;
    return list;
}

std::vector<Budget>& budgets()
{
    static std::vector<Budget> list;
    return list;
}

struct RelativeBudget {
    std::string prefix;
    std::string otherPrefix;
    double maxRatio;
    std::string why;
};

std::vector<RelativeBudget>& relativeBudgets()
{
    static std::vector<RelativeBudget> list;
    return list;
}

const Result* find(const std::vector<Result>& results, const std::string& prefix)
{
    for (const Result& r : results)
        if (r.name.rfind(prefix, 0) == 0)
            return &r;
    return nullptr;
}

class Reporter : public benchmark::ConsoleReporter {
public:
    std::vector<Result> results;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // A repeated benchmark is judged by its median, a single run by
            // itself.
            const bool judged = run.run_type == Run::RT_Iteration ? run.repetitions <= 1
                                                                  : run.aggregate_name == "median";
            if (run.error_occurred || !judged)
                continue;
            // Adjusted times are in the run's time unit; the multiplier turns
            // seconds into that unit.
            const double seconds = run.GetAdjustedRealTime() /
                                   benchmark::GetTimeUnitMultiplier(run.time_unit);
            auto it = run.counters.find("items_per_second");
            Result result{run.benchmark_name(), seconds * 1e3,
                          it == run.counters.end() ? 0.0 : double(it->second), {}};
            for (const auto& [name, counter] : run.counters)
                result.counters[name] = double(counter);
            results.push_back(std::move(result));
        }
    }
};

} // namespace

void addBudget(const std::string& prefix, BudgetKind kind, double limit, const std::string& why)
{
    budgets().push_back({prefix, kind, limit, why});
}

void addRelativeBudget(const std::string& prefix, const std::string& otherPrefix, double maxRatio,
                       const std::string& why)
{
    relativeBudgets().push_back({prefix, otherPrefix, maxRatio, why});
}

void addCounterBudget(const std::string& prefix, const std::string& counter, double limit,
                      const std::string& unit, const std::string& why)
{
    counterBudgets().push_back({prefix, counter, limit, unit, why});
}

int runWithBudgets(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nBudgets (%s)\n", "this machine");
    int missed = 0, checked = 0;
    for (const Result& r : reporter.results)
        for (const Budget& b : budgets()) {
            if (r.name.rfind(b.prefix, 0) != 0)
                continue;
            bool met;
            if (b.kind == BudgetKind::MaxMillisecondsPerIteration) {
                met = r.msPerIteration <= b.limit;
                std::printf("  %-40s %9.3f ms   budget <= %.3f ms   %s  (%s)\n", r.name.c_str(),
                            r.msPerIteration, b.limit, met ? "met" : "MISSED", b.why.c_str());
            } else {
                met = r.itemsPerSecond >= b.limit;
                // In the budget's own order of magnitude: 4 frames a second
                // would show as 0.0 M/s.
                const double scale = b.limit >= 1e6 ? 1e6 : b.limit >= 1e3 ? 1e3 : 1.0;
                const char* unit = b.limit >= 1e6 ? "M/s" : b.limit >= 1e3 ? "k/s" : "/s";
                std::printf("  %-40s %9.2f %s  budget >= %.2f %s  %s  (%s)\n", r.name.c_str(),
                            r.itemsPerSecond / scale, unit, b.limit / scale, unit, met ? "met" : "MISSED",
                            b.why.c_str());
            }
            missed += met ? 0 : 1;
            ++checked;
        }
    for (const RelativeBudget& b : relativeBudgets()) {
        const Result* mine = find(reporter.results, b.prefix);
        const Result* other = find(reporter.results, b.otherPrefix);
        if (!mine || !other || other->msPerIteration <= 0)
            continue;
        const double ratio = mine->msPerIteration / other->msPerIteration;
        const bool met = ratio <= b.maxRatio;
        std::printf("  %-40s %9.2f x %s   budget <= %.2f x   %s  (%s)\n", mine->name.c_str(), ratio,
                    other->name.c_str(), b.maxRatio, met ? "met" : "MISSED", b.why.c_str());
        missed += met ? 0 : 1;
        ++checked;
    }
    for (const CounterBudget& b : counterBudgets()) {
        const Result* mine = find(reporter.results, b.prefix);
        if (!mine || !mine->counters.contains(b.counter))
            continue;
        const double value = mine->counters.at(b.counter);
        const bool met = value <= b.limit;
        std::printf("  %-40s %9.1f %s %s   budget <= %.1f %s   %s  (%s)\n", mine->name.c_str(), value,
                    b.unit.c_str(), b.counter.c_str(), b.limit, b.unit.c_str(), met ? "met" : "MISSED",
                    b.why.c_str());
        missed += met ? 0 : 1;
        ++checked;
    }
    if (checked == 0)
        std::printf("No budget applies to the benchmarks run.\n");
    else
        std::printf("%s\n", missed ? "Some budgets were missed." : "All budgets met.");
    benchmark::Shutdown();
    return 0;
}

} // namespace knetix::bench
