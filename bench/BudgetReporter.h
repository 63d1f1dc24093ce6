#pragma once
// Runs the registered benchmarks and reports each one against its budget.

#include <string>

namespace knetix::bench {

enum class BudgetKind {
    MaxMillisecondsPerIteration, // real time of one iteration at most this
    MinItemsPerSecond,           // the "items_per_second" counter at least this
};

// Benchmarks whose name starts with `prefix` are held to the budget.
void addBudget(const std::string& prefix, BudgetKind kind, double limit, const std::string& why);

// The benchmark named by `prefix` must take at most `maxRatio` times as long
// per iteration as the one named by `otherPrefix`.
void addRelativeBudget(const std::string& prefix, const std::string& otherPrefix, double maxRatio,
                       const std::string& why);

// The counter `counter` of the benchmark named by `prefix` must stay at or
// below `limit` (memory, say).
void addCounterBudget(const std::string& prefix, const std::string& counter, double limit,
                      const std::string& unit, const std::string& why);

// Initialises Google Benchmark, runs everything, prints the budget table.
// Returns 0 (missing a budget is reported, not failed).
int runWithBudgets(int argc, char** argv);

} // namespace knetix::bench
