// The splash screen closes on a key, not on a click.

#include "SkinTest.h"

#include "skin/CSplashDlg.h"

#include <QPointer>
#include <QTest>

using namespace knetix;

class SplashTest : public QObject {
    Q_OBJECT
private slots:
    void closesOnAKeyNotOnAClick()
    {
        QPointer<CSplashDlg> splash = new CSplashDlg;
        QVERIFY(splash->loaded());
        splash->show();
        QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::qWait(20);
        QVERIFY(splash);
        QVERIFY(splash->isVisible());
        // The picture sits in the middle of black.
        const QImage shot = splash->grab().toImage();
        QCOMPARE(QColor(shot.pixel(0, 0)), QColor(Qt::black));
        QTest::keyClick(splash, Qt::Key_Space);
        QTRY_VERIFY(splash.isNull());
    }
};

KNETIX_SKIN_TEST(SplashTest);
#include "SplashTest.moc"
