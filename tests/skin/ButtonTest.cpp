// The bitmap buttons driven by mouse, keys and focus.

#include "SkinTest.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"
#include "skin/CToolDisplay.h"
#include "skin/SkinButtons.h"

#include <QSignalSpy>
#include <QTest>

using namespace knetix;

namespace {

template <class Button>
Button* place(QWidget* parent, const char* member)
{
    const skin::ControlLayout& c = *skin::findControl(member);
    auto* b = new Button(c.id, parent);
    if (!placeSkinControl(b, c, QPoint()))
        qWarning("pictures of %s missing", member);
    return b;
}

const QPoint kCentre(17, 17); // middle of a 34 x 34 disc
const QPoint kCorner(1, 1);   // on the picture, outside the round hit shape
const QPoint kAway(300, 300); // off the button

void focusIn(QWidget* w)
{
    QFocusEvent e(QEvent::FocusIn, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(w, &e);
}

void focusOut(QWidget* w)
{
    QFocusEvent e(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(w, &e);
}

} // namespace

class ButtonTest : public QObject {
    Q_OBJECT
private slots:
    void commandSentOnlyWhenReleasedOnItsShape()
    {
        QWidget skinWidget;
        skinWidget.resize(640, 480);
        auto* help = place<CCommandButton>(&skinWidget, "Help");
        skinWidget.show();
        QSignalSpy spy(help, &CSkinButton::command);

        QTest::mousePress(help, Qt::LeftButton, {}, QPoint(18, 18));
        QVERIFY(help->pushed());
        QCOMPARE(help->currentPicture(), 1);
        QTest::mouseRelease(help, Qt::LeftButton, {}, kAway);
        QVERIFY(!help->pushed());
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), 0);

        // A press beside the shape does nothing, even released on it.
        QTest::mousePress(help, Qt::LeftButton, {}, kCorner);
        QVERIFY(!help->pushed());
        QTest::mouseRelease(help, Qt::LeftButton, {}, QPoint(18, 18));
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), 0);

        QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(18, 18));
        QCOMPARE(spy.count(), 0); // posted, not sent
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1014);
    }

    void commandPushedLookFollowsTheMouse()
    {
        QWidget skinWidget;
        skinWidget.resize(640, 480);
        auto* about = place<CCommandButton>(&skinWidget, "About");
        skinWidget.show();
        QSignalSpy spy(about, &CSkinButton::command);
        QTest::mousePress(about, Qt::LeftButton, {}, QPoint(18, 18));
        QTest::mouseMove(about, QPoint(80, 80));
        QVERIFY(!about->pushed());
        QTest::mouseMove(about, QPoint(18, 18));
        QVERIFY(about->pushed());
        QTest::mouseRelease(about, Qt::LeftButton, {}, QPoint(18, 18));
        QTRY_COMPARE(spy.count(), 1);
    }

    void commandPictureChoice()
    {
        QWidget skinWidget;
        skinWidget.resize(640, 480);
        auto* close = place<CCommandButton>(&skinWidget, "Close");
        auto* options = place<CCommandButton>(&skinWidget, "Options");
        skinWidget.show();
        QCOMPARE(options->currentPicture(), 0);
        // What is on screen is the Up picture, cut to the window polygon.
        const QImage shown = options->grab(QRect(0, 0, 70, 26)).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage up = loadSkinPicture("BTN_OPTIONS_U").convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.pixel(35, 13), up.pixel(35, 13));
        QTest::keyPress(close, Qt::Key_Space);
        QCOMPARE(close->currentPicture(), 1);
        QSignalSpy spy(close, &CSkinButton::command);
        QTest::keyRelease(close, Qt::Key_Space);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1018);
    }

    void toolButtonStates()
    {
        QWidget skinWidget;
        skinWidget.resize(640, 480);
        auto* hook = place<CToolSelectButton>(&skinWidget, "Hook");
        skinWidget.show();
        QSignalSpy group(hook, &CToolButton::groupPressed);
        QSignalSpy commands(hook, &CSkinButton::command);

        QTest::mousePress(hook, Qt::LeftButton, {}, kCentre);
        QCOMPARE(hook->state(), 2);
        QCOMPARE(group.count(), 1); // at once, before the command
        QTest::mouseMove(hook, kAway);
        QCOMPARE(hook->state(), 3);
        QTest::mouseRelease(hook, Qt::LeftButton, {}, kAway);
        QTRY_COMPARE(commands.count(), 1); // sent wherever released
        QCOMPARE(commands.at(0).at(0).toInt(), 1001);

        hook->setState(1);
        QTest::mousePress(hook, Qt::LeftButton, {}, kCorner);
        QCOMPARE(hook->state(), 0); // a press beside the shape releases a tool
        QCOMPARE(group.count(), 1);
        QTest::mouseRelease(hook, Qt::LeftButton, {}, kCorner);

        hook->setState(1);
        focusIn(hook);
        QCOMPARE(hook->state(), 2);
        focusOut(hook);
        QCOMPARE(hook->state(), 1);
        QCOMPARE(hook->setState(0), 1);
        focusIn(hook);
        QCOMPARE(hook->state(), 3);
        focusOut(hook);
        QCOMPARE(hook->state(), 0);

        QTest::keyPress(hook, Qt::Key_Space);
        QCOMPARE(hook->state(), 2);
        QCOMPARE(group.count(), 2);
        QTest::keyRelease(hook, Qt::Key_Space);
        QVERIFY(!hook->pressed());
    }

    void sizeButtonRestartsTheToolDisplay()
    {
        QWidget skinWidget;
        skinWidget.resize(640, 480);
        auto* large = place<CSizeSelectButton>(&skinWidget, "Large");
        CToolDisplay display(&skinWidget);
        large->setToolDisplay(&display);
        skinWidget.show();
        QVERIFY(!display.animating());
        large->setState(1);
        QTest::mousePress(large, Qt::LeftButton, {}, kCorner);
        QCOMPARE(large->state(), 1); // a size button keeps its state
        QVERIFY(display.animating());
        QTest::mouseRelease(large, Qt::LeftButton, {}, kCorner);
    }

    void groupKeepsOneDown()
    {
        QWidget skinWidget;
        skinWidget.resize(640, 480);
        CButtonGroup group;
        std::vector<CToolSelectButton*> tools;
        for (const char* name : {"Brush", "Drill", "Hook", "Deflator", "Hammer", "Iron", "Magnifier"}) {
            tools.push_back(place<CToolSelectButton>(&skinWidget, name));
            group.add(tools.back());
        }
        skinWidget.show();
        CToolSelectButton* brush = tools[0];
        CToolSelectButton* iron = tools[5];
        CToolSelectButton* hammer = tools[4];
        iron->setState(1);
        hammer->setState(2);
        QTest::mouseClick(brush, Qt::LeftButton, {}, kCentre);
        QCOMPARE(group.index(), 6);
        QCOMPARE(iron->state(), 0);
        QCOMPARE(hammer->state(), 0);
        QCOMPARE(brush->state(), 2);

        // Pressing the one that is down leaves the others alone.
        tools[1]->setState(3);
        QTest::mouseClick(brush, Qt::LeftButton, {}, kCentre);
        QCOMPARE(tools[1]->state(), 3);
        QCOMPARE(group.index(), 6);
    }

    void focusFollowsTheMouse()
    {
        QWidget skinWidget;
        skinWidget.resize(640, 480);
        auto* help = place<CCommandButton>(&skinWidget, "Help");
        auto* iron = place<CToolSelectButton>(&skinWidget, "Iron");
        skinWidget.show();
        skinWidget.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&skinWidget));
        iron->setState(1);

        QEnterEvent enterHelp(QPointF(18, 18), QPointF(18, 18), QPointF(611, 95));
        QCoreApplication::sendEvent(help, &enterHelp);
        QVERIFY(help->hasFocus());
        QCOMPARE(help->currentPicture(), 2); // the hover picture

        QEnterEvent enterIron(QPointF(17, 17), QPointF(17, 17), QPointF(49, 254));
        QCoreApplication::sendEvent(iron, &enterIron);
        QCOMPARE(help->currentPicture(), 0);
        QCOMPARE(iron->state(), 2);
        skinWidget.setFocus();
        QCOMPARE(iron->state(), 1);
    }

    void onlyTheShapeTakesClicks()
    {
        QWidget skinWidget;
        skinWidget.resize(640, 480);
        auto* help = place<CCommandButton>(&skinWidget, "Help");
        skinWidget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&skinWidget));
        QVERIFY(help->mask().contains(QPoint(18, 18)));
        QVERIFY(!help->mask().contains(QPoint(60, 60)));
        QSignalSpy spy(help, &CSkinButton::command);
        // Inside the button's 100 x 100 window but beside its picture: the skin gets it.
        QTest::mouseClick(skinWidget.windowHandle(), Qt::LeftButton, {}, QPoint(593 + 60, 77 + 60));
        QTest::mouseClick(skinWidget.windowHandle(), Qt::LeftButton, {}, QPoint(593 + 18, 77 + 18));
        QTRY_COMPARE(spy.count(), 1);
    }

    void everyMainPanelControlPlaces()
    {
        QWidget desktop;
        desktop.resize(800, 600);
        const QPoint origin((800 - 640) / 2, (600 - 480) / 2);
        for (const skin::ControlLayout& c : skin::mainPanelControls()) {
            QWidget* control = nullptr;
            switch (c.kind) {
            case skin::ControlKind::Tool: control = new CToolSelectButton(c.id, &desktop); break;
            case skin::ControlKind::Size: control = new CSizeSelectButton(c.id, &desktop); break;
            case skin::ControlKind::ToolDisplay: control = new CToolDisplay(&desktop); break;
            default: control = new CCommandButton(c.id, &desktop); break;
            }
            QVERIFY2(placeSkinControl(control, c, origin), c.member.data());
            QCOMPARE(control->pos(), origin + QPoint(c.offset.x, c.offset.y));
            if (auto* tool = qobject_cast<CToolButton*>(control))
                QCOMPARE(tool->toolIndex(), c.toolIndex);
        }
    }

    void latchAndToggle()
    {
        QWidget dialog;
        dialog.resize(390, 325);
        auto* browse = place<CLatchButton>(&dialog, "Browse");
        auto* readOnly = place<CToggleButton>(&dialog, "ReadOnly");
        dialog.show();
        QSignalSpy browseSpy(browse, &CSkinButton::command);
        QTest::mouseClick(browse, Qt::LeftButton, {}, QPoint(12, 12));
        QVERIFY(browse->latched());
        QCOMPARE(browse->state(), 2);
        QTRY_COMPARE(browseSpy.count(), 1);
        QCOMPARE(browseSpy.at(0).at(0).toInt(), 5);

        QSignalSpy toggleSpy(readOnly, &CSkinButton::command);
        QTest::mouseClick(readOnly, Qt::LeftButton, {}, QPoint(12, 12));
        QVERIFY(readOnly->latched());
        QTest::mousePress(readOnly, Qt::LeftButton, {}, QPoint(12, 12));
        QTest::mouseRelease(readOnly, Qt::LeftButton, {}, kAway);
        QVERIFY(readOnly->latched());
        QTRY_COMPARE(toggleSpy.count(), 2);
        QTest::mouseClick(readOnly, Qt::LeftButton, {}, QPoint(12, 12));
        QVERIFY(!readOnly->latched());
        QCOMPARE(readOnly->state(), 3);
    }
};

KNETIX_SKIN_TEST(ButtonTest);
#include "ButtonTest.moc"
