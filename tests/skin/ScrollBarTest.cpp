// The list scroll bar: paging, dragging and the empty range.

#include "SkinTest.h"

#include "skin/CListScrollBar.h"

#include <QSignalSpy>
#include <QTest>

using namespace knetix;

class ScrollBarTest : public QObject {
    Q_OBJECT
private slots:
    void emptyRangeHidesThumbAndIgnoresClicks()
    {
        QWidget dialog;
        auto* bar = new CListScrollBar(&dialog);
        QVERIFY(bar->loaded());
        QCOMPARE(bar->size(), QSize(30, 179));
        dialog.show();
        bar->setRange(0, 10);
        QVERIFY(bar->thumb()->isHidden());
        QSignalSpy spy(bar, &CListScrollBar::scrolled);
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(15, 170));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(bar->position(), 0);
        bar->setRange(30, 10);
        QVERIFY(!bar->thumb()->isHidden());
        bar->setRange(-4, 10);
        QVERIFY(bar->thumb()->isHidden());
    }

    void pageDownStopsAtTheEnd()
    {
        QWidget dialog;
        auto* bar = new CListScrollBar(&dialog);
        dialog.show();
        bar->setRange(95, 40);
        const int track = 179 - 36;
        QSignalSpy spy(bar, &CListScrollBar::scrolled);
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(15, 175));
        QCOMPARE(spy.count(), 3); // sent at once, not posted
        QCOMPARE(spy.at(2).at(0).toInt(), 95);
        QCOMPARE(bar->position(), 95);
        QCOMPARE(bar->thumb()->y(), track);
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(15, 175));
        QCOMPARE(spy.count(), 3);

        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(15, 2));
        QCOMPARE(bar->position(), 55);
        QCOMPARE(bar->thumb()->y(), int(55 * double(track) / 95));
    }

    void draggingTheThumb()
    {
        QWidget dialog;
        auto* bar = new CListScrollBar(&dialog);
        dialog.show();
        bar->setRange(286, 100); // two units per pixel
        QSignalSpy spy(bar, &CListScrollBar::scrolled);
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(15, 18));
        QTest::mouseMove(bar, QPoint(15, 38));
        QCOMPARE(bar->thumb()->y(), 20);
        QCOMPARE(bar->position(), 40);
        QCOMPARE(spy.count(), 1);
        QTest::mouseMove(bar, QPoint(15, 178));
        QCOMPARE(bar->thumb()->y(), 143);
        QCOMPARE(bar->position(), 286);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(15, 178));
        QCOMPARE(bar->thumb()->y(), 143);
    }

    void keyboardPagingDoesNotNotify()
    {
        QWidget dialog;
        auto* bar = new CListScrollBar(&dialog);
        dialog.show();
        bar->setRange(50, 20);
        QSignalSpy spy(bar, &CListScrollBar::scrolled);
        bar->pageDown();
        bar->pageDown();
        bar->pageDown();
        QCOMPARE(bar->position(), 50);
        QCOMPARE(bar->thumb()->y(), 143);
        bar->toStart();
        QCOMPARE(bar->thumb()->y(), 0);
        bar->toEnd();
        QCOMPARE(bar->thumb()->y(), 143);
        QCOMPARE(spy.count(), 0);
    }
};

KNETIX_SKIN_TEST(ScrollBarTest);
#include "ScrollBarTest.moc"
