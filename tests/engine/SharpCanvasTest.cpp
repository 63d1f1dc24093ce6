// The sharp canvas: the display at f times the working picture's size, loaded
// from the picture or enlarged from the working picture, rendered as the
// full-size renderer renders an f w x f h picture, whole or around stroke
// points, with each instruction set the machine has.

#include "engine/FullSizeRenderer.h"
#include "engine/Kernels.h"
#include "engine/SharpCanvas.h"
#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "engine/WorkingPicture.h"
#include "Fixtures.h"
#include "Reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <string>

namespace knetix {
namespace {

using kernels::Level;
using test::Field;
using test::pixel;

// An unwarped working picture of random pixels.
struct Working {
    int32_t w, h, stride;
    std::vector<uint8_t> bits;

    Working(int32_t width, int32_t height, uint32_t seed)
        : w(width), h(height), stride(dibStride24(width)), bits(size_t(stride) * height)
    {
        std::mt19937 rng(seed);
        for (auto& b : bits)
            b = uint8_t(rng());
    }
    Bitmap24View view() const { return {w, h, stride, bits.data(), 0, 0}; }
};

// Random components up to `limit`; with `extremes` a quarter of them anything a
// damaged file can hold.
Field makeField(int32_t w, int32_t h, int32_t limit, uint32_t seed, bool extremes = false)
{
    Field f = test::randomField(w, h, limit, seed);
    std::mt19937 rng(seed + 1);
    const int32_t values[] = {INT32_MIN, INT32_MAX, -(1 << 19), (1 << 19) - 1, 1 << 19, 1 << 30, -1};
    if (extremes)
        for (auto& c : f.cells)
            if (rng() % 4 == 0)
                c = OffsetCell(values[rng() % 7], values[rng() % 7]);
    return f;
}

std::vector<uint8_t> shown(const SharpCanvas& canvas)
{
    return {canvas.bits(), canvas.bits() + size_t(canvas.stride()) * canvas.height()};
}

std::vector<uint8_t> unwarped(const SharpCanvas& canvas)
{
    return {canvas.sourceBits(), canvas.sourceBits() + size_t(canvas.stride()) * canvas.height()};
}

// The whole display as the reference renders it from the unwarped picture.
std::vector<uint8_t> expected(const SharpCanvas& canvas, const Field& field, int32_t scale, RenderMode mode)
{
    std::vector<uint8_t> out = unwarped(canvas);
    reference::renderSharp(canvas.sourceBits(), out.data(), canvas.width(), canvas.height(), canvas.stride(),
                           field.cells.data(), field.width, field.height, scale, mode, 0, INT32_MAX, 0,
                           INT32_MAX);
    return out;
}

class SharpRenderTest : public test::PerLevelTest {};

TEST_P(SharpRenderTest, WholeRendersFollowTheFullSizeFormulaAtEveryFactorScaleAndMode)
{
    const std::pair<int32_t, int32_t> sizes[] = {{2, 2}, {4, 4}, {5, 7}, {37, 23}, {120, 61}};
    uint32_t seed = 1;
    for (auto [w, h] : sizes)
        for (int32_t f = 1; f <= SharpCanvas::kMaxFactor; ++f)
            for (int range = 0; range < 3; ++range) {
                const Working working(w, h, ++seed);
                SharpCanvas canvas;
                ASSERT_TRUE(canvas.loadEnlarged(working.view(), f));
                const Field field = makeField(w, h, range == 0 ? 64 * 6 : 64 * 600, ++seed, range == 2);
                for (int32_t scale : {0, 1, 31, 63, 64, -5, 1000})
                    for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast}) {
                        canvas.renderAll(field.cells.data(), field.count(), scale, mode);
                        const std::string what = std::to_string(w) + "x" + std::to_string(h) + " f " +
                                                 std::to_string(f) + " range " + std::to_string(range) +
                                                 " scale " + std::to_string(scale) +
                                                 (mode == RenderMode::Smooth ? " smooth" : " fast");
                        ASSERT_EQ(shown(canvas), expected(canvas, field, scale, mode)) << what;
                        if (mode == RenderMode::Fast)
                            continue;
                        // Smooth is the full-size renderer's own formula on the
                        // field with the scale baked in.
                        Field baked = field;
                        scaleField(baked.data(), baked.count(), std::clamp(scale, 0, 64));
                        std::vector<uint8_t> fullSize = unwarped(canvas);
                        reference::renderFullSizeRows(canvas.sourceBits(), fullSize.data(), canvas.width(),
                                                      canvas.height(), canvas.stride(), baked.data(), w, h, 0,
                                                      canvas.height() - 2);
                        ASSERT_EQ(shown(canvas), fullSize) << what;
                    }
            }
}

TEST_P(SharpRenderTest, StrokeSquaresLeaveTheDisplayAsAWholeRenderShowsIt)
{
    struct Case {
        int32_t w, h, f;
    };
    for (const Case c : {Case{61, 47, 2}, Case{4, 4, 3}, Case{33, 20, 4}, Case{354, 265, 2}}) {
        const Working working(c.w, c.h, uint32_t(c.w));
        SharpCanvas canvas, twin;
        ASSERT_TRUE(canvas.loadEnlarged(working.view(), c.f));
        ASSERT_TRUE(twin.loadEnlarged(working.view(), c.f));
        Field field = makeField(c.w, c.h, 64 * 20, uint32_t(c.h));
        canvas.renderAll(field.data(), field.count(), 64, RenderMode::Smooth);

        std::mt19937 rng(uint32_t(c.w * c.h));
        const int32_t radii[] = {0, 1, 2, 5, 22, 88, 1024};
        const int32_t edges[] = {INT32_MIN, -1000, -3, 0, 1, 2, 5};
        const int points = c.w > 100 ? 60 : 300;
        for (int i = 0; i < points; ++i) {
            const int32_t r = radii[rng() % 7];
            // Anywhere near the picture, often right on a border or corner.
            auto coordinate = [&](int32_t side) -> int32_t {
                switch (rng() % 4) {
                case 0:
                    return edges[rng() % 7] + (rng() % 2 ? 0 : side);
                default:
                    return int32_t(rng() % uint32_t(side + 2 * r + 10)) - r - 5;
                }
            };
            const int32_t x = coordinate(c.w), y = coordinate(c.h);
            const int32_t radius = std::min(r, 88);
            auto square = [&](int32_t at, int32_t down) {
                const Rect area = canvas.renderSquare(field.data(), field.count(), at, down, radius, i % 3);
                // Only the f-scaled square and a cell's worth of pixels that
                // interpolate towards it.
                EXPECT_LE(area.width(), c.f * (2 * radius + 2));
                EXPECT_LE(area.height(), c.f * (2 * radius + 2));
            };
            // The cells a stroke point writes: a random patch through the
            // engine's own write-back, or now and then a real tool moved by a
            // few pixels.
            if (i % 5 == 4) {
                auto tool = createTool(kToolKindsByNameOrder[rng() % 7], radius);
                StrokePatch patch;
                const int32_t x2 = x < 0 ? x + 3 : x - 3, y2 = y < 0 ? y + 2 : y - 2;
                applyStroke(field.data(), field.count(), Rect{0, 0, c.w, c.h}, *tool, patch, x, y);
                square(x, y);
                applyStroke(field.data(), field.count(), Rect{0, 0, c.w, c.h}, *tool, patch, x2, y2);
                square(x2, y2);
            } else {
                StrokePatch patch(radius);
                const Field values = makeField(patch.side(), patch.side(), 64 * 30, rng());
                std::copy(values.cells.begin(), values.cells.end(), patch.cells());
                writeBackStrokePatch(patch, field.data(), c.w, c.h, x, y);
                square(x, y);
            }
            if (i % 10 == 9 || c.w < 100) {
                twin.renderAll(field.data(), field.count(), 64, RenderMode::Smooth);
                ASSERT_EQ(shown(canvas), shown(twin))
                    << c.w << "x" << c.h << " f " << c.f << ": point " << i << " at " << x << "," << y << " r " << r;
            }
        }
        twin.renderAll(field.data(), field.count(), 64, RenderMode::Smooth);
        ASSERT_EQ(shown(canvas), shown(twin));
        ASSERT_EQ(shown(twin), expected(twin, field, 64, RenderMode::Smooth));
    }
}

TEST_P(SharpRenderTest, RegionsRenderExactlyTheirOwnPixels)
{
    const Working working(53, 41, 5);
    SharpCanvas canvas;
    ASSERT_TRUE(canvas.loadEnlarged(working.view(), 3));
    const int32_t W = canvas.width(), H = canvas.height();
    const Field before = makeField(53, 41, 64 * 40, 6);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> coordinate(-40, std::max(W, H) + 40);
    for (int i = 0; i < 120; ++i) {
        const RenderMode mode = i % 2 ? RenderMode::Smooth : RenderMode::Fast;
        const int32_t scale = int32_t(rng() % 65);
        // Components beyond the 32-bit path's reach in some fields.
        const Field after = makeField(53, 41, 64 * 40, rng(), i % 3 == 0);
        canvas.renderAll(before.cells.data(), before.count(), scale, mode);
        std::vector<uint8_t> want = shown(canvas);
        const std::vector<uint8_t> whole = expected(canvas, after, scale, mode);
        Rect area{coordinate(rng), coordinate(rng), coordinate(rng), coordinate(rng)};
        // Widths just past the renderer's batches of 64, where its last
        // pixels must not spill over their neighbours.
        const int32_t widths[] = {1, 2, 3, 4, 65, 66, 67, 130};
        if (i < 8)
            area = Rect{7 + i, 3, 7 + i + widths[i], 9};
        if (i == 8)
            area = Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
        for (int32_t y = std::max(area.top, 0); y < std::min(area.bottom, H - 1); ++y)
            for (int32_t x = std::max(area.left, 0); x < std::min(area.right, W - 1); ++x)
                std::memcpy(&want[size_t(H - 1 - y) * canvas.stride() + 3 * size_t(x)],
                            pixel(whole.data(), canvas.stride(), H, x, y), 3);
        canvas.renderRegion(after.cells.data(), after.count(), scale, mode, area, unsigned(i % 4));
        ASSERT_EQ(shown(canvas), want) << "area " << area.left << "," << area.top << " .. " << area.right << ","
                                       << area.bottom;
    }
}

TEST_P(SharpRenderTest, ThreadsDoNotChangeTheResult)
{
    const Working working(354, 265, 8);
    for (int32_t f : {2, 3}) {
        SharpCanvas canvas;
        ASSERT_TRUE(canvas.loadEnlarged(working.view(), f));
        const Field field = makeField(354, 265, 64 * 200, uint32_t(f));
        for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast}) {
            canvas.renderAll(field.cells.data(), field.count(), 50, mode, 1);
            const std::vector<uint8_t> one = shown(canvas);
            ASSERT_EQ(one, expected(canvas, field, 50, mode));
            for (unsigned threads : {0u, 2u, 3u, 8u}) {
                canvas.renderAll(field.cells.data(), field.count(), 50, mode, threads);
                ASSERT_EQ(shown(canvas), one) << threads << " threads, f " << f;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, SharpRenderTest, testing::Values(Level::Portable, Level::Avx2), test::levelName);

TEST(SharpCanvasTest, EnlargedWorkingPictureRendersAsTheFullSizeRendererRendersItsSize)
{
    // At factor 1 the display is the full-size render of the working picture
    // itself; at f, of the working picture with every pixel made f x f.
    WorkingPicture picture(97, 61);
    ASSERT_EQ(picture.loadFromContainer("p.bmp", *test::randomPicture(97, 61, 9)), LoadResult::Ok);
    const Bitmap24View source = picture.sourceView();
    const Field field = makeField(97, 61, 64 * 30, 10);
    for (int32_t f = 1; f <= SharpCanvas::kMaxFactor; ++f) {
        SharpCanvas canvas;
        ASSERT_TRUE(canvas.loadEnlarged(source, f));
        ASSERT_EQ(canvas.width(), 97 * f);
        ASSERT_EQ(canvas.height(), 61 * f);
        WA blocks(WA_TYPE_24BIT, 97 * f, 61 * f);
        for (int32_t y = 0; y < 61 * f; ++y)
            for (int32_t x = 0; x < 97 * f; ++x) {
                const uint8_t* from = pixel(source.bits, source.stride, 61, x / f, y / f);
                std::memcpy(blocks.row(61 * f - 1 - y) + 3 * x, from, 3);
                ASSERT_EQ(std::memcmp(pixel(canvas.bits(), canvas.stride(), canvas.height(), x, y), from, 3), 0)
                    << "unwarped display at " << x << "," << y << ", f " << f;
            }
        FullSizeRenderer renderer;
        ASSERT_TRUE(renderer.load(blocks));
        renderer.render(field.cells.data(), 97, 61);
        canvas.renderAll(field.cells.data(), field.count(), 64, RenderMode::Smooth);
        const Bitmap24View want = renderer.outputView(), got = canvas.view();
        ASSERT_EQ(got.stride, want.stride);
        for (int32_t k = 0; k < got.height; ++k)
            ASSERT_EQ(std::memcmp(got.storedRow(k), want.storedRow(k), size_t(got.width) * 3), 0)
                << "stored row " << k << ", f " << f;
    }
}

TEST(SharpCanvasTest, ScaleZeroIsUnwarpedAndABakeChangesNothingOnScreen)
{
    SharpCanvas canvas;
    ASSERT_TRUE(canvas.load(*test::randomPicture(500, 400, 11), 120, 96, 2));
    const Field field = makeField(120, 96, 64 * 50, 12);
    for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast}) {
        canvas.renderAll(field.cells.data(), field.count(), 0, mode);
        EXPECT_EQ(shown(canvas), unwarped(canvas));
        for (int32_t scale : {1, 17, 40, 63}) {
            canvas.renderAll(field.cells.data(), field.count(), scale, mode);
            const std::vector<uint8_t> atScale = shown(canvas);
            Field baked = field;
            scaleField(baked.data(), baked.count(), scale);
            canvas.renderAll(baked.data(), baked.count(), 64, mode);
            ASSERT_EQ(shown(canvas), atScale) << "scale " << scale;
        }
    }
    // Whole-pixel moves look the same in both modes; half-pixel ones do not.
    const Field whole(120, 96, OffsetCell(64 * 3, -64 * 2));
    canvas.renderAll(whole.cells.data(), whole.count(), 64, RenderMode::Smooth);
    const std::vector<uint8_t> smooth = shown(canvas);
    canvas.renderAll(whole.cells.data(), whole.count(), 64, RenderMode::Fast);
    EXPECT_EQ(shown(canvas), smooth);
    const Field half(120, 96, OffsetCell(16, 16));
    canvas.renderAll(half.cells.data(), half.count(), 64, RenderMode::Smooth);
    const std::vector<uint8_t> mixed = shown(canvas);
    canvas.renderAll(half.cells.data(), half.count(), 64, RenderMode::Fast);
    EXPECT_NE(shown(canvas), mixed);
}

// A picture of one colour in the container's row order, with `paint` choosing
// some pixels' colours.
template <class Paint>
WAPtr paintedPicture(int32_t w, int32_t h, Paint paint)
{
    auto picture = std::make_shared<WA>(WA_TYPE_24BIT, w, h);
    for (int32_t k = 0; k < h; ++k)
        for (int32_t x = 0; x < w; ++x)
            paint(x, k, picture->row(k) + 3 * x);
    return picture;
}

TEST(SharpCanvasTest, LoadingResizesWithoutLosingColourDetailOrOrientation)
{
    // A plain colour stays exactly that colour, shrunk, grown or both.
    const auto plain = [](int32_t, int32_t, uint8_t* p) { p[0] = 10, p[1] = 200, p[2] = 77; };
    struct Size {
        int32_t pw, ph, w, h, f;
    };
    for (const Size s : {Size{4000, 3000, 354, 265, 2}, Size{100, 80, 354, 283, 3}, Size{700, 50, 354, 25, 2},
                         Size{3, 1000, 4, 354, 4}}) {
        SharpCanvas canvas;
        ASSERT_TRUE(canvas.load(*paintedPicture(s.pw, s.ph, plain), s.w, s.h, s.f));
        for (int32_t y = 0; y < canvas.height(); ++y)
            for (int32_t x = 0; x < canvas.width(); ++x) {
                const uint8_t* p = pixel(canvas.bits(), canvas.stride(), canvas.height(), x, y);
                ASSERT_TRUE(p[0] == 10 && p[1] == 200 && p[2] == 77) << s.pw << "x" << s.ph << " at " << x << "," << y;
            }
    }

    // A picture of the display's size is shown unchanged.
    const WAPtr exact = test::randomPicture(708, 530, 13);
    SharpCanvas canvas;
    ASSERT_TRUE(canvas.load(*exact, 354, 265, 2));
    for (int32_t k = 0; k < 530; ++k)
        ASSERT_EQ(std::memcmp(canvas.view().storedRow(k), exact->row(k), 708 * 3), 0) << "row " << k;

    // A checkerboard of single pixels shrinks to grey, not to a pattern of
    // whichever pixels a nearest choice hits.
    const auto checker = [](int32_t x, int32_t k, uint8_t* p) { p[0] = p[1] = p[2] = (x + k) % 2 ? 255 : 0; };
    ASSERT_TRUE(canvas.load(*paintedPicture(1500, 1500, checker), 354, 354, 2));
    for (int32_t y = 0; y < canvas.height(); ++y)
        for (int32_t x = 0; x < canvas.width(); ++x)
            ASSERT_NEAR(pixel(canvas.bits(), canvas.stride(), canvas.height(), x, y)[1], 128, 32) << x << "," << y;

    // Two pixels grow into a gradient, not into two blocks.
    const auto twoColumns = [](int32_t x, int32_t, uint8_t* p) { p[0] = p[1] = p[2] = x ? 255 : 0; };
    ASSERT_TRUE(canvas.load(*paintedPicture(2, 2, twoColumns), 354, 354, 2));
    std::set<int> levels;
    for (int32_t x = 0; x < canvas.width(); ++x) {
        const int v = pixel(canvas.bits(), canvas.stride(), canvas.height(), x, 300)[0];
        ASSERT_TRUE(levels.empty() || v >= *levels.rbegin()) << "column " << x;
        levels.insert(v);
    }
    EXPECT_EQ(*levels.begin(), 0);
    EXPECT_EQ(*levels.rbegin(), 255);
    EXPECT_GT(levels.size(), 200u);

    // The container's first row, the picture's bottom, stays at the bottom;
    // its first column stays on the left.
    const auto corner = [](int32_t x, int32_t k, uint8_t* p) {
        p[0] = k < 300 ? 255 : 0;
        p[2] = x < 400 ? 255 : 0;
    };
    ASSERT_TRUE(canvas.load(*paintedPicture(1200, 900, corner), 354, 265, 2));
    const Bitmap24View v = canvas.view();
    EXPECT_EQ(v.storedRow(0)[0], 255);              // bottom left
    EXPECT_EQ(v.storedRow(0)[2], 255);
    EXPECT_EQ(v.storedRow(v.height - 1)[0], 0);     // top right
    EXPECT_EQ(v.storedRow(v.height - 1)[3 * (v.width - 1) + 2], 0);
}

TEST(SharpCanvasTest, RefusesWhatItCannotShowAndIgnoresFieldsThatDoNotFit)
{
    SharpCanvas canvas;
    const WAPtr picture = test::randomPicture(64, 48, 14);
    EXPECT_FALSE(canvas.load(WA(WA_TYPE_8BIT, 64, 48), 32, 24, 2));
    for (int32_t f : {0, -1, SharpCanvas::kMaxFactor + 1, INT32_MIN})
        EXPECT_FALSE(canvas.load(*picture, 32, 24, f)) << f;
    EXPECT_FALSE(canvas.load(*picture, 1, 24, 2));
    EXPECT_FALSE(canvas.load(*picture, 32, 0, 2));
    EXPECT_FALSE(canvas.load(*picture, SharpCanvas::kMaxSide / 2 + 1, 24, 2));
    EXPECT_FALSE(canvas.loadEnlarged(Bitmap24View{}, 2));
    EXPECT_FALSE(canvas.isLoaded());
    EXPECT_EQ(canvas.bits(), nullptr);
    Field field(32, 24, OffsetCell(640, 640));
    canvas.renderAll(field.data(), field.count(), 64, RenderMode::Smooth); // nothing loaded: nothing happens
    EXPECT_TRUE(canvas.renderSquare(field.data(), field.count(), 5, 5, 8).isEmpty());

    // A failed load leaves nothing of the picture before it.
    ASSERT_TRUE(canvas.load(*picture, 32, 24, 2));
    EXPECT_FALSE(canvas.load(*picture, 32, 24, 9));
    EXPECT_FALSE(canvas.isLoaded());

    // A field of another size or none is not read.
    ASSERT_TRUE(canvas.load(*picture, 32, 24, 2));
    const std::vector<uint8_t> before = shown(canvas);
    canvas.renderAll(field.data(), field.count() - 1, 64, RenderMode::Smooth);
    canvas.renderAll(nullptr, field.count(), 64, RenderMode::Fast);
    canvas.renderRegion(field.data(), 0, 64, RenderMode::Smooth, Rect{0, 0, 64, 48});
    EXPECT_TRUE(canvas.renderSquare(field.data(), field.count() + 1, 10, 10, 8).isEmpty());
    EXPECT_EQ(shown(canvas), before);
}

TEST(SharpCanvasTest, TinyPicturesHugeFieldsAndFarStrokesStayInside)
{
    const int32_t far[] = {INT32_MIN, -100000, -1, 0, 1, 3, 100000, INT32_MAX};
    for (auto [w, h] : {std::pair{2, 2}, {4, 4}, {3, 5}, {2, 9}})
        for (int32_t f = 1; f <= SharpCanvas::kMaxFactor; ++f) {
            const Working working(w, h, uint32_t(w * 10 + h));
            SharpCanvas canvas;
            ASSERT_TRUE(canvas.loadEnlarged(working.view(), f));
            ASSERT_TRUE(canvas.load(*test::randomPicture(w * 3 + 1, h * 2 + 1, 15), w, h, f));
            const Field field = makeField(w, h, INT32_MAX, uint32_t(f), true);
            canvas.renderAll(field.cells.data(), field.count(), 64, RenderMode::Fast);
            for (int32_t x : far)
                for (int32_t y : far)
                    for (int32_t radius : {0, 1, 88, 1024, INT32_MAX, -7, INT32_MIN})
                        canvas.renderSquare(field.cells.data(), field.count(), x, y, radius);
            ASSERT_EQ(shown(canvas), expected(canvas, field, 64, RenderMode::Smooth)) << w << "x" << h << " f " << f;
        }
}

} // namespace
} // namespace knetix
