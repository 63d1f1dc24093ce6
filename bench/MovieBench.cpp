// Movie export at the picture's own size, one frame split into its two parts:
// the full-size render of the blend and the compressor writing it.

#include "BenchInputs.h"
#include "BudgetReporter.h"
#include "engine/FullSizeRenderer.h"
#include "files/movie/MovieWriter.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace knetix {
namespace {

constexpr int32_t kWidth = 4000, kHeight = 3000;

FullSizeRenderer& renderedPicture()
{
    static FullSizeRenderer renderer = [] {
        FullSizeRenderer r;
        r.load(*photoLikePicture(kWidth, kHeight));
        const auto field = wavyField(354, 265, 64 * 10);
        r.render(field.data(), 354, 265);
        return r;
    }();
    return renderer;
}

void BM_OwnSizeFrameRender(benchmark::State& state)
{
    FullSizeRenderer& renderer = renderedPicture();
    const auto field = wavyField(354, 265, 64 * 10);
    for (auto _ : state)
        renderer.render(field.data(), 354, 265);
}
BENCHMARK(BM_OwnSizeFrameRender)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OwnSizeFrameEncode(benchmark::State& state, const char* codec)
{
    const Bitmap24View frame = renderedPicture().outputView();
    const std::string path = (std::filesystem::temp_directory_path() / "knetix-bench-movie.avi").string();
    MovieWriter writer;
    if (writer.open(path, kWidth, kHeight, MovieSettings{codec}) != MovieStatus::Ok) {
        state.SkipWithError("compressor not available");
        return;
    }
    for (auto _ : state)
        if (writer.writeFrame(frame) != MovieStatus::Ok)
            state.SkipWithError("write failed");
    writer.abandon();
}
BENCHMARK_CAPTURE(BM_OwnSizeFrameEncode, raw, "raw")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_OwnSizeFrameEncode, mjpeg, "mjpeg")->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace knetix

int main(int argc, char** argv)
{
    using knetix::bench::addBudget;
    using knetix::bench::addRelativeBudget;
    using knetix::bench::BudgetKind;
    addBudget("BM_OwnSizeFrameRender", BudgetKind::MaxMillisecondsPerIteration, 150.0,
              "12 MP frame; a 30-key movie of ~1000 frames renders in under 3 minutes");
    addRelativeBudget("BM_OwnSizeFrameRender", "BM_OwnSizeFrameEncode/mjpeg", 1.0,
                      "rendering must not be what a Motion JPEG export waits for");
    return knetix::bench::runWithBudgets(argc, argv);
}
