// The slider knob: value and position, notifications, compositing.

#include "SkinTest.h"

#include "artwork/Artwork.h"
#include "skin/CSliderButton.h"

#include <QSignalSpy>
#include <QTest>

using namespace knetix;

class SliderTest : public QObject {
    Q_OBJECT
private slots:
    void setValueMovesAndNotifies()
    {
        QWidget panel;
        panel.resize(433, 99);
        auto* power = new CSliderButton(1027, &panel);
        QVERIFY(power->load("Power"));
        power->move(240, 18);
        power->setTrack(70, 265);
        power->setRange(0, 64);
        panel.show();
        QSignalSpy spy(power, &CSliderButton::sliderChanged);

        power->setValue(64);
        QCOMPARE(power->x(), 262);
        QCOMPARE(power->y(), 18);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 64);
        QCOMPARE(spy.at(0).at(1).toInt(), 1027);

        power->setValue(65);
        power->setValue(-1);
        QCOMPARE(power->value(), 0);
        QCOMPARE(power->x(), 262); // clamped values neither move nor notify
        QTest::qWait(10);
        QCOMPARE(spy.count(), 1);
    }

    void draggingFollowsTheMouse()
    {
        QWidget panel;
        panel.resize(433, 99);
        auto* speed = new CSliderButton(1028, &panel);
        speed->load("Speed");
        speed->setTrack(70, 265);
        speed->setRange(0, 64);
        speed->move(100, 43);
        panel.show();
        QSignalSpy spy(speed, &CSliderButton::sliderChanged);
        QTest::mousePress(speed, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(speed, QPoint(35, 5));
        QCOMPARE(speed->x(), 130);
        QCOMPARE(speed->value(), 20);
        QTest::mouseMove(speed, QPoint(400, 5));
        QCOMPARE(speed->x(), 265);
        QCOMPARE(speed->value(), 64);
        QTest::mouseMove(speed, QPoint(410, 5)); // already at the end: no move, no notice
        QTest::mouseRelease(speed, Qt::LeftButton, {}, QPoint(410, 5));
        QTRY_COMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toInt(), 64);
        // Released: moves do nothing.
        QTest::mouseMove(speed, QPoint(-200, 5));
        QCOMPARE(speed->x(), 265);
    }

    void compositeFollowsTheMask()
    {
        QWidget panel;
        panel.resize(433, 99);
        auto* knob = new CSliderButton(1023, &panel);
        QVERIFY(knob->load("deformation"));
        knob->move(100, 66);
        QImage background(433, 99, QImage::Format_RGB888);
        background.fill(QColor(100, 20, 200));
        knob->setBackground(background);
        const QImage picture = loadSkinPicture("DEFORMATIONU").convertToFormat(QImage::Format_RGB32);
        const QImage out = knob->composite().convertToFormat(QImage::Format_RGB32);
        int checked = 0;
        for (int y = 0; y < 22; ++y)
            for (int x = 0; x < 35; ++x) {
                const int m = qBlue(picture.pixel(x, y));
                const QRgb face = picture.pixel(x + 35, y);
                const QRgb got = out.pixel(x, y);
                if (m == 0)
                    QCOMPARE(got, face);
                else if (m == 128)
                    QCOMPARE(got, qRgb(70, 0, 170));
                else
                    QCOMPARE(got, qRgb(100, 20, 200));
                ++checked;
            }
        QCOMPARE(checked, 35 * 22);
    }
};

KNETIX_SKIN_TEST(SliderTest);
#include "SliderTest.moc"
