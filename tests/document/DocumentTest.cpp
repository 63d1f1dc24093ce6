#include "DocumentFixtures.h"

#include "engine/Tools.h"

#include <gtest/gtest.h>

namespace knetix {
namespace {

using test::activeField;
using test::gridPicture;

struct DocumentTest : ::testing::Test {
    Document doc;
    void SetUp() override { ASSERT_TRUE(doc.loadPicture("/pictures/grid.bmp", *gridPicture(200, 100))); }
};

TEST_F(DocumentTest, LoadingMakesTwoIdentityKeysAndResizesTheTool)
{
    EXPECT_EQ(doc.picture().pictureRect(), (Rect{0, 88, 354, 265}));
    ASSERT_EQ(doc.keys().count(), 2);
    EXPECT_EQ(doc.keys().activeKey(), 1);
    EXPECT_EQ(doc.picture().field(), doc.keys().activeCells());
    EXPECT_EQ(doc.picture().fieldCount(), 354 * 177);
    EXPECT_EQ(doc.tool(), nullptr);
    EXPECT_FALSE(doc.modified());

    doc.selectTool(ToolKind::Move);
    EXPECT_EQ(doc.tool()->radius(), 177 / 8);
    EXPECT_EQ(doc.toolBitmapId(), 162);
    EXPECT_EQ(doc.toolName(), "move");
    EXPECT_EQ(doc.strokePatch().count(), 45 * 45);

    doc.setPower(30);
    doc.selectSize(kDivisorMedium); // the size already chosen: nothing happens
    EXPECT_EQ(doc.tool()->value(), 30);
    doc.selectSize(kDivisorSmall); // another size recreates the tool at strength 64
    EXPECT_EQ(doc.tool()->value(), 64);
    EXPECT_EQ(doc.power(), 64);
    EXPECT_EQ(doc.tool()->radius(), 177 / 16);
    EXPECT_EQ(doc.toolBitmapId(), 161);

    ASSERT_TRUE(doc.loadPicture("/pictures/tall.bmp", *gridPicture(50, 100)));
    EXPECT_EQ(doc.tool()->radius(), 177 / 16); // 177 x 354 now
    EXPECT_EQ(doc.strokePatch().radius(), 177 / 16);
    EXPECT_EQ(doc.keys().cellCount(), 177 * 354);
}

TEST_F(DocumentTest, AFailedLoadChangesNothing)
{
    doc.selectTool(ToolKind::Smooth);
    const auto before = doc.picture().pictureBlock();
    EXPECT_FALSE(doc.loadPicture("/pictures/line.bmp", *gridPicture(1000, 2)));
    EXPECT_EQ(doc.picture().pictureBlock(), before);
    EXPECT_EQ(doc.keys().cellCount(), 354 * 177);
    EXPECT_FALSE(doc.openPicture("/nonexistent/knetix/picture.bmp"));
    EXPECT_EQ(doc.picture().pictureBlock(), before);
}

TEST_F(DocumentTest, OnlyRepeatingToolsActOnTimerTicks)
{
    for (ToolKind kind : kToolKindsByNameOrder) {
        Document d;
        ASSERT_TRUE(d.loadPicture("grid.bmp", *gridPicture(200, 100)));
        d.selectTool(kind);
        d.press(170, 170);
        d.move(175, 172);
        const auto afterMove = activeField(d);
        for (int i = 0; i < 5; ++i)
            d.tick();
        const bool changed = activeField(d) != afterMove;
        const bool repeats = kind != ToolKind::Move && kind != ToolKind::Zoom;
        EXPECT_EQ(d.strokeTimerActive(), repeats) << toolName(kind);
        // Undo and Smooth have nothing to act on in a field that one move made.
        if (kind != ToolKind::Undo && kind != ToolKind::Smooth) {
            EXPECT_EQ(changed, repeats) << toolName(kind);
        }
        d.release();
        EXPECT_FALSE(d.strokeTimerActive());
        const auto afterRelease = activeField(d);
        d.tick();
        d.move(180, 180);
        EXPECT_EQ(activeField(d), afterRelease) << toolName(kind);
    }
}

TEST_F(DocumentTest, StrokesNeedATool)
{
    doc.press(170, 170);
    doc.move(180, 180);
    EXPECT_FALSE(doc.buttonHeld());
    EXPECT_EQ(activeField(doc), std::vector<OffsetCell>(size_t(354 * 177)));
    EXPECT_FALSE(doc.modified());
    doc.selectTool(ToolKind::Move);
    doc.press(170, 170);
    doc.move(180, 180);
    EXPECT_TRUE(doc.modified());
    EXPECT_NE(activeField(doc), std::vector<OffsetCell>(size_t(354 * 177)));
}

TEST_F(DocumentTest, PressBakesTheDeformationPosition)
{
    doc.keys().activeCells()[10] = OffsetCell(-3, 5);
    doc.setDeformation(32);
    EXPECT_EQ(doc.keys().activeCells()[10], OffsetCell(-3, 5)); // shown, not baked
    doc.selectTool(ToolKind::Move);
    doc.press(0, 0); // far from cell 10's tool square only matters for the move
    EXPECT_EQ(doc.keys().activeCells()[10], OffsetCell(-1, 2));
    EXPECT_EQ(doc.deformation(), 64);
    doc.release();
}

TEST_F(DocumentTest, KeyCommandsFollowTheMenuAndShowTheActiveKey)
{
    doc.selectTool(ToolKind::ZoomIn);
    doc.press(170, 170);
    doc.tick();
    doc.release();
    // What the canvas shows now is what key 1's thumbnail must show once
    // another key is active.
    ThumbnailBitmap expected;
    const Size thumb = doc.keys().thumbnail();
    doc.picture().drawThumbnail(expected, thumb.width, thumb.height);

    ASSERT_TRUE(doc.openKeyMenu(1));
    EXPECT_FALSE(doc.runKeyCommand(KeyCommand::Activate)); // already active
    EXPECT_FALSE(doc.runKeyCommand(KeyCommand::Delete));   // only two keys
    ASSERT_TRUE(doc.openKeyMenu(0));
    doc.setSpeed(10);
    ASSERT_TRUE(doc.runKeyCommand(KeyCommand::Activate));
    EXPECT_EQ(doc.keys().activeKey(), 0);
    EXPECT_EQ(doc.picture().field(), doc.keys().key(0).cells());
    EXPECT_EQ(doc.speed(), 64);
    EXPECT_EQ(doc.keys().key(1).thumbnail(), expected);
    EXPECT_FALSE(doc.keys().key(1).thumbnailStale());

    // The displayed picture is key 0's: the untouched picture.
    Document fresh;
    ASSERT_TRUE(fresh.loadPicture("grid.bmp", *gridPicture(200, 100)));
    fresh.picture().fullRender(64, RenderMode::Smooth);
    EXPECT_EQ(doc.picture().pictureBlock(), fresh.picture().pictureBlock());

    EXPECT_FALSE(doc.openKeyMenu(3));
    ASSERT_TRUE(doc.openKeyMenu(2));
    ASSERT_TRUE(doc.runKeyCommand(KeyCommand::Activate)); // appends a copy of key 0
    EXPECT_EQ(doc.keys().count(), 3);
    ASSERT_TRUE(doc.openKeyMenu(1));
    ASSERT_TRUE(doc.runKeyCommand(KeyCommand::CopyToWindow));
    EXPECT_EQ(activeField(doc), std::vector<OffsetCell>(doc.keys().key(1).cells(),
                                                        doc.keys().key(1).cells() + doc.keys().cellCount()));
    EXPECT_EQ(doc.picture().field(), doc.keys().activeCells());
    ASSERT_TRUE(doc.openKeyMenu(2));
    ASSERT_TRUE(doc.runKeyCommand(KeyCommand::Delete)); // the active key itself
    EXPECT_EQ(doc.keys().count(), 2);
    EXPECT_EQ(doc.keys().activeKey(), 1);
    EXPECT_EQ(doc.picture().field(), doc.keys().activeCells());
}

TEST_F(DocumentTest, PlaybackShowsBlendsAndStopShowsTheActiveKeyAgain)
{
    Document empty;
    EXPECT_FALSE(empty.startPlayback());

    doc.selectTool(ToolKind::Whirl);
    doc.press(170, 170);
    doc.tick();
    doc.release();
    doc.picture().fullRender(64, RenderMode::Smooth);
    const auto shown = doc.picture().pictureBlock();
    ASSERT_TRUE(doc.startPlayback());
    ASSERT_TRUE(doc.playbackFrame()); // phase 0: key 0
    EXPECT_EQ(doc.picture().field(), doc.keys().blend()->cells());
    EXPECT_NE(doc.picture().pictureBlock(), shown);
    EXPECT_FALSE(doc.keys().key(1).thumbnailStale()); // blends do not touch thumbnails
    doc.stopPlayback();
    EXPECT_EQ(doc.picture().field(), doc.keys().activeCells());
    EXPECT_EQ(doc.picture().pictureBlock(), shown);
}

} // namespace
} // namespace knetix
