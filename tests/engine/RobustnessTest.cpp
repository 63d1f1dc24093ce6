// Inputs at the edges of what the program can produce: tiny pictures, stroke
// points far away, fields holding huge offsets. Nothing may crash, read outside
// its buffers or overflow (the sanitizer build checks the last two).

#include "engine/Blend.h"
#include "engine/FullSizeRenderer.h"
#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "engine/Tools.h"
#include "engine/WorkingPicture.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace knetix {
namespace {

using test::Field;

Field extremeField(int32_t w, int32_t h)
{
    Field f(w, h);
    const int32_t values[] = {INT32_MAX, INT32_MIN, 0, -1, 1 << 30, -(1 << 30), 77};
    for (size_t i = 0; i < f.cells.size(); ++i)
        f.cells[i] = OffsetCell(values[i % 7], values[(i * 3 + 1) % 7]);
    return f;
}

const std::pair<int32_t, int32_t> kFarPoints[] = {
    {0, 0}, {1, 1}, {-1, -1}, {3, 2}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MIN},
    {INT32_MAX, 0}, {0, INT32_MIN}, {-100000, 50}, {50, 100000}};

void strokeEverywhere(Field& field, int32_t radius)
{
    const Rect picture{0, 0, field.width, field.height};
    for (ToolKind kind : kToolKindsByNameOrder) {
        auto tool = createTool(kind, radius);
        StrokePatch patch(radius);
        for (int32_t v : {0, 31, 64}) {
            tool->setValue(v);
            for (auto [X, Y] : kFarPoints)
                applyStroke(field.data(), field.count(), picture, *tool, patch, X, Y);
            tool->reset();
        }
    }
}

// A stroke writes back columns 0 .. W - 3 and rows 0 .. H - 2 at most: the last
// two columns and the last row keep their cells, and a field narrower than 3
// or lower than 2 takes nothing at all.
void expectOutsideWriteBackKept(const Field& after, const Field& before)
{
    for (int32_t y = 0; y < before.height; ++y)
        for (int32_t x = 0; x < before.width; ++x)
            if (x >= before.width - 2 || y >= before.height - 1) {
                ASSERT_EQ(after.at(x, y), before.at(x, y))
                    << before.width << " x " << before.height << " at " << x << ", " << y;
            }
}

TEST(RobustnessTest, TinyFieldsTakeStrokesAnywhere)
{
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {1, 5}, {5, 1}, {2, 3}, {3, 3}, {4, 4}})
        for (int32_t r : {0, 1, 2, 5}) {
            Field f = test::randomField(w, h, 200, uint32_t(w * 10 + h));
            const Field before = f;
            strokeEverywhere(f, r);
            expectOutsideWriteBackKept(f, before);
        }
}

bool huge(int32_t v)
{
    return v >= (1 << 30) || v <= -(1 << 30);
}

// Pixel (x, y) of a bottom-up 24-bit buffer as one number.
uint32_t rgbAt(const uint8_t* bits, int32_t stride, int32_t height, int32_t x, int32_t y)
{
    const uint8_t* p = test::pixel(bits, stride, height, x, y);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

TEST(RobustnessTest, HugeOffsetsSaturateInsteadOfOverflowing)
{
    Field f = extremeField(40, 30);
    const Field before = f;
    strokeEverywhere(f, 8);
    expectOutsideWriteBackKept(f, before);

    // Baking a Deformation scale: products beyond 32 bits stick at the limits,
    // the rest truncates toward zero.
    struct Scaled {
        int32_t value, scale, expected;
    };
    const Scaled scaled[] = {
        {INT32_MAX, 64, INT32_MAX},        {INT32_MIN, 64, INT32_MIN},       {INT32_MAX, 17, 570425343},
        {INT32_MIN, 17, -570425344},       {1 << 30, 17, 285212672},         {-1, 17, 0},
        {77, 17, 20},                      {INT32_MAX, 128, INT32_MAX},      {INT32_MIN, 128, INT32_MIN},
        {1 << 30, 128, INT32_MAX},         {-(1 << 30), 128, INT32_MIN},     {-1, 128, -2},
        {77, 128, 154},                    {INT32_MIN, -5, 167772160},       {INT32_MAX, INT32_MAX, INT32_MAX},
        {INT32_MIN, INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MIN, INT32_MAX}, {-1, INT32_MAX, -33554431},
    };
    for (const Scaled& s : scaled) {
        OffsetCell cell(s.value, s.value);
        scaleField(&cell, 1, s.scale);
        EXPECT_EQ(cell, OffsetCell(s.expected, s.expected)) << s.value << " at scale " << s.scale;
    }

    WorkingPicture wp(40, 30);
    ASSERT_EQ(wp.loadFromContainer("x", *test::randomPicture(40, 30, 3)), LoadResult::Ok);
    ASSERT_EQ(wp.width(), 40);
    ASSERT_EQ(wp.height(), 30);
    const std::vector<uint8_t> loaded = wp.pictureBlock();
    const uint8_t* shown = wp.displayedBits();
    const uint8_t* source = wp.sourceBits().data();
    const int32_t W = 40, H = 30, stride = wp.stride();
    Field g = extremeField(40, 30);
    wp.setField(g.data(), g.count());
    for (int32_t a : {0, 1, 63, 64, 1000, -5})
        for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast})
            wp.fullRender(a, mode);
    // At full scale a cell that points far off both ways shows the corner
    // pixel of the sampled area it points to.
    for (RenderMode mode : {RenderMode::Fast, RenderMode::Smooth}) {
        wp.fullRender(64, mode);
        for (int32_t y = 0; y <= H - 3; ++y)
            for (int32_t x = 0; x <= W - 2; ++x) {
                const OffsetCell c = g.at(x, y);
                if (huge(c.dx) && huge(c.dy)) {
                    ASSERT_EQ(rgbAt(shown, stride, H, x, y),
                              rgbAt(source, stride, H, c.dx > 0 ? W - 2 : 1, c.dy > 0 ? H - 2 : 1))
                        << x << ", " << y;
                }
            }
    }
    // The last column and the last two rows are never rendered.
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x)
            if (x == W - 1 || y >= H - 2) {
                ASSERT_EQ(rgbAt(shown, stride, H, x, y), rgbAt(loaded.data() + kDibHeaderSize, stride, H, x, y));
            }
    // A square render agrees with the full smooth render it repeats, and far
    // points touch nothing.
    const std::vector<uint8_t> full = wp.pictureBlock();
    for (auto [X, Y] : kFarPoints)
        wp.squareRender(X, Y, 8);
    EXPECT_EQ(wp.pictureBlock(), full);

    FullSizeRenderer renderer;
    ASSERT_TRUE(renderer.load(*test::randomPicture(97, 61, 4)));
    const std::vector<uint8_t> unwarped = renderer.output();
    renderer.render(g.data(), 40, 30);
    ASSERT_EQ(renderer.output().size(), unwarped.size());
    EXPECT_TRUE(std::equal(unwarped.begin(), unwarped.begin() + kDibHeaderSize, renderer.output().begin()));
    // A field pointing far down and right everywhere shows the corner pixel
    // everywhere it renders; the last column and row keep the picture.
    Field corner(40, 30, OffsetCell(INT32_MAX, INT32_MAX));
    renderer.render(corner.data(), 40, 30);
    const uint8_t* out = renderer.output().data() + kDibHeaderSize;
    const uint8_t* in = renderer.source().data();
    for (int32_t y = 0; y < 61; ++y)
        for (int32_t x = 0; x < 97; ++x) {
            const bool rendered = x <= 95 && y <= 59;
            ASSERT_EQ(rgbAt(out, renderer.stride(), 61, x, y),
                      rgbAt(in, renderer.stride(), 61, rendered ? 95 : x, rendered ? 59 : y))
                << x << ", " << y;
        }

    // Playback over keys at the limits: the damaged phase is clamped to 64,
    // so the first frame is key 1 itself; then steps of 16 (Speed clamped to
    // 64), key 2 at frame 5, key 0 again at frame 9. Blends stay exact.
    const OffsetCell values[] = {{INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {77, -1}};
    std::vector<std::unique_ptr<CMMask>> keys;
    for (const OffsetCell& v : values) {
        keys.push_back(std::make_unique<CMMask>(40, 30));
        std::fill_n(keys.back()->cells(), keys.back()->cellCount(), v);
    }
    CMMask blend(40, 30);
    PlaybackState state;
    state.phase = INT32_MAX;
    struct Frame {
        OffsetCell shown;
        int32_t phase, currentKey;
    };
    const Frame frames[] = {
        {{INT32_MIN, INT32_MAX}, 16, 1},   {{-1610612716, 1610612735}, 32, 1}, {{-1073741785, 1073741823}, 48, 1},
        {{-536870854, 536870911}, 64, 1},  {{77, -1}, 16, 2},                  {{536870969, -536870912}, 32, 2},
        {{1073741862, -1073741824}, 48, 2}, {{1610612754, -1610612736}, 64, 2}, {{INT32_MAX, INT32_MIN}, 16, 0},
        {{1073741823, -1073741824}, 32, 0},
    };
    for (int i = 0; i < 10; ++i) {
        const OffsetCell* cells = playbackStep(keys, blend, state, INT32_MAX - i);
        ASSERT_NE(cells, nullptr);
        EXPECT_EQ(cells[0], frames[i].shown) << "frame " << i + 1;
        EXPECT_EQ(cells[blend.cellCount() - 1], frames[i].shown) << "frame " << i + 1;
        EXPECT_EQ(state.phase, frames[i].phase) << "frame " << i + 1;
        EXPECT_EQ(state.currentKey, frames[i].currentKey) << "frame " << i + 1;
    }

    // A phase far outside 0..64: the products need more than 64 bits and
    // stick at the limits; a field blended with itself stays itself exactly.
    blendFields(keys[0]->cells(), keys[1]->cells(), blend.cells(), blend.cellCount(), INT32_MIN);
    EXPECT_EQ(blend.cells()[0], OffsetCell(INT32_MAX, INT32_MIN));
    blendFields(keys[1]->cells(), keys[0]->cells(), blend.cells(), blend.cellCount(), INT32_MAX);
    EXPECT_EQ(blend.cells()[0], OffsetCell(INT32_MAX, INT32_MIN));
    const OffsetCell mixed[] = {{1, 1}};
    const OffsetCell negated[] = {{-1, -1}};
    OffsetCell result[1];
    blendFields(mixed, negated, result, 1, INT32_MAX);
    EXPECT_EQ(result[0], OffsetCell(-67108862, -67108862));
    Field e = extremeField(40, 30);
    for (int32_t phase : {INT32_MIN, -1, 65, INT32_MAX}) {
        blendFields(e.data(), e.data(), blend.cells(), blend.cellCount(), phase);
        EXPECT_TRUE(std::equal(e.cells.begin(), e.cells.end(), blend.cells())) << phase;
    }
}

// Pictures under 2 pixels either way, or fields under 2 cells, cannot be
// rendered: the output stays the picture as read. Otherwise a render writes
// only rows 0 .. H - 2 and columns 0 .. W - 2, and far offsets take the edge.
TEST(RobustnessTest, TinyPicturesRenderAtOwnSize)
{
    auto sourceAt = [](const FullSizeRenderer& renderer, int32_t x, int32_t y) {
        return rgbAt(renderer.source().data(), renderer.stride(), renderer.height(), x, y);
    };
    auto outputAt = [](const FullSizeRenderer& renderer, int32_t x, int32_t y) {
        return rgbAt(renderer.output().data() + kDibHeaderSize, renderer.stride(), renderer.height(), x, y);
    };
    auto expectLastColumnAndRowKept = [&](const FullSizeRenderer& renderer) {
        const int32_t W = renderer.width(), H = renderer.height();
        for (int32_t y = 0; y < H; ++y)
            for (int32_t x = 0; x < W; ++x)
                if (x == W - 1 || y == H - 1) {
                    ASSERT_EQ(outputAt(renderer, x, y), sourceAt(renderer, x, y))
                        << W << " x " << H << " at " << x << ", " << y;
                }
    };
    auto unwarped = [](const FullSizeRenderer& renderer) {
        return renderer.output().size() == kDibHeaderSize + renderer.source().size() &&
               std::equal(renderer.source().begin(), renderer.source().end(),
                          renderer.output().begin() + kDibHeaderSize);
    };
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {1, 7}, {7, 1}, {3, 2}}) {
        FullSizeRenderer renderer;
        ASSERT_TRUE(renderer.load(*test::randomPicture(w, h, 5)));
        const std::vector<uint8_t> header(renderer.output().begin(), renderer.output().begin() + kDibHeaderSize);
        Field f = extremeField(4, 4);
        renderer.render(f.data(), 4, 4);
        EXPECT_TRUE(std::equal(header.begin(), header.end(), renderer.output().begin()));
        if (w < 2 || h < 2) {
            EXPECT_TRUE(unwarped(renderer)) << w << " x " << h;
        }
        expectLastColumnAndRowKept(renderer);
        Field small = extremeField(1, 1);
        renderer.render(small.data(), 1, 1);
        EXPECT_TRUE(unwarped(renderer)) << w << " x " << h;
        renderer.render(f.data(), 4, 4);
        renderer.render(nullptr, 4, 4);
        EXPECT_TRUE(unwarped(renderer)) << w << " x " << h;
    }
    // A picture larger than the field in one direction and smaller in the other.
    FullSizeRenderer renderer;
    ASSERT_TRUE(renderer.load(*test::randomPicture(500, 3, 6)));
    Field f = extremeField(354, 4);
    renderer.render(f.data(), 354, 4);
    EXPECT_FALSE(unwarped(renderer));
    expectLastColumnAndRowKept(renderer);
    Field farUp(354, 4, OffsetCell(INT32_MAX, INT32_MIN));
    renderer.render(farUp.data(), 354, 4);
    for (int32_t y = 0; y <= 1; ++y) {
        for (int32_t x = 0; x <= 498; ++x)
            ASSERT_EQ(outputAt(renderer, x, y), sourceAt(renderer, 498, 1)) << x << ", " << y;
    }
    expectLastColumnAndRowKept(renderer);
}

TEST(RobustnessTest, ExtremeToolStateFromAFileIsTamed)
{
    CMTool_Move tool;
    ToolRecord record;
    record.radius = INT32_MAX;
    record.lastX = INT32_MIN;
    record.lastY = INT32_MAX;
    record.pictureWidth = INT32_MIN;
    record.pictureHeight = INT32_MIN;
    tool.restore(record);
    EXPECT_EQ(tool.radius(), CMTool::kMaxRadius);
    tool.recordPoint(INT32_MAX, INT32_MIN, 10, 10);
    EXPECT_EQ(tool.movementDistance(), CMTool::kMaxDistance);
    tool.setRadius(-3);
    EXPECT_EQ(tool.radius(), 0);
    EXPECT_EQ(tool.diameter(), 1);
}

} // namespace
} // namespace knetix
