// The tool display widget: its frames, the set per tool and the timer.

#include "SkinTest.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"
#include "skin/CToolDisplay.h"
#include "skin/model/PanelModels.h"

#include <QTest>

#include <set>

using namespace knetix;

class ToolDisplayTest : public QObject {
    Q_OBJECT
private slots:
    void init() { CToolDisplay::sequence() = {}; }

    void showsTheFrameOfToolLevelAndStep()
    {
        CToolDisplay display(nullptr);
        QVERIFY(display.loadPictures());
        int tool = 6, size = 2;
        display.setIndexSources([&] { return tool; }, [&] { return size; });
        QCOMPARE(display.currentPicture(), loadSkinPicture("BRUSH_SMALL_0"));
        // Before any size button is pressed it does not move.
        QVERIFY(!display.animating());
        for (int i = 0; i < 7; ++i)
            display.advance();
        QCOMPARE(display.currentPicture(), loadSkinPicture("BRUSH_MEDIUM_2"));
        tool = 4;
        QCOMPARE(display.currentPicture(), loadSkinPicture("IRON_MEDIUM_2"));
        tool = 3;
        QCOMPARE(display.currentPicture(), loadSkinPicture("HAMMER_MEDIUM_2"));
        tool = 1;
        QCOMPARE(display.currentPicture(), loadSkinPicture("MAGNIFIER_MEDIUM_2"));
    }

    // Each tool button's display shows frames drawn with that button's own
    // tool, and no two buttons share a set.
    void everyToolShowsItsOwnEffect()
    {
        std::set<int> sets;
        for (const skin::ControlLayout& c : skin::mainPanelControls()) {
            if (c.kind != skin::ControlKind::Tool)
                continue;
            const int set = skin::toolDisplaySet(c.toolIndex);
            QVERIFY2(set >= 0 && set < skin::kToolDisplaySetCount, c.word.data());
            QVERIFY2(skin::kToolDisplayKinds[set] == skin::toolOfButton(c.id), c.word.data());
            sets.insert(set);
        }
        QCOMPARE(sets.size(), size_t(7));
    }

    void timerSteps()
    {
        CToolDisplay display(nullptr);
        display.loadPictures();
        display.setIndexSources([] { return 0; }, [] { return 2; });
        display.show();
        display.restartTimer();
        QVERIFY(display.animating());
        QTRY_VERIFY_WITH_TIMEOUT(CToolDisplay::sequence().frame() >= 2 || CToolDisplay::sequence().level() > 0, 30000);
    }

    void swallowsPresses()
    {
        CToolDisplay display(nullptr);
        display.loadPictures();
        QWidget parent;
        display.setParent(&parent);
        parent.show();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&display, &press);
        QVERIFY(press.isAccepted());
        display.setParent(nullptr);
    }
};

KNETIX_SKIN_TEST(ToolDisplayTest);
#include "ToolDisplayTest.moc"
