// The window-free arithmetic of the skin controls.

#include "SkinTest.h"

#include "skin/model/ButtonModels.h"
#include "skin/model/PanelModels.h"
#include "skin/model/ScrollModel.h"
#include "skin/model/SliderModel.h"

#include <QTest>

#include <utility>
#include <vector>

using namespace knetix::skin;

namespace {

using Step = std::pair<int, int>; // level, frame

std::vector<Step> run(ToolDisplaySequence& seq, int top, int ticks)
{
    std::vector<Step> shown;
    for (int i = 0; i < ticks; ++i) {
        shown.push_back({seq.level(), seq.frame()});
        seq.tick(top);
    }
    return shown;
}

} // namespace

class ModelTest : public QObject {
    Q_OBJECT
private slots:
    void sliderStepsAreThreePixels()
    {
        SliderModel s;
        s.setTrack(70, 265);
        QVERIFY(s.setRange(0, 64));
        for (int v = 0; v <= 64; ++v) {
            QCOMPARE(s.leftFromValue(v), 70 + 3 * v);
            QCOMPARE(s.valueFromLeft(70 + 3 * v), v);
        }
        // Between two steps the nearer one wins.
        QCOMPARE(s.valueFromLeft(71), 0);
        QCOMPARE(s.valueFromLeft(72), 1);
        // The last three pixels of the track and beyond give the maximum.
        QCOMPARE(s.valueFromLeft(264), 64);
        QCOMPARE(s.valueFromLeft(265), 64);
        QCOMPARE(s.dragTo(400), 265);
        QCOMPARE(s.value(), 64);
        QCOMPARE(s.dragTo(-5), 70);
        QCOMPARE(s.value(), 0);
    }

    void sliderSetValueClampsWithoutMoving()
    {
        SliderModel s;
        s.setTrack(70, 265);
        s.setRange(0, 64);
        QCOMPARE(s.setValue(10), std::optional<int32_t>(100));
        QCOMPARE(s.setValue(70), std::nullopt);
        QCOMPARE(s.value(), 64);
        QCOMPARE(s.setValue(-3), std::nullopt);
        QCOMPARE(s.value(), 0);
    }

    void sliderRejectsBadRanges()
    {
        SliderModel s;
        s.setTrack(70, 265);
        QVERIFY(s.setRange(5, 20));
        QVERIFY(!s.setRange(-1, 20));
        QVERIFY(!s.setRange(10, 9));
        QCOMPARE(s.minimum(), 5);
        QCOMPARE(s.maximum(), 20);
        // A track without length cannot divide by zero: everything is the maximum.
        s.setTrack(100, 100);
        QCOMPARE(s.valueFromLeft(100), 20);
        QCOMPARE(s.dragTo(50), 100);
    }

    void scrollEmptyRangeDisables()
    {
        ScrollModel m;
        m.setTrackLength(143);
        m.setRange(-7, 10);
        QCOMPARE(m.maximum(), 0);
        QVERIFY(!m.enabled());
        QCOMPARE(m.pixelsPerUnit(), 0.0);
        QVERIFY(!m.pageDown());
        m.beginDrag(0);
        QVERIFY(m.drag(20)); // the pointer moved, but there is nothing to scroll
        QCOMPARE(m.position(), 0);
    }

    void scrollPageDownStopsAtMaximum()
    {
        ScrollModel m;
        m.setTrackLength(143);
        m.setRange(95, 40);
        QVERIFY(m.pageDown());
        QCOMPARE(m.position(), 40);
        QCOMPARE(m.thumbPixel(), int(40 * 143.0 / 95));
        QVERIFY(m.pageDown());
        QVERIFY(m.pageDown()); // 120 would pass 95
        QCOMPARE(m.position(), 95);
        QCOMPARE(m.snappedThumb(), 143);
        QVERIFY(!m.pageDown());
        QVERIFY(m.pageUp());
        QCOMPARE(m.position(), 55);
        QVERIFY(m.pageUp());
        QVERIFY(m.pageUp());
        QCOMPARE(m.position(), 0);
        QCOMPARE(m.thumbPixel(), 0);
        QVERIFY(!m.pageUp());
    }

    void scrollByAndEnds()
    {
        ScrollModel m;
        m.setTrackLength(100);
        m.setRange(50, 10);
        m.scrollBy(10);
        QCOMPARE(m.position(), 10);
        QCOMPARE(m.thumbPixel(), 20);
        m.scrollBy(45);
        QCOMPARE(m.position(), 50);
        QCOMPARE(m.thumbPixel(), 100);
        m.scrollBy(-80); // back past the start stops at the start
        QCOMPARE(m.position(), 0);
        QCOMPARE(m.thumbPixel(), 0);
        m.toEnd();
        QCOMPARE(m.position(), 50);
        QCOMPARE(m.thumbPixel(), 100);
        m.toStart();
        QCOMPARE(m.position(), 0);
    }

    void scrollDragClampsToTrack()
    {
        ScrollModel m;
        m.setTrackLength(100);
        m.setRange(200, 10);
        m.beginDrag(10);
        QVERIFY(m.drag(35));
        QCOMPARE(m.thumbPixel(), 25);
        QCOMPARE(m.position(), 50);
        QVERIFY(!m.drag(35));
        QVERIFY(m.drag(500));
        QCOMPARE(m.thumbPixel(), 100);
        QCOMPARE(m.position(), 200);
        QVERIFY(m.drag(-500));
        QCOMPARE(m.thumbPixel(), 0);
        QCOMPARE(m.position(), 0);
        m.endDrag();
        QVERIFY(!m.drag(50));
    }

    void toolDisplayLargeSequence()
    {
        ToolDisplaySequence seq;
        std::vector<Step> expected;
        for (int level = 0; level < 3; ++level)
            for (int frame = 0; frame < 5; ++frame)
                expected.push_back({level, frame});
        for (int frame = 3; frame >= 0; --frame)
            expected.push_back({2, frame});
        for (int level = 1; level >= 0; --level)
            for (int frame = 4; frame >= 0; --frame)
                expected.push_back({level, frame});
        expected.push_back({0, 1}); // and again
        QCOMPARE(run(seq, 2, int(expected.size())), expected);
    }

    void toolDisplaySmallSwings()
    {
        ToolDisplaySequence seq;
        const std::vector<Step> expected = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 3}, {0, 2},
                                            {0, 1}, {0, 0}, {0, 1}, {0, 2}};
        QCOMPARE(run(seq, 0, int(expected.size())), expected);
    }

    void toolDisplaySizeChangeWaitsForTurn()
    {
        ToolDisplaySequence seq;
        run(seq, 2, 7); // now at MEDIUM 2, growing
        QCOMPARE(seq.level(), 1);
        QCOMPARE(seq.frame(), 2);
        const std::vector<Step> expected = {{1, 2}, {1, 3}, {1, 4}, {1, 3}, {1, 2}, {1, 1}, {1, 0},
                                            {0, 4}, {0, 3}, {0, 2}, {0, 1}, {0, 0}, {0, 1}};
        QCOMPARE(run(seq, 0, int(expected.size())), expected);
    }

    void toolDisplaySets()
    {
        QCOMPARE(toolDisplaySet(0), 0);
        QCOMPARE(toolDisplaySet(3), 4); // the Hammer, HAMMER_
        QCOMPARE(toolDisplaySet(4), 3); // the Iron, IRON_
        QCOMPARE(toolDisplaySet(6), 6); // the Brush has a set of its own
        QCOMPARE(toolDisplaySet(9), 0);
        QCOMPARE(toolDisplaySet(-1), 0);
    }

    void balloonMeasures()
    {
        QCOMPARE(Balloon::width(50), 82);
        QCOMPARE(Balloon::width(0), 32);
        QCOMPARE(Balloon::step(0), 1);
        QCOMPARE(Balloon::step(39), 1);
        QCOMPARE(Balloon::step(40), 1);
        QCOMPARE(Balloon::step(85), 2);
    }

    void wheelRunBothWays()
    {
        WheelShared shared;
        WheelModel wheel(shared);
        QCOMPARE(wheel.tick(), 0u); // not running
        wheel.hotSpotDown(true);
        QVERIFY(wheel.hotSpotUp(true));
        std::vector<int> painted;
        uint32_t all = 0;
        for (int i = 0; i < 20 && wheel.running(); ++i) {
            const uint32_t a = wheel.tick();
            all |= a;
            if (a & WheelModel::Repaint)
                painted.push_back(wheel.shownFrame());
        }
        QCOMPARE(painted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
        QVERIFY(all & WheelModel::ShowSliders);
        QVERIFY(!(all & WheelModel::ShowFilmControls));
        QVERIFY(!shared.towardsSliders);

        painted.clear();
        wheel.hotSpotDown(true);
        QVERIFY(wheel.hotSpotUp(true));
        while (wheel.running())
            if (wheel.tick() & WheelModel::Repaint)
                painted.push_back(wheel.shownFrame());
        QCOMPARE(painted, (std::vector<int>{8, 7, 6, 5, 4, 3, 2, 1, 0}));
        QVERIFY(shared.towardsSliders);
    }

    void wheelNeedsPressAndReleaseOnHotSpot()
    {
        WheelShared shared;
        WheelModel wheel(shared);
        wheel.hotSpotDown(true);
        QVERIFY(!wheel.hotSpotUp(false));
        wheel.hotSpotDown(false);
        QVERIFY(!wheel.hotSpotUp(true));
        QVERIFY(!wheel.running());
    }

    void commandButtonTable()
    {
        CommandButtonModel b;
        b.press(true);
        QVERIFY(b.pushed());
        b.move(false);
        QVERIFY(!b.pushed());
        b.move(true);
        QVERIFY(b.pushed());
        QVERIFY(!b.release(false));
        b.press(false);
        QVERIFY(!b.pushed());
        QVERIFY(!b.release(true)); // pressed outside, released inside: nothing
        b.spaceDown();
        QVERIFY(b.spaceUp());
    }

    void stateButtonTable_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<bool>("inside");
        QTest::addColumn<int>("afterPress");
        QTest::addColumn<bool>("notifies");
        using V = StateButtonModel::Variant;
        QTest::newRow("tool inside") << int(V::Tool) << true << 2 << true;
        QTest::newRow("tool outside") << int(V::Tool) << false << 0 << false;
        QTest::newRow("size inside") << int(V::Size) << true << 2 << true;
        QTest::newRow("size outside") << int(V::Size) << false << 1 << false;
        QTest::newRow("latch inside") << int(V::Latch) << true << 2 << false;
        QTest::newRow("latch outside") << int(V::Latch) << false << 1 << false;
        QTest::newRow("toggle inside") << int(V::Toggle) << true << 1 << false;
    }

    void stateButtonTable()
    {
        QFETCH(int, variant);
        QFETCH(bool, inside);
        QFETCH(int, afterPress);
        QFETCH(bool, notifies);
        StateButtonModel b(static_cast<StateButtonModel::Variant>(variant));
        b.setState(1); // start selected, so "unchanged" is visible
        QCOMPARE(b.press(inside), notifies);
        QCOMPARE(b.state(), afterPress);
        QCOMPARE(b.pressed(), inside);
    }

    void stateButtonMovesAndFocus()
    {
        StateButtonModel b(StateButtonModel::Variant::Tool);
        b.move(true);
        QCOMPARE(b.state(), 0); // not pressed: moves change nothing
        b.press(true);
        b.move(false);
        QCOMPARE(b.state(), 3);
        b.move(true);
        QCOMPARE(b.state(), 2);
        QVERIFY(b.release(false)); // a tool button sends wherever released
        b.focusOut();
        QCOMPARE(b.state(), 1);
        b.focusIn();
        QCOMPARE(b.state(), 2);
        b.setState(0);
        b.focusIn();
        QCOMPARE(b.state(), 3);
        b.focusOut();
        QCOMPARE(b.state(), 0);
        b.setState(4);
        b.focusIn();
        QCOMPARE(b.state(), 4);
    }

    void latchAndToggleRelease()
    {
        StateButtonModel latch(StateButtonModel::Variant::Latch);
        latch.press(true);
        QVERIFY(latch.release(true));
        QVERIFY(latch.latched());
        QCOMPARE(latch.state(), 2);

        StateButtonModel toggle(StateButtonModel::Variant::Toggle);
        toggle.press(true);
        QVERIFY(toggle.release(true));
        QVERIFY(toggle.latched());
        QCOMPARE(toggle.state(), 2);
        toggle.press(true);
        QVERIFY(toggle.release(false)); // sent, but the latch stays
        QVERIFY(toggle.latched());
        toggle.press(true);
        QVERIFY(toggle.release(true));
        QVERIFY(!toggle.latched());
        QCOMPARE(toggle.state(), 3);
    }

    void spaceKey()
    {
        StateButtonModel tool(StateButtonModel::Variant::Tool);
        QVERIFY(tool.spaceDown());
        QCOMPARE(tool.state(), 2);
        tool.spaceUp();
        QVERIFY(!tool.pressed());
        QCOMPARE(tool.state(), 2);
        StateButtonModel toggle(StateButtonModel::Variant::Toggle);
        QVERIFY(!toggle.spaceDown());
        QCOMPARE(toggle.state(), 2);
    }
};

KNETIX_SKIN_TEST(ModelTest);
#include "ModelTest.moc"
