// The balloon tooltip: its size for a text and the unrolling.

#include "SkinTest.h"

#include "resources/Strings.h"
#include "skin/CMyToolTipCtrl.h"

#include <QHelpEvent>
#include <QTest>

using namespace knetix;

class ToolTipTest : public QObject {
    Q_OBJECT
private slots:
    void windowSizeForAText()
    {
        QWidget owner;
        CMyToolTipCtrl tip(&owner);
        tip.showTip("Mittlerer", QPoint(10, 10));
        QCOMPARE(tip.size(), QSize(tip.textWidth() + 2 * 18 - 4, 28));
        QVERIFY(tip.textWidth() > 20);
        QCOMPARE(tip.sizeForText(QString()), QSize(32, 28));
    }

    void unrollsToTheFullWidth()
    {
        QWidget owner;
        CMyToolTipCtrl tip(&owner);
        tip.showTip("Großer", QPoint(10, 10));
        QVERIFY(tip.unrolling());
        const int width = tip.textWidth();
        const int step = width >= 40 ? width / 40 : 1;
        QTRY_VERIFY(!tip.unrolling());
        QCOMPARE(tip.unrolled(), width + step);

        // An empty tip still draws its ends and a one-pixel step.
        tip.showTip(QString(), QPoint(10, 10));
        QTRY_VERIFY(!tip.unrolling());
        QCOMPARE(tip.unrolled(), 1);
    }

    void toolsShowTheirStrings()
    {
        QWidget owner;
        auto* small = new QWidget(&owner);
        owner.show();
        CMyToolTipCtrl tip(&owner);
        tip.addTool(small, IDS_TIP_SMALL);
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), QPoint(50, 50));
        QCoreApplication::sendEvent(small, &help);
        QVERIFY(tip.isVisible());
        QCOMPARE(tip.text(), QStringLiteral("Kleiner"));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(small, &leave);
        QVERIFY(!tip.isVisible());
    }
};

KNETIX_SKIN_TEST(ToolTipTest);
#include "ToolTipTest.moc"
