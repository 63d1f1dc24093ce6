// The filmstrip panel: its buttons and the wheel between filmstrip and sliders.

#include "SkinTest.h"

#include "skin/CFilmPanelDlg.h"

#include <QSignalSpy>
#include <QTest>

using namespace knetix;

namespace {

const QPoint kHotSpot(43, 50);

void clickHotSpot(CFilmPanelDlg& panel)
{
    QTest::mouseClick(&panel, Qt::LeftButton, {}, kHotSpot);
}

std::vector<int> frames(const QSignalSpy& spy)
{
    std::vector<int> out;
    for (const auto& args : spy)
        out.push_back(args.at(0).toInt());
    return out;
}

} // namespace

class FilmPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init() { CFilmPanelDlg::shared() = {}; }

    void startsOnTheFilmstripFace()
    {
        CFilmPanelDlg panel(nullptr);
        QVERIFY(panel.initialise());
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(!panel.play()->isHidden());
        QVERIFY(!panel.leftScroll()->isHidden());
        QVERIFY(panel.play2()->isHidden());
        QVERIFY(panel.speed()->isHidden());
        QCOMPARE(panel.paintedFrame(), 0);
        QCOMPARE(panel.play()->pos(), QPoint(363, 33));
        QCOMPARE(panel.rightScroll()->pos(), QPoint(302, 21));

        QSignalSpy play(&panel, &CFilmPanelDlg::playOrStop);
        QSignalSpy back(&panel, &CFilmPanelDlg::filmstripBack);
        QSignalSpy forward(&panel, &CFilmPanelDlg::filmstripForward);
        QTest::mouseClick(panel.play(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(panel.rightScroll(), Qt::LeftButton, {}, QPoint(9, 30));
        QTest::mouseClick(panel.leftScroll(), Qt::LeftButton, {}, QPoint(8, 30));
        QTRY_COMPARE(play.count(), 1);
        QCOMPARE(back.count(), 1);
        QCOMPARE(forward.count(), 1);

        QSignalSpy cancel(&panel, &CFilmPanelDlg::cancelRequested);
        QTest::keyClick(&panel, Qt::Key_Return);
        QCOMPARE(cancel.count(), 0);
        QTest::keyClick(&panel, Qt::Key_Escape);
        QCOMPARE(cancel.count(), 1);
    }

    void runTowardsTheSlidersAndBack()
    {
        CFilmPanelDlg panel(nullptr);
        panel.initialise();
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QSignalSpy painted(&panel, &CFilmPanelDlg::framePainted);
        QSignalSpy hide(&panel, &CFilmPanelDlg::hideFilmstrip);
        QSignalSpy show(&panel, &CFilmPanelDlg::showFilmstrip);
        QSignalSpy files(&panel, &CFilmPanelDlg::showFileButtons);

        clickHotSpot(panel);
        QCOMPARE(hide.count(), 1);
        QVERIFY(panel.wheelRunning());
        while (panel.wheelRunning())
            panel.advanceWheel();
        QCOMPARE(frames(painted), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
        QVERIFY(!panel.power()->isHidden());
        QVERIFY(!panel.speed()->isHidden());
        QVERIFY(!panel.deformation()->isHidden());
        QVERIFY(!panel.play2()->isHidden());
        QVERIFY(panel.leftScroll()->isHidden());
        QVERIFY(panel.play()->isHidden());
        QCOMPARE(files.count(), 1);
        QCOMPARE(files.at(0).at(0).toBool(), true);
        QCOMPARE(show.count(), 1);

        painted.clear();
        clickHotSpot(panel);
        while (panel.wheelRunning())
            panel.advanceWheel();
        QCOMPARE(frames(painted), (std::vector<int>{8, 7, 6, 5, 4, 3, 2, 1, 0}));
        QVERIFY(panel.power()->isHidden());
        QVERIFY(panel.play2()->isHidden());
        QVERIFY(!panel.leftScroll()->isHidden());
        QVERIFY(!panel.rightScroll()->isHidden());
        QVERIFY(!panel.play()->isHidden());
        QCOMPARE(show.count(), 2);
    }

    void secondClickDuringARunDoesNotReverse()
    {
        CFilmPanelDlg panel(nullptr);
        panel.initialise();
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QSignalSpy painted(&panel, &CFilmPanelDlg::framePainted);
        clickHotSpot(panel);
        for (int i = 0; i < 4; ++i)
            panel.advanceWheel();
        clickHotSpot(panel);
        QVERIFY(panel.wheelRunning());
        while (panel.wheelRunning())
            panel.advanceWheel();
        QCOMPARE(frames(painted), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
        QVERIFY(!CFilmPanelDlg::shared().towardsSliders);
    }

    void theDrawnWheelTurnsAndClicksBesideItDoNothing()
    {
        CFilmPanelDlg panel(nullptr);
        panel.initialise();
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(48, 50));
        QTest::mousePress(&panel, Qt::LeftButton, {}, kHotSpot);
        QTest::mouseRelease(&panel, Qt::LeftButton, {}, QPoint(60, 50));
        QVERIFY(!panel.wheelRunning());
        // The knurled drum itself, top to bottom, turns the wheel.
        for (QPoint drum : {QPoint(20, 10), QPoint(12, 88)}) {
            QTest::mouseClick(&panel, Qt::LeftButton, {}, drum);
            QVERIFY(panel.wheelRunning());
            while (panel.wheelRunning())
                panel.advanceWheel();
        }
    }

    void slidersSitOnTheLastWheelFrame()
    {
        CFilmPanelDlg panel(nullptr);
        panel.initialise();
        QSignalSpy changed(&panel, &CFilmPanelDlg::sliderChanged);
        panel.power()->setRange(0, 64);
        panel.power()->setValue(32);
        QCOMPARE(panel.power()->pos(), QPoint(166, 18));
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(1).toInt(), int(CFilmPanelDlg::IdPower));
    }
};

KNETIX_SKIN_TEST(FilmPanelTest);
#include "FilmPanelTest.moc"
