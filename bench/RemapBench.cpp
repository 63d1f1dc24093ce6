// The yardstick for the own-size render: a common vision library's bilinear
// remap of the same 4000 x 3000 picture through the same displacement, idle
// and with one core busy elsewhere, measured beside the own-size render in the
// same run, so that the budgets compare the two under the same conditions.
// Built only where that library is found.

#include "BenchInputs.h"
#include "BudgetReporter.h"
#include "engine/FullSizeRenderer.h"
#include "container/WA.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace knetix {
namespace {

constexpr int32_t kW = 4000, kH = 3000, kFieldW = 354, kFieldH = 265;

struct RemapInputs {
    cv::Mat source, output, map1, map2;

    RemapInputs()
    {
        const WAPtr picture = noisePicture(kW, kH);
        source.create(kH, kW, CV_8UC3);
        for (int32_t y = 0; y < kH; ++y)
            std::copy(picture->row(y), picture->row(y) + 3 * kW, source.ptr<uint8_t>(y));
        // Where each pixel is taken from: the field blended to the picture's
        // size as the own-size render blends it, in pixels.
        const std::vector<OffsetCell> field = wavyField(kFieldW, kFieldH, 64 * 10);
        cv::Mat mx(kH, kW, CV_32FC1), my(kH, kW, CV_32FC1);
        for (int64_t i = 0; i < kH; ++i) {
            const int64_t fy = i * 64 * kFieldH / kH, cy = std::min<int64_t>(kFieldH - 2, fy / 64), oy = fy % 64;
            for (int64_t j = 0; j < kW; ++j) {
                const int64_t fx = j * 64 * kFieldW / kW, cx = std::min<int64_t>(kFieldW - 2, fx / 64), ox = fx % 64;
                const OffsetCell* r0 = field.data() + cy * kFieldW + cx;
                const OffsetCell* r1 = r0 + kFieldW;
                const int64_t DX = ((64 - oy) * ((64 - ox) * r0[0].dx + ox * r0[1].dx) +
                                    oy * ((64 - ox) * r1[0].dx + ox * r1[1].dx)) / 4096;
                const int64_t DY = ((64 - oy) * ((64 - ox) * r0[0].dy + ox * r0[1].dy) +
                                    oy * ((64 - ox) * r1[0].dy + ox * r1[1].dy)) / 4096;
                mx.at<float>(int(i), int(j)) = float(j + double(DX) * kW / kFieldW / 64.0);
                my.at<float>(int(i), int(j)) = float(i + double(DY) * kH / kFieldH / 64.0);
            }
        }
        // The library's fastest bilinear form: fixed-point maps.
        cv::convertMaps(mx, my, map1, map2, CV_16SC2);
        output.create(kH, kW, CV_8UC3);
    }
};

RemapInputs& inputs()
{
    static RemapInputs in;
    return in;
}

void BM_Remap(benchmark::State& state)
{
    RemapInputs& in = inputs();
    // Argument: threads (0: the library's default, all cores).
    cv::setNumThreads(state.range(0) == 1 ? 0 : -1);
    for (auto _ : state)
        cv::remap(in.source, in.output, in.map1, in.map2, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::setNumThreads(-1);
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Remap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RemapLoaded(benchmark::State& state)
{
    RemapInputs& in = inputs();
    BusyCore busy;
    for (auto _ : state)
        cv::remap(in.source, in.output, in.map1, in.map2, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_RemapLoaded)->Unit(benchmark::kMillisecond)->UseRealTime();

// The own-size render of the same picture through the same field, each
// benchmark right after the remap it is held against.
FullSizeRenderer& ownSizeRenderer()
{
    static FullSizeRenderer renderer = [] {
        FullSizeRenderer r;
        r.load(*noisePicture(kW, kH));
        return r;
    }();
    return renderer;
}

void BM_OwnSizeRender(benchmark::State& state)
{
    FullSizeRenderer& renderer = ownSizeRenderer();
    const std::vector<OffsetCell> field = wavyField(kFieldW, kFieldH, 64 * 10);
    for (auto _ : state)
        renderer.render(field.data(), kFieldW, kFieldH, unsigned(state.range(0)));
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
// Argument: threads (0: all cores).
BENCHMARK(BM_OwnSizeRender)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OwnSizeRenderLoaded(benchmark::State& state)
{
    FullSizeRenderer& renderer = ownSizeRenderer();
    const std::vector<OffsetCell> field = wavyField(kFieldW, kFieldH, 64 * 10);
    BusyCore busy;
    for (auto _ : state)
        renderer.render(field.data(), kFieldW, kFieldH);
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_OwnSizeRenderLoaded)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace knetix

int main(int argc, char** argv)
{
    using knetix::bench::addRelativeBudget;
    // Half as fast again as the remap: two thirds of its time per picture.
    addRelativeBudget("BM_OwnSizeRender/0", "BM_Remap/0", 1.0 / 1.5,
                      "own size on all cores, 1.5 x the remap's speed");
    addRelativeBudget("BM_OwnSizeRenderLoaded", "BM_RemapLoaded", 1.0 / 1.5,
                      "the same with one core busy elsewhere");
    addRelativeBudget("BM_OwnSizeRender/1", "BM_Remap/1", 1.0 / 1.5, "the same on one thread");
    return knetix::bench::runWithBudgets(argc, argv);
}
