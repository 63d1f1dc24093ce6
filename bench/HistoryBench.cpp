// Undo and redo against their budgets: one Large stroke back and forth on
// the full canvas, and the memory of a long history.

#include "BenchInputs.h"
#include "BudgetReporter.h"
#include "document/Document.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace knetix {
namespace {

void largeStroke(Document& doc, int32_t i)
{
    const int32_t x = 90 + (i * 37) % 170, y = 90 + (i * 53) % 170;
    doc.press(x, y);
    for (int32_t k = 1; k <= 6; ++k)
        doc.move(x + 4 * k, y + 3 * k);
    doc.release();
}

std::unique_ptr<Document> documentWithLargeWhirl()
{
    auto doc = std::make_unique<Document>();
    doc->loadPicture("bench", *noisePicture(354, 354));
    doc->selectSize(kDivisorLarge);
    doc->selectTool(ToolKind::Whirl);
    return doc;
}

// One undo and one redo of a Large stroke, each with its repaint data put back.
void BM_UndoRedoLargeStroke(benchmark::State& state)
{
    auto doc = documentWithLargeWhirl();
    largeStroke(*doc, 0);
    for (auto _ : state) {
        doc->undo();
        doc->redo();
    }
}
BENCHMARK(BM_UndoRedoLargeStroke)->Unit(benchmark::kMillisecond);

// 1000 Large strokes in one history: the history's bytes and the process's
// peak resident memory.
void BM_ThousandLargeStrokes(benchmark::State& state)
{
    for (auto _ : state) {
        auto doc = documentWithLargeWhirl();
        for (int32_t i = 0; i < 1000; ++i)
            largeStroke(*doc, i);
        state.counters["history_MiB"] = double(doc->history().bytes()) / (1 << 20);
        state.counters["steps"] = double(doc->history().steps());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024; // kilobytes on Linux
}
BENCHMARK(BM_ThousandLargeStrokes)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace knetix

int main(int argc, char** argv)
{
    using namespace knetix::bench;
    addBudget("BM_UndoRedoLargeStroke", BudgetKind::MaxMillisecondsPerIteration, 2.0,
              "undo and redo each within 1 ms, repaint data included");
    addCounterBudget("BM_ThousandLargeStrokes", "history_MiB", 256, "MiB", "the history's default cap");
    addCounterBudget("BM_ThousandLargeStrokes", "peak_MiB", 400, "MiB", "the whole program's peak for that run");
    return runWithBudgets(argc, argv);
}
