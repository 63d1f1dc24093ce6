// Movie export: whole exports of a three-key animation through the document
// at the canvas's size and at a camera picture's own size, and one own-size
// frame split into its two parts, the full-size render of the blend and the
// compressor writing it.

#include "BenchInputs.h"
#include "BudgetReporter.h"
#include "document/Batch.h"
#include "engine/FullSizeRenderer.h"
#include "files/imagelib/ImExp.h"
#include "files/movie/MovieWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace knetix {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kWidth = 4000, kHeight = 3000;
// Three keys at Speed 32: eight frames from each key to the next and from the
// last back to the first, then the first key once more.
constexpr int32_t kSpeed = 32;
constexpr int64_t kAnimationFrames = 3 * 8 + 1;

fs::path benchFolder()
{
    static const fs::path folder = [] {
        // Of this process alone: other runs may share the machine.
        fs::path f = fs::temp_directory_path() / ("knetix-bench-movie-" + std::to_string(::getpid()));
        fs::create_directories(f);
        return f;
    }();
    return folder;
}

// A 4000 x 3000 photograph-like picture (shown on the 354 x 354 canvas as
// 354 x 265) with three keys: as opened, a whirl, the whirl pulled aside.
Document& threeKeyAnimation()
{
    static std::unique_ptr<BatchRunner> runner = [] {
        const WAPtr picture = photoLikePicture(kWidth, kHeight);
        const std::string file = (benchFolder() / "picture.bmp").string();
        const Bitmap24View view{kWidth, kHeight, picture->rowBytes(), picture->row(0), 2835, 2835};
        if (ImExp_WriteFile(file, view) != ImExpStatus::Ok)
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
        auto r = std::make_unique<BatchRunner>();
        std::istringstream script("open " + file +
                                  "\ntool whirl large\npress 177 177\ntick 20\nrelease\n"
                                  "key activate 2\ntool move large\npress 100 150\nmove 130 140\n"
                                  "move 160 130\nrelease\n");
        if (r->run(script))
            std::fprintf(stderr, "the animation's script failed\n");
        return r;
    }();
    return *runner->document();
}

void exportAnimation(benchmark::State& state, const char* name, OutputSize size)
{
    Document& doc = threeKeyAnimation();
    if (doc.movieFrames(kSpeed) != kAnimationFrames) {
        state.SkipWithError("not the three-key animation");
        return;
    }
    const std::string path = (benchFolder() / name).string();
    for (auto _ : state)
        if (!doc.exportMovie(path, MovieSettings{}, kSpeed, size)) {
            state.SkipWithError("export failed");
            break;
        }
    state.SetItemsProcessed(int64_t(state.iterations()) * kAnimationFrames);
    fs::remove(path);
}

// The animation as the canvas shows it (354 x 265; MP4 adds a row).
void BM_CanvasExport(benchmark::State& state, const char* name)
{
    exportAnimation(state, name, OutputSize::Screen);
}
BENCHMARK_CAPTURE(BM_CanvasExport, mp4, "canvas.mp4")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CanvasExport, webm, "canvas.webm")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_CanvasExport, gif, "canvas.gif")->Unit(benchmark::kMillisecond)->UseRealTime();

// At the picture's own size: reading the picture, rendering and compressing
// every frame.
void BM_OwnSizeExport(benchmark::State& state, const char* name)
{
    exportAnimation(state, name, OutputSize::Own);
}
BENCHMARK_CAPTURE(BM_OwnSizeExport, mp4, "own.mp4")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(10);

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

void BM_OwnSizeFrameEncode(benchmark::State& state, const char* codec, const char* name)
{
    const Bitmap24View frame = renderedPicture().outputView();
    const std::string path = (benchFolder() / name).string();
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
BENCHMARK_CAPTURE(BM_OwnSizeFrameEncode, raw, "raw", "frame.avi")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_OwnSizeFrameEncode, mjpeg, "mjpeg", "frame.avi")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_OwnSizeFrameEncode, mp4, "", "frame.mp4")->Unit(benchmark::kMillisecond)->UseRealTime();

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
    // 25 frames play in 25 / 15 s.
    const double playing = 1000.0 * double(knetix::kAnimationFrames) / knetix::kMovieFramesPerSecond;
    for (const char* kind : {"mp4", "webm", "gif"})
        addBudget(std::string("BM_CanvasExport/") + kind, BudgetKind::MaxMillisecondsPerIteration, playing,
                  "three keys at Speed 32 (25 frames) export faster than they play");
    addBudget("BM_OwnSizeExport/mp4", BudgetKind::MinItemsPerSecond, 4.0,
              "4000 x 3000 MP4 export: a 30-key movie of ~1000 frames in about 4 minutes");
    const int status = knetix::bench::runWithBudgets(argc, argv);
    std::filesystem::remove_all(knetix::benchFolder());
    return status;
}
