// Undo and redo: random scripts of strokes, Key commands and Deformation
// bakes are undone back to the saved project and redone to the end, byte for
// byte; interleaved undo, redo and new steps follow a plain model of the
// history; the memory cap, the saved mark and batch mode's commands.

#include "document/AreaRecorder.h"
#include "document/Batch.h"
#include "document/ProjectFile.h"
#include "tests/document/DocumentFixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace knetix {
namespace {

using test::gridPicture;

// The project as it would be saved, without the tool record and the stroke
// patch with its bitmap id (tool choices are no steps), thumbnails brought up
// to date first.
std::vector<uint8_t> projectBytes(Document& doc)
{
    doc.refreshThumbnails();
    const StrokePatch noPatch;
    return encodeProject({doc.picture(), noPatch, doc.keys(), nullptr, 0}, "/pictures/");
}

constexpr ToolKind kKinds[] = {ToolKind::Whirl, ToolKind::Move,   ToolKind::Zoom, ToolKind::ZoomOut,
                               ToolKind::Smooth, ToolKind::ZoomIn, ToolKind::Undo};
constexpr int32_t kDivisors[] = {kDivisorSmall, kDivisorMedium, kDivisorLarge};

// One random step: a stroke, or a Key command the menu offers; sometimes with
// a Deformation position for it to bake first.
struct Scripter {
    Document& doc;
    std::mt19937 random;

    int32_t pick(int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(random); }

    void stroke()
    {
        doc.selectSize(kDivisors[pick(0, 2)]);
        doc.selectTool(kKinds[pick(0, 6)]);
        int32_t x = pick(-20, 370), y = pick(60, 300);
        doc.press(x, y);
        for (int32_t i = pick(0, 5); i > 0; --i) {
            x += pick(-30, 30);
            y += pick(-30, 30);
            doc.move(x, y);
            for (int32_t t = pick(0, 2); t > 0; --t)
                doc.tick();
        }
        doc.release();
    }

    bool keyCommand()
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int32_t r = pick(0, doc.keys().count());
            const KeyCommand command = kKeyMenuOrder[pick(0, 6)];
            if (doc.keys().offers(command, r) && doc.openKeyMenu(r) && doc.runKeyCommand(command))
                return true;
        }
        return false;
    }

    // Makes one step (true), or none when a stroke missed the picture.
    bool step()
    {
        const size_t before = doc.history().undoableSteps();
        if (pick(0, 3) == 0)
            doc.setDeformation(pick(0, 63));
        // A Deformation position is always baked by the step after it.
        if (pick(0, 2) != 0 || !keyCommand())
            stroke();
        return doc.history().undoableSteps() != before;
    }
};

struct HistoryTest : ::testing::Test {
    test::TempFolder folder{test::currentTestName()};
    Document doc;
    void SetUp() override { ASSERT_TRUE(doc.loadPicture("/pictures/grid.bmp", *gridPicture(200, 130))); }
};

TEST_F(HistoryTest, UndoAllGivesTheSavedProjectAndRedoAllTheLastOne)
{
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        ASSERT_TRUE(doc.loadPicture("/pictures/grid.bmp", *gridPicture(200, 130)));
        Scripter script{doc, std::mt19937(seed)};
        // Some work before the save, so the start is not a fresh picture.
        for (int i = 0; i < 3; ++i)
            script.step();
        ASSERT_TRUE(doc.saveProject(folder / "start.knx"));
        const auto start = projectBytes(doc);
        const size_t before = doc.history().undoableSteps();
        int steps = 0;
        for (int i = 0; i < 25; ++i)
            steps += script.step() ? 1 : 0;
        EXPECT_TRUE(doc.modified() || steps == 0);
        const auto end = projectBytes(doc);

        for (int i = 0; i < steps; ++i)
            ASSERT_TRUE(doc.undo()) << "seed " << seed << " step " << i;
        EXPECT_EQ(doc.history().undoableSteps(), before);
        EXPECT_FALSE(doc.modified()) << "seed " << seed;
        EXPECT_EQ(doc.deformation(), Document::kSliderMax);
        ASSERT_TRUE(projectBytes(doc) == start) << "seed " << seed;

        for (int i = 0; i < steps; ++i)
            ASSERT_TRUE(doc.redo()) << "seed " << seed << " step " << i;
        EXPECT_FALSE(doc.redo());
        EXPECT_TRUE(doc.modified() || steps == 0);
        ASSERT_TRUE(projectBytes(doc) == end) << "seed " << seed;
    }
}

TEST_F(HistoryTest, InterleavedUndoRedoAndNewStepsFollowALinearHistory)
{
    for (uint32_t seed = 100; seed < 106; ++seed) {
        ASSERT_TRUE(doc.loadPicture("/pictures/grid.bmp", *gridPicture(200, 130)));
        Scripter script{doc, std::mt19937(seed)};
        // The model: the project after each step, and where we stand.
        std::vector<std::vector<uint8_t>> states{projectBytes(doc)};
        size_t at = 0;
        for (int op = 0; op < 60; ++op) {
            const int32_t what = script.pick(0, 9);
            if (what < 4) {
                ASSERT_EQ(doc.undo(), at > 0);
                at -= at > 0 ? 1 : 0;
            } else if (what < 6) {
                ASSERT_EQ(doc.redo(), at + 1 < states.size());
                at += at + 1 < states.size() ? 1 : 0;
            } else if (script.step()) {
                states.resize(at + 1); // the redo branch ends
                states.push_back(projectBytes(doc));
                ++at;
            } else {
                continue; // a stroke that changed nothing is no step
            }
            ASSERT_TRUE(projectBytes(doc) == states[at]) << "seed " << seed << " op " << op;
            EXPECT_EQ(doc.canUndo(), at > 0);
            EXPECT_EQ(doc.canRedo(), at + 1 < states.size());
            EXPECT_EQ(doc.modified(), at != 0) << "seed " << seed << " op " << op;
        }
    }
}

TEST_F(HistoryTest, AnUnbakedDeformationIsPutBackBeforeUndoing)
{
    doc.selectTool(ToolKind::Whirl);
    const auto fresh = projectBytes(doc);
    doc.press(170, 170);
    doc.move(175, 175);
    doc.release();
    const auto stroked = projectBytes(doc);
    doc.setDeformation(20);
    ASSERT_NE(projectBytes(doc), stroked);
    // The position is no step: undo drops it and undoes the stroke.
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(doc.deformation(), Document::kSliderMax);
    EXPECT_TRUE(projectBytes(doc) == fresh);
    EXPECT_FALSE(doc.undo());
    // A baked position belongs to the stroke that baked it.
    ASSERT_TRUE(doc.redo());
    EXPECT_TRUE(projectBytes(doc) == stroked);
    doc.setDeformation(20);
    doc.press(100, 150);
    doc.move(110, 150);
    doc.release();
    // Undoing that stroke takes the slider move back with it.
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(doc.deformation(), Document::kSliderMax);
    EXPECT_TRUE(projectBytes(doc) == stroked);
    ASSERT_TRUE(doc.redo());
    ASSERT_TRUE(doc.undo());
    ASSERT_TRUE(doc.undo());
    EXPECT_TRUE(projectBytes(doc) == fresh);
}

// At an interface scale of 2 the canvas keeps a sharp display; whatever
// changes the shown picture (strokes, slider, Key commands, undo and redo,
// which put bytes back instead of rendering) must change it alike.
TEST_F(HistoryTest, TheSharpDisplayFollowsEveryStepUndoAndRedo)
{
    const auto picture = gridPicture(200, 130);
    doc.setDisplayFactor(2);
    ASSERT_TRUE(doc.loadPicture("/pictures/grid.bmp", *picture));
    SharpCanvas reference;
    ASSERT_TRUE(reference.load(*picture, doc.picture().width(), doc.picture().height(), 2));
    auto sameAsAFreshRender = [&] {
        const WorkingPicture& shown = doc.picture();
        reference.renderAll(shown.field(), shown.fieldCount(), doc.deformation(), RenderMode::Smooth);
        const SharpCanvas& sharp = shown.sharp();
        const size_t bytes = size_t(reference.stride()) * size_t(reference.height());
        return sharp.isLoaded() && sharp.width() == reference.width() &&
               std::equal(sharp.bits(), sharp.bits() + bytes, reference.bits());
    };
    EXPECT_TRUE(sameAsAFreshRender());
    Scripter script{doc, std::mt19937(11)};
    for (int i = 0; i < 14; ++i) {
        script.step();
        EXPECT_TRUE(sameAsAFreshRender()) << "step " << i;
    }
    for (int i = 0; doc.undo(); ++i)
        EXPECT_TRUE(sameAsAFreshRender()) << "undo " << i;
    for (int i = 0; doc.redo(); ++i)
        EXPECT_TRUE(sameAsAFreshRender()) << "redo " << i;
    // Back to factor 1: nothing sharp is kept.
    doc.setDisplayFactor(1);
    EXPECT_FALSE(doc.picture().sharp().isLoaded());
}

TEST_F(HistoryTest, OpeningStartsANewHistoryAndSavingMovesTheMark)
{
    doc.selectTool(ToolKind::Move);
    doc.press(170, 170);
    doc.move(180, 170);
    doc.release();
    EXPECT_TRUE(doc.modified());
    const std::string project = folder / "p.knx";
    ASSERT_TRUE(doc.saveProject(project));
    EXPECT_FALSE(doc.modified());
    ASSERT_TRUE(doc.undo());
    EXPECT_TRUE(doc.modified()); // moved away from the save
    ASSERT_TRUE(doc.redo());
    EXPECT_FALSE(doc.modified());
    ASSERT_TRUE(doc.undo());
    // A new step ends the redo branch, and the saved state with it.
    doc.press(100, 170);
    doc.move(100, 180);
    doc.release();
    EXPECT_FALSE(doc.canRedo());
    ASSERT_TRUE(doc.undo());
    EXPECT_TRUE(doc.modified());

    ASSERT_TRUE(doc.openProject(project));
    EXPECT_FALSE(doc.canUndo());
    EXPECT_FALSE(doc.canRedo());
    EXPECT_FALSE(doc.undo());
    EXPECT_FALSE(doc.modified());
}

TEST_F(HistoryTest, TheMemoryCapDropsTheOldestSteps)
{
    doc.selectSize(kDivisorLarge);
    doc.selectTool(ToolKind::Whirl);
    auto stroke = [&](int i) {
        doc.press(120 + i % 50, 170);
        doc.move(130 + i % 50, 175);
        doc.release();
    };
    stroke(0);
    const size_t oneStroke = doc.history().bytes();
    ASSERT_GT(oneStroke, 0u);
    doc.setHistoryLimit(oneStroke * 5 / 2);
    for (int i = 1; i < 10; ++i)
        stroke(i);
    EXPECT_LE(doc.history().bytes(), oneStroke * 5 / 2 + oneStroke / 2);
    EXPECT_GE(doc.history().steps(), 1u);
    EXPECT_LE(doc.history().steps(), 3u);
    size_t undone = 0;
    while (doc.undo())
        ++undone;
    EXPECT_EQ(undone, doc.history().steps());
    EXPECT_TRUE(doc.modified()); // the opened state is out of reach
    doc.setHistoryLimit(0);
    EXPECT_EQ(doc.history().steps(), 0u);
}

TEST_F(HistoryTest, KeyCommandsMoveTheirMasksInsteadOfCopying)
{
    ASSERT_TRUE(doc.openKeyMenu(0));
    ASSERT_TRUE(doc.runKeyCommand(KeyCommand::Delete) == false); // two keys: no delete
    ASSERT_TRUE(doc.openKeyMenu(2));
    ASSERT_TRUE(doc.runKeyCommand(KeyCommand::Activate)); // append a copy of key 1
    ASSERT_TRUE(doc.openKeyMenu(0));
    const CMMask* first = &doc.keys().key(0);
    ASSERT_TRUE(doc.runKeyCommand(KeyCommand::Delete));
    EXPECT_EQ(doc.keys().count(), 2);
    ASSERT_TRUE(doc.undo());
    ASSERT_EQ(doc.keys().count(), 3);
    EXPECT_EQ(&doc.keys().key(0), first); // the same mask came back
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(doc.keys().count(), 2);
    EXPECT_EQ(doc.keys().activeKey(), 1);
    EXPECT_FALSE(doc.modified());
}

TEST(AreaRecorderTest, KeepsOnlyTheRectangleThatChanged)
{
    std::vector<OffsetCell> field(100 * 70);
    const Grid grid{reinterpret_cast<uint8_t*>(field.data()), 100 * 8, 100, 70, 8};
    AreaRecorder recorder(grid);
    recorder.keep(-10, -10, 60, 50);
    recorder.keep(40, 30, 200, 200); // overlaps what was kept: the first copy counts
    field[size_t(5 * 100 + 7)] = {1, 2};
    field[size_t(65 * 100 + 90)] = {3, 4};
    const AreaChange change = recorder.finish();
    EXPECT_EQ(change.rect, (Rect{7, 5, 91, 66}));
    EXPECT_EQ(change.before.size(), size_t(84 * 61 * 8));
    change.restore(grid, false);
    EXPECT_EQ(field, std::vector<OffsetCell>(100 * 70));
    change.restore(grid, true);
    EXPECT_EQ(field[size_t(65 * 100 + 90)], (OffsetCell{3, 4}));
    EXPECT_TRUE(AreaRecorder(grid).finish().empty());
}

TEST(BatchHistoryTest, UndoAndRedoTakeACount)
{
    BatchRunner runner;
    std::istringstream script("canvas 120 90\n"
                              "tool whirl large\n"
                              "press 60 45\nmove 62 47\nrelease\n"
                              "press 30 40\nmove 32 42\nrelease\n"
                              "undo 5\n"      // more than there is: stops at the start
                              "redo\n"
                              "redo 1\n"
                              "undo\n");
    const auto failure = runner.run(script);
    ASSERT_FALSE(failure.has_value()) << int(failure->problem);
    // No picture in a bare canvas: no step was made.
    EXPECT_FALSE(runner.document()->canUndo());

    std::istringstream bad("undo x\n");
    BatchRunner second;
    const auto refused = second.run(bad);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->problem, BatchProblem::BadNumber);
}

} // namespace
} // namespace knetix
