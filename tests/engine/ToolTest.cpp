// Tool model and the seven tool algorithms, checked against values worked out
// by hand from the formulas.

#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "engine/Tools.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <climits>

namespace knetix {
namespace {

using test::Field;

TEST(ToolModelTest, ValueIsClampedAndReturnsThePreviousOne)
{
    CMTool_Move tool(10);
    EXPECT_EQ(tool.value(), 64);
    EXPECT_EQ(tool.setValue(100), 64);
    EXPECT_EQ(tool.value(), 64);
    EXPECT_EQ(tool.setValue(-5), 64);
    EXPECT_EQ(tool.value(), 0);
    EXPECT_EQ(tool.setValue(33), 0);
    EXPECT_EQ(tool.value(), 33);
}

TEST(ToolModelTest, ConstructionAndRadius)
{
    CMTool_Whirl dynamic; // as a project reader makes it
    EXPECT_EQ(dynamic.radius(), 20);
    EXPECT_EQ(dynamic.diameter(), 41);
    EXPECT_EQ(dynamic.radiusSquared(), 400);
    EXPECT_EQ(dynamic.lastX(), CMTool::kNoPoint);
    EXPECT_FALSE(dynamic.strokeActive());

    EXPECT_EQ(toolRadius(300, 200, kDivisorSmall), 12);
    EXPECT_EQ(toolRadius(300, 200, kDivisorMedium), 25);
    EXPECT_EQ(toolRadius(300, 200, kDivisorLarge), 50);
    EXPECT_EQ(toolRadius(300, 200, 0), 25); // a broken divisor setting counts as Medium
    EXPECT_EQ(toolRadius(300, 200, 5), 40);
}

TEST(ToolModelTest, RecordPointDirectionAndDistance)
{
    CMTool_Move tool(8);
    tool.recordPoint(0, 0, 100, 80);
    EXPECT_TRUE(tool.strokeActive());
    EXPECT_EQ(tool.movementDistance(), 2);
    EXPECT_EQ(tool.directionSine(), 0);
    EXPECT_EQ(tool.directionCosine(), 64);
    tool.recordPoint(0, 0, 100, 80);
    EXPECT_EQ(tool.movementDistance(), 2);
    EXPECT_EQ(tool.directionCosine(), 64);

    tool.recordPoint(10, 0, 100, 80);
    EXPECT_EQ(tool.directionSine(), 64);
    EXPECT_EQ(tool.directionCosine(), 0);
    EXPECT_EQ(tool.movementDistance(), 10);
    EXPECT_EQ(tool.pictureWidth(), 100);
    EXPECT_EQ(tool.pictureHeight(), 80);

    tool.recordPoint(7, -4, 100, 80); // (-3, -4): atan2(-3, -4)
    EXPECT_EQ(tool.movementDistance(), 5);
    EXPECT_EQ(tool.directionSine(), -38); // trunc(64 * -0.6)
    EXPECT_EQ(tool.directionCosine(), -51); // trunc(64 * -0.8)

    tool.recordPoint(7, 100000, 100, 80); // a jump far beyond any canvas
    EXPECT_EQ(tool.movementDistance(), CMTool::kMaxDistance);

    tool.reset();
    EXPECT_FALSE(tool.strokeActive());
    EXPECT_EQ(tool.lastX(), CMTool::kNoPoint);
    EXPECT_EQ(tool.lastY(), CMTool::kNoPoint);
}

TEST(ToolModelTest, FalloffRunsFrom64AtTheCentreToZeroAtTheRadius)
{
    CMTool_Move tool(8);
    EXPECT_EQ(tool.falloff(0, 0), 64);
    EXPECT_EQ(tool.falloff(2, 0), 56);  // e = 4: 60^2 / 64
    EXPECT_EQ(tool.falloff(4, 0), 36);  // e = 16
    EXPECT_EQ(tool.falloff(-4, 4), 16); // e = 32: 32^2 / 64
    EXPECT_EQ(tool.falloff(8, 0), 0);
    EXPECT_EQ(tool.falloff(6, 6), 0);
    EXPECT_EQ(CMTool_Move(0).falloff(0, 0), 0); // radius 0 divides by nothing
}

TEST(ToolFactoryTest, NamesIdsAndSizes)
{
    EXPECT_EQ(toolKindFromName("zoom"), ToolKind::Zoom);
    EXPECT_EQ(toolKindFromName("zoomin"), ToolKind::ZoomIn);
    EXPECT_EQ(toolKindFromName("move2"), std::nullopt); // the settings' default names no tool
    EXPECT_EQ(toolKindFromName("Move"), std::nullopt);  // case matters

    // Every kind round-trips through its names and class names.
    for (ToolKind kind : kToolKindsByNameOrder) {
        EXPECT_EQ(toolKindFromName(toolName(kind)), kind);
        auto tool = createTool(kind, 11);
        EXPECT_EQ(tool->kind(), kind);
        EXPECT_EQ(tool->radius(), 11);
        EXPECT_STREQ(tool->className(), toolClassName(kind));
        auto dynamic = createToolByClassName(toolClassName(kind));
        ASSERT_TRUE(dynamic);
        EXPECT_EQ(dynamic->kind(), kind);
        EXPECT_EQ(dynamic->radius(), 20);
    }
    EXPECT_EQ(createToolByClassName("CMTool_Bogus"), nullptr);
    EXPECT_EQ(createTool(ToolKind::Move, 1)->repeatsWhileHeld(), false);
    EXPECT_EQ(createTool(ToolKind::Zoom, 1)->repeatsWhileHeld(), false);
    EXPECT_EQ(createTool(ToolKind::Smooth, 1)->repeatsWhileHeld(), true);
}

// Runs one tool once at picture point (cx, cy) on a 40 x 40 field and returns
// the patch cell of picture point (cx + dx, cy + dy) as the tool computed it.
struct OnePoint {
    Field field{40, 40};
    StrokePatch patch{8};

    OffsetCell run(CMTool& tool, int32_t cx, int32_t cy, int32_t dx, int32_t dy)
    {
        tool.recordPoint(cx, cy, field.width, field.height);
        patch.clear();
        const int32_t r = tool.radius();
        tool.apply(field.data(), patch.cells(), Rect{0, 0, 40, 40}, Rect{cx - r, cy - r, cx + r, cy + r},
                   cx, cy);
        return patch.at(dx + r, dy + r);
    }
};

TEST(ToolAlgorithmTest, MoveAtRestPushesDownByTheFalloff)
{
    OnePoint p;
    CMTool_Move move(8);
    EXPECT_EQ(p.run(move, 20, 20, 0, 0), OffsetCell(0, -128)); // picture moves 2 pixels down
    move.reset();
    EXPECT_EQ(p.run(move, 20, 20, 2, 0), OffsetCell(0, -112));
    move.reset();
    EXPECT_EQ(p.run(move, 20, 20, 8, 0), OffsetCell(0, 0)); // g = 0 at the radius
    move.reset();
    move.setValue(32);
    EXPECT_EQ(p.run(move, 20, 20, 0, 0), OffsetCell(0, -64));
}

TEST(ToolAlgorithmTest, MoveFollowsTheMouse)
{
    OnePoint p;
    CMTool_Move move(8);
    move.recordPoint(16, 20, 40, 40);
    // Moving 4 pixels right: sn = 64, cs = 0, D = 4; at the centre w = 256.
    EXPECT_EQ(p.run(move, 20, 20, 0, 0), OffsetCell(-256, 0));
}

TEST(ToolAlgorithmTest, ZoomInAndOutSampleTowardsAndAwayFromTheCentre)
{
    OnePoint p;
    p.field = Field(40, 40, OffsetCell(5, -7));
    CMTool_ZoomIn in(8);
    EXPECT_EQ(p.run(in, 20, 20, 0, 0), OffsetCell(5, -7)); // the centre keeps its cell
    in.reset();
    // g = 56, k = 64 * 2 * 56 = 7168, ox = -(7168 * 2 / 4096) = -3
    EXPECT_EQ(p.run(in, 20, 20, 2, 0), OffsetCell(-3 + 5, -7));
    in.reset();
    EXPECT_EQ(p.run(in, 20, 20, 0, -2), OffsetCell(5, 3 - 7));

    CMTool_ZoomOut out(8);
    EXPECT_EQ(p.run(out, 20, 20, 2, 0), OffsetCell(3 + 5, -7));
}

TEST(ToolAlgorithmTest, UndoRemovesAnEighthAtTheCentre)
{
    OnePoint p;
    CMTool_Undo undo(8);
    EXPECT_EQ(p.run(undo, 20, 20, 0, 0), OffsetCell(0, 0));
    p.field = Field(40, 40, OffsetCell(640, -640));
    undo.reset();
    EXPECT_EQ(p.run(undo, 20, 20, 0, 0), OffsetCell(560, -560));

    // A whole stroke on the identity writes the identity everywhere.
    Field f(40, 40);
    StrokePatch patch(8);
    CMTool_Undo brush(8);
    for (int i = 0; i < 5; ++i)
        applyStroke(f.data(), f.count(), Rect{0, 0, 40, 40}, brush, patch, 3 + 7 * i, 37 - 8 * i);
    for (const auto& c : f.cells)
        ASSERT_EQ(c, OffsetCell());
}

TEST(ToolAlgorithmTest, WhirlTurnsByTheFalloff)
{
    OnePoint p;
    CMTool_Whirl whirl(8);
    whirl.setValue(32); // no turn, a slight shrink of about half a pixel per 64
    EXPECT_EQ(p.run(whirl, 20, 20, 4, 0), OffsetCell(2, 0));
    whirl.reset();
    EXPECT_EQ(p.run(whirl, 20, 20, -4, 0), OffsetCell(-1, 0));
    whirl.reset();
    EXPECT_EQ(p.run(whirl, 20, 20, 2, 0), OffsetCell(1, 0));
    whirl.reset();
    whirl.setValue(64); // theta = 36 * 32 / 1024 = 1.125
    EXPECT_EQ(p.run(whirl, 20, 20, 4, 0), OffsetCell(0, -3));
}

TEST(ToolAlgorithmTest, ZoomPushesAcrossTheMovement)
{
    OnePoint p;
    CMTool_Zoom hammer(8);
    // At rest: cs = 64, D = 2; at the centre w = 64, the second term is 128.
    EXPECT_EQ(p.run(hammer, 20, 20, 0, 0), OffsetCell(42, 0));
    hammer.reset();
    EXPECT_EQ(p.run(hammer, 20, 20, 4, 0), OffsetCell(24, 0));
}

TEST(ToolAlgorithmTest, SmoothAveragesTheRowsAboveAndKeepsTheBorder)
{
    OnePoint p;
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x)
            p.field.at(x, y) = OffsetCell(x + 100 * y, -(x + 100 * y));
    CMTool_Smooth iron(8);
    // Centre, f = 64: the mean of the cells one and three rows above and left and right.
    EXPECT_EQ(p.run(iron, 20, 20, 0, 0), OffsetCell(1920, -1920));
    iron.reset();
    // f = 56: (56 * 7688 + 32 * 2022) / 256 = 1934.5, truncated toward zero both ways.
    EXPECT_EQ(p.run(iron, 20, 20, 2, 0), OffsetCell(1934, -1934));
    iron.reset();
    // Computed points with x < 3 copy their cell.
    EXPECT_EQ(p.run(iron, 4, 20, -2, 0), p.field.at(2, 20));
    iron.reset();
    EXPECT_EQ(p.run(iron, 20, 38, 0, 0), p.field.at(20, 38)); // y > H - 4
}

TEST(ToolAlgorithmTest, RangeTestsLeaveBorderPointsEmpty)
{
    OnePoint p;
    p.field = Field(40, 40, OffsetCell(9, 9));
    CMTool_Move move(8);
    EXPECT_EQ(p.run(move, 0, 20, 0, 0), OffsetCell()); // Move skips column 0
    move.reset();
    EXPECT_EQ(p.run(move, 20, 0, 0, 0), OffsetCell()); // and row 0
    CMTool_ZoomIn in(8);
    EXPECT_EQ(p.run(in, 0, 20, 0, 0), OffsetCell()); // the others skip column 0 ...
    in.reset();
    // ... but compute row 0, where the clamp extrapolates from rows 1 and 2.
    EXPECT_EQ(p.run(in, 20, 0, 0, 0), OffsetCell(9, 9));
}

TEST(ResampleTest, ClampAndExtrapolateNearTheBorder)
{
    Field f(10, 10);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            f.at(x, y) = OffsetCell(100 * x, 0);
    // x = 1, ox = -200: floor gives -4, clamped to 0; fx = -200; weights 264 and -200.
    EXPECT_EQ(resampleField(f.data(), 10, 10, 1, 5, -200, 0), OffsetCell(-200 - 212, 0));
    // g = 0 somewhere inside: the old cell.
    EXPECT_EQ(resampleField(f.data(), 10, 10, 4, 4, 0, 0), OffsetCell(400, 0));
    // Half way between two columns.
    EXPECT_EQ(resampleField(f.data(), 10, 10, 4, 4, 32, 0), OffsetCell(32 + 450, 0));
    // Far beyond the field on every side: the reads stay inside.
    for (int32_t o : {INT32_MIN, -5000, 5000, INT32_MAX})
        for (auto [x, y] : {std::pair{1, 0}, {9, 9}, {1, 9}, {9, 0}})
            (void)resampleField(f.data(), 10, 10, x, y, o, -(o / 2));
}

} // namespace
} // namespace knetix
