// Masks, Deformation scaling and the stroke patch: filling and write-back.

#include "engine/CMMask.h"
#include "engine/Stroke.h"
#include "engine/Tools.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

namespace knetix {
namespace {

using test::Field;

TEST(CMMaskTest, NewMaskIsIdentityAndCopyDuplicatesThumbnailButNotStaleness)
{
    CMMask empty;
    EXPECT_EQ(empty.cells(), nullptr);
    EXPECT_EQ(empty.cellCount(), 0);

    CMMask mask(7, 5);
    ASSERT_NE(mask.cells(), nullptr);
    ASSERT_EQ(mask.cellCount(), 35);
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(mask.cells()[i], OffsetCell(0, 0));

    mask.cells()[3] = OffsetCell(-9, 12);
    ThumbnailBitmap thumb;
    thumb.width = 2;
    thumb.height = 1;
    thumb.bytesPerRow = 8;
    thumb.bits = {1, 2, 3, 0, 4, 5, 6, 0};
    mask.setThumbnail(thumb);
    mask.setThumbnailStale(true);

    CMMask copy(mask);
    EXPECT_EQ(copy.cellCount(), 35);
    EXPECT_NE(copy.cells(), mask.cells());
    EXPECT_EQ(copy.cells()[3], OffsetCell(-9, 12));
    EXPECT_EQ(copy.thumbnail(), thumb);
    EXPECT_FALSE(copy.thumbnailStale());
    mask.cells()[3] = OffsetCell();
    EXPECT_EQ(copy.cells()[3], OffsetCell(-9, 12));
}

TEST(FieldScaleTest, TruncatesTowardZero)
{
    Field f(3, 1);
    f.at(0, 0) = {-3, 5};
    f.at(1, 0) = {100, -100};
    f.at(2, 0) = {63, -63};
    Field at64 = f;
    scaleField(at64.data(), at64.count(), 64);
    EXPECT_EQ(at64.cells, f.cells);

    Field half = f;
    scaleField(half.data(), half.count(), 32);
    EXPECT_EQ(half.at(0, 0), OffsetCell(-1, 2));
    EXPECT_EQ(half.at(1, 0), OffsetCell(50, -50));
    EXPECT_EQ(half.at(2, 0), OffsetCell(31, -31));

    Field zero = f;
    scaleField(zero.data(), zero.count(), 0);
    for (const auto& c : zero.cells)
        EXPECT_EQ(c, OffsetCell(0, 0));
}

TEST(StrokePatchTest, FillAveragesColumnsThenRowsTruncatingTowardZero)
{
    StrokePatch patch(2); // 5 x 5
    ASSERT_EQ(patch.count(), 25);
    patch.at(0, 0) = {-3, 0};
    patch.at(2, 0) = {0, 0};
    patch.at(0, 2) = {5, -7};
    patch.at(2, 2) = {8, 8};
    fillStrokePatch(patch);
    EXPECT_EQ(patch.at(1, 0), OffsetCell(-1, 0));  // (-3 + 0) / 2
    EXPECT_EQ(patch.at(1, 2), OffsetCell(6, 0));   // (5 + 8) / 2, (-7 + 8) / 2
    EXPECT_EQ(patch.at(3, 2), OffsetCell(4, 4));   // column 4 is empty: halved
    EXPECT_EQ(patch.at(0, 1), OffsetCell(1, -3));  // (5 + -3) / 2, (-7 + 0) / 2
    EXPECT_EQ(patch.at(1, 1), OffsetCell(2, 0));   // (6 + -1) / 2
    EXPECT_EQ(patch.at(0, 3), OffsetCell(2, -3));  // row 4 is empty
}

// Fills a patch with values that name their own cell, writes it back at (x, y)
// and checks which field cells took which values.
void checkWriteBack(int32_t W, int32_t H, int32_t x, int32_t y, int32_t r, int32_t c0,
                    int32_t c1, int32_t r0, int32_t r1)
{
    SCOPED_TRACE(testing::Message() << "stroke at " << x << "," << y);
    StrokePatch patch(r);
    for (int32_t j = 0; j < patch.side(); ++j)
        for (int32_t i = 0; i < patch.side(); ++i)
            patch.at(i, j) = OffsetCell(i + 1, j + 1);
    Field f(W, H, OffsetCell(-1, -1));
    writeBackStrokePatch(patch, f.data(), W, H, x, y);
    for (int32_t row = 0; row < H; ++row)
        for (int32_t col = 0; col < W; ++col) {
            const bool inside = col >= c0 && col <= c1 && row >= r0 && row <= r1;
            const OffsetCell want = inside ? OffsetCell(col - x + r + 1, row - y + r + 1) : OffsetCell(-1, -1);
            ASSERT_EQ(f.at(col, row), want) << "cell " << col << "," << row;
        }
}

TEST(StrokeWriteBackTest, ExactRangesAtEveryBorder)
{
    const int32_t W = 40, H = 30, r = 6;
    checkWriteBack(W, H, 20, 15, r, 14, 24, 9, 18);          // inside: x-r..x+r-2, y-r..y+r-3
    checkWriteBack(W, H, 2, 15, r, 0, 6, 9, 18);             // left border
    checkWriteBack(W, H, 37, 15, r, 31, W - 3, 9, 18);       // right: never beyond W - 3
    checkWriteBack(W, H, 20, 1, r, 14, 24, 0, 4);            // top border
    checkWriteBack(W, H, 20, 28, r, 14, 24, 22, H - 2);      // bottom: never beyond H - 2
    checkWriteBack(W, H, -6, 15, r, 1, 0, 1, 0);             // x + r <= 0: nothing
    checkWriteBack(W, H, 20, 50, r, 1, 0, 1, 0);             // below the picture: nothing
}

TEST(StrokeTest, StrokesNeverChangeTheLastTwoColumnsOrTheLastRow)
{
    const Rect picture{10, 20, 10 + 32, 20 + 24};
    Field f(32, 24);
    CMTool_Move tool(8);
    StrokePatch patch(8);
    // Drag along the bottom-right corner from several directions.
    for (auto [X, Y] : {std::pair{35, 38}, {40, 41}, {42, 44}, {45, 43}, {41, 39}})
        applyStroke(f.data(), f.count(), picture, tool, patch, X, Y);
    bool changed = false;
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            const bool protectedCell = x >= 30 || y == 23;
            if (protectedCell)
                ASSERT_EQ(f.at(x, y), OffsetCell()) << x << "," << y;
            else
                changed = changed || !(f.at(x, y) == OffsetCell());
        }
    EXPECT_TRUE(changed);
}

TEST(StrokeTest, StrokeOutsideThePictureRecordsThePointButChangesNothing)
{
    const Rect picture{0, 0, 50, 50};
    Field f = test::randomField(50, 50, 300, 1);
    const Field before = f;
    CMTool_ZoomIn tool(10);
    StrokePatch patch(10);
    applyStroke(f.data(), f.count(), picture, tool, patch, -10, 25); // x + r <= 0
    EXPECT_EQ(f.cells, before.cells);
    EXPECT_EQ(tool.lastX(), -10);
    applyStroke(f.data(), f.count(), picture, tool, patch, 2000000000, -2000000000);
    EXPECT_EQ(f.cells, before.cells);
}

TEST(StrokeTest, PatchFollowsTheToolRadiusAndAMismatchedFieldIsLeftAlone)
{
    const Rect picture{0, 0, 40, 40};
    Field f(40, 40);
    CMTool_ZoomOut tool(8);
    StrokePatch patch(3);
    applyStroke(f.data(), f.count(), picture, tool, patch, 20, 20);
    EXPECT_EQ(patch.radius(), 8);
    EXPECT_NE(f.at(22, 20), OffsetCell());

    Field other(40, 40);
    applyStroke(other.data(), other.count() - 1, picture, tool, patch, 20, 20);
    for (const auto& c : other.cells)
        ASSERT_EQ(c, OffsetCell());
}

} // namespace
} // namespace knetix
