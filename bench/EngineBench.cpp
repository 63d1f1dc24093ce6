// The engine's hot paths against the interactions they serve.

#include "BenchInputs.h"
#include "BudgetReporter.h"
#include "engine/Blend.h"
#include "engine/FullSizeRenderer.h"
#include "engine/Kernels.h"
#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "engine/WorkingPicture.h"
#include "container/WA.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

namespace knetix {
namespace {

// One stroke point with the Large tool (radius 88) on the full canvas: apply,
// fill, write back and the square render, as the 10 ms stroke timer runs them.
void BM_StrokePoint(benchmark::State& state)
{
    const auto kind = ToolKind(state.range(0));
    WorkingPicture wp;
    wp.loadFromContainer("bench", *noisePicture(354, 354));
    CMMask key(wp.width(), wp.height());
    wp.setField(key.cells(), key.cellCount());
    auto tool = createTool(kind, toolRadius(wp.width(), wp.height(), kDivisorLarge));
    StrokePatch patch(tool->radius());
    int32_t i = 0;
    for (auto _ : state) {
        const int32_t X = 150 + (i % 40), Y = 170 + (i % 23);
        applyStroke(key.cells(), key.cellCount(), wp.pictureRect(), *tool, patch, X, Y);
        wp.squareRender(X, Y, tool->radius());
        ++i;
    }
    state.SetLabel(toolName(kind));
}
BENCHMARK(BM_StrokePoint)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

void BM_FullSmoothRender(benchmark::State& state)
{
    WorkingPicture wp;
    wp.loadFromContainer("bench", *noisePicture(354, 354));
    auto field = wavyField(354, 354, 64 * 6);
    wp.setField(field.data(), int32_t(field.size()));
    for (auto _ : state)
        wp.fullRender(int32_t(state.iterations() % 65), RenderMode::Smooth);
}
BENCHMARK(BM_FullSmoothRender)->Unit(benchmark::kMillisecond);

void BM_PlaybackFrame(benchmark::State& state)
{
    WorkingPicture wp;
    wp.loadFromContainer("bench", *noisePicture(354, 354));
    std::vector<std::unique_ptr<CMMask>> keys;
    for (int k = 0; k < 3; ++k) {
        keys.push_back(std::make_unique<CMMask>(354, 354));
        auto field = wavyField(354, 354, 64 * (k + 2));
        std::copy(field.begin(), field.end(), keys.back()->cells());
    }
    CMMask blend(354, 354);
    PlaybackState playback;
    playbackBegin(playback, 10);
    for (auto _ : state) {
        OffsetCell* cells = playbackStep(keys, blend, playback, 40);
        wp.setField(cells, blend.cellCount());
        wp.fullRender(64, RenderMode::Fast);
    }
}
BENCHMARK(BM_PlaybackFrame)->Unit(benchmark::kMillisecond);

void BM_FullSizeRender(benchmark::State& state)
{
    FullSizeRenderer renderer;
    renderer.load(*noisePicture(4000, 3000));
    auto field = wavyField(354, 265, 64 * 10);
    for (auto _ : state)
        renderer.render(field.data(), 354, 265, unsigned(state.range(0)));
    state.SetItemsProcessed(state.iterations() * 4000 * 3000);
}
BENCHMARK(BM_FullSizeRender)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace knetix

int main(int argc, char** argv)
{
    // --portable measures the loops that machines without AVX2 run.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--portable") == 0)
            knetix::kernels::setLevel(knetix::kernels::Level::Portable);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::AddCustomContext("engine_kernels", knetix::kernels::level() == knetix::kernels::Level::Avx2
                                                      ? "AVX2"
                                                      : "portable");

    using knetix::bench::addBudget;
    using knetix::bench::BudgetKind;
    addBudget("BM_StrokePoint", BudgetKind::MaxMillisecondsPerIteration, 0.5,
              "5 % of the 10 ms stroke timer");
    addBudget("BM_FullSmoothRender", BudgetKind::MaxMillisecondsPerIteration, 1.0,
              "every step of a Deformation slider drag");
    addBudget("BM_PlaybackFrame", BudgetKind::MaxMillisecondsPerIteration, 0.5,
              "blend and fast render, well inside 1/15 s");
    addBudget("BM_FullSizeRender/0", BudgetKind::MinItemsPerSecond, 150e6,
              "4000 x 3000 at own size on all cores");
    return knetix::bench::runWithBudgets(argc, argv);
}
