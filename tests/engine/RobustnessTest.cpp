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

TEST(RobustnessTest, TinyFieldsTakeStrokesAnywhere)
{
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {1, 5}, {5, 1}, {2, 3}, {3, 3}, {4, 4}})
        for (int32_t r : {0, 1, 2, 5}) {
            Field f = test::randomField(w, h, 200, uint32_t(w * 10 + h));
            strokeEverywhere(f, r);
        }
}

TEST(RobustnessTest, HugeOffsetsSaturateInsteadOfOverflowing)
{
    Field f = extremeField(40, 30);
    strokeEverywhere(f, 8);
    scaleField(f.data(), f.count(), 64);
    scaleField(f.data(), f.count(), 17);

    WorkingPicture wp(40, 30);
    ASSERT_EQ(wp.loadFromContainer("x", *test::randomPicture(40, 30, 3)), LoadResult::Ok);
    Field g = extremeField(40, 30);
    wp.setField(g.data(), g.count());
    for (int32_t a : {0, 1, 63, 64, 1000, -5})
        for (RenderMode mode : {RenderMode::Smooth, RenderMode::Fast})
            wp.fullRender(a, mode);
    for (auto [X, Y] : kFarPoints)
        wp.squareRender(X, Y, 8);

    FullSizeRenderer renderer;
    ASSERT_TRUE(renderer.load(*test::randomPicture(97, 61, 4)));
    renderer.render(g.data(), 40, 30);

    std::vector<std::unique_ptr<CMMask>> keys;
    for (int i = 0; i < 3; ++i) {
        keys.push_back(std::make_unique<CMMask>(40, 30));
        Field e = extremeField(40, 30);
        std::copy(e.cells.begin(), e.cells.end(), keys.back()->cells());
    }
    CMMask blend(40, 30);
    PlaybackState state;
    state.phase = INT32_MAX;
    for (int i = 0; i < 10; ++i)
        ASSERT_NE(playbackStep(keys, blend, state, INT32_MAX - i), nullptr);
    blendFields(keys[0]->cells(), keys[1]->cells(), blend.cells(), blend.cellCount(), INT32_MIN);
}

TEST(RobustnessTest, TinyPicturesRenderAtOwnSize)
{
    for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {1, 7}, {7, 1}, {3, 2}}) {
        FullSizeRenderer renderer;
        ASSERT_TRUE(renderer.load(*test::randomPicture(w, h, 5)));
        Field f = extremeField(4, 4);
        renderer.render(f.data(), 4, 4);
        Field small = extremeField(1, 1);
        renderer.render(small.data(), 1, 1);
        renderer.render(nullptr, 4, 4);
    }
    // A picture larger than the field in one direction and smaller in the other.
    FullSizeRenderer renderer;
    ASSERT_TRUE(renderer.load(*test::randomPicture(500, 3, 6)));
    Field f = extremeField(354, 4);
    renderer.render(f.data(), 354, 4);
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
