// The filmstrip, its Key menu and playback in the test host, headless.

#include "TestHost.h"
#include "qtbridge/QtBridge.h"
#include "tests/common/TestPictures.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

#include <chrono>
#include <random>

namespace knetix {

namespace {

using Clock = std::chrono::steady_clock;

// The moments at which the canvas paints playback frames.
class PlaybackPaintTimes : public QObject {
public:
    PlaybackPaintTimes(QWidget* canvas, const Document& document) : m_document(document)
    {
        canvas->installEventFilter(this);
    }
    std::vector<Clock::time_point> times;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_document.playing())
            times.push_back(Clock::now());
        return false;
    }

private:
    const Document& m_document;
};

} // namespace

class FilmstripTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestHost> host;
    std::vector<std::vector<int32_t>> menusShown;
    int32_t answer = 0; // the command the menu chooser picks (0: none)

    QWindow* window() { return host->windowHandle(); }
    // A strip point inside cell i, in window coordinates.
    QPoint cellPoint(int i) { return host->strip->mapTo(host.get(), QPoint(30 + 80 * i, 30)); }
    void clickCell(int i) { QTest::mouseClick(window(), Qt::LeftButton, {}, cellPoint(i)); }

    std::vector<int32_t> entriesOf(int32_t r)
    {
        std::vector<int32_t> ids;
        for (const MenuItem& m : host->strip->menuEntries(r))
            ids.push_back(m.id);
        return ids;
    }

private slots:
    void init()
    {
        host = std::make_unique<test::TestHost>();
        QVERIFY(host->document.loadPicture("grid.bmp", *test::gridPicture(200, 150)));
        host->pictureLoaded();
        host->strip->setMenuChooser([this](const std::vector<MenuItem>& entries, QPoint) {
            std::vector<int32_t> ids;
            for (const MenuItem& m : entries)
                ids.push_back(m.id);
            menusShown.push_back(ids);
            return answer;
        });
        menusShown.clear();
        answer = 0;
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.get()));
    }
    void cleanup() { host.reset(); }

    void menuOffersWhatTheCellAllows()
    {
        using V = std::vector<int32_t>;
        // Two keys, key 1 active.
        QCOMPARE(entriesOf(0), (V{ID_KEY_ACTIVATE, ID_KEY_COPY, ID_KEY_MOVE_RIGHT, ID_KEY_TO_WINDOW, ID_KEY_TO_FILMSTRIP}));
        QCOMPARE(entriesOf(1), (V{ID_KEY_COPY, ID_KEY_MOVE_LEFT}));
        QCOMPARE(entriesOf(2), (V{ID_KEY_ACTIVATE})); // the empty cell after the last key
        clickCell(2);
        QCOMPARE(menusShown.size(), size_t(1));
        QCOMPARE(menusShown.back(), (V{ID_KEY_ACTIVATE}));
        QCOMPARE(host->document.keys().count(), 2); // nothing chosen

        answer = ID_KEY_ACTIVATE;
        clickCell(2);
        QCOMPARE(host->document.keys().count(), 3);
        QCOMPARE(host->document.keys().activeKey(), 2);
        answer = 0;
        // Three keys, key 2 active: Delete is offered now.
        QCOMPARE(entriesOf(0), (V{ID_KEY_ACTIVATE, ID_KEY_COPY, ID_KEY_DELETE, ID_KEY_MOVE_RIGHT,
                                  ID_KEY_TO_WINDOW, ID_KEY_TO_FILMSTRIP}));
        QCOMPARE(entriesOf(2), (V{ID_KEY_COPY, ID_KEY_DELETE, ID_KEY_MOVE_LEFT}));
        // The empty cell is now out of sight; scrolling brings it in.
        QTest::mouseClick(window(), Qt::LeftButton, {}, host->forward->geometry().center());
        QCOMPARE(host->document.keys().firstVisible(), 1);
        clickCell(2);
        QCOMPARE(menusShown.back(), (V{ID_KEY_ACTIVATE}));
    }

    void paintsThumbnailsAndTheActiveFrame()
    {
        const QImage strip = host->strip->grab().toImage();
        const KeyList& keys = host->document.keys();
        const Rect t = keys.thumbnailRect(1); // key 1 is active
        QCOMPARE(strip.pixel(t.left, t.top + 10) & 0xFFFFFF, 0xFFFFFFu);
        QCOMPARE(strip.pixel(t.left + 1, t.top + 10) & 0xFFFFFF, 0xFF0000u);
        QCOMPARE(strip.pixel(t.left + 2, t.top + 10) & 0xFFFFFF, 0xFFFFFFu);
        const Rect t0 = keys.thumbnailRect(0);
        const ThumbnailBitmap& thumb = keys.key(0).thumbnail();
        const uint8_t* px = thumb.bits.data() + 10 * thumb.bytesPerRow + 4 * 10;
        QCOMPARE(strip.pixel(t0.left + 10, t0.top + 10) & 0xFFFFFF, qRgb(px[2], px[1], px[0]) & 0xFFFFFFu);
    }

    void aStrokeRedrawsTheActiveThumbnailWhenPainted()
    {
        host->document.selectTool(ToolKind::Whirl);
        host->toolChosen();
        const ThumbnailBitmap before = host->document.keys().key(1).thumbnail();
        const QPoint at = host->canvas->mapTo(host.get(), QPoint(170, 170));
        QTest::mousePress(window(), Qt::LeftButton, {}, at);
        // Without a move only a stroke-timer tick bends the picture.
        QTRY_VERIFY_WITH_TIMEOUT(host->canvas->strokeTicks() > 0, 30000);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at);
        host->strip->grab(); // a paint, if the stroke's own repaint has not come yet
        QVERIFY(!host->document.keys().key(1).thumbnailStale());
        QVERIFY(!(host->document.keys().key(1).thumbnail() == before));
        QVERIFY(host->document.keys().key(0).thumbnail() == before);
    }

    void playbackRunsAtTheMoviesRateAndAClickEndsIt()
    {
        QVERIFY(host->document.openKeyMenu(2));
        QVERIFY(host->document.runKeyCommand(KeyCommand::Activate));
        host->document.selectTool(ToolKind::ZoomIn);
        host->document.press(170, 170);
        for (int i = 0; i < 20; ++i)
            host->document.tick();
        host->document.release();
        const int paintedBefore = host->canvas->playbackPaints();
        PlaybackPaintTimes paints(host->canvas, host->document);
        const auto start = Clock::now();
        QTest::mouseClick(window(), Qt::LeftButton, {}, host->play->geometry().center());
        QVERIFY(host->document.playing());
        QTRY_VERIFY_WITH_TIMEOUT(paints.times.size() >= 16, 30000);
        QCOMPARE(host->canvas->playbackPaints() - paintedBefore, int(paints.times.size()));
        // 15 a second, never more: paint k follows frame k, which is due at
        // start + k/15 s. A busy machine only makes paints later.
        for (size_t k = 0; k < paints.times.size(); ++k) {
            const auto due = start + std::chrono::duration<double>(double(k) / 15);
            const std::chrono::duration<double, std::milli> early = due - paints.times[k];
            QVERIFY2(early.count() < 1.0, qPrintable(QStringLiteral("paint %1 came %2 ms early").arg(k).arg(early.count())));
        }
        // Any click, even on the Play button, ends it.
        QTest::mouseClick(window(), Qt::LeftButton, {}, host->play->geometry().center());
        QVERIFY(!host->document.playing());
        QCOMPARE(host->document.picture().field(), host->document.keys().activeCells());
    }

    // A restless user: play, then click anywhere or run Key commands, 200 times.
    void startAndStopWithClicksAndKeyCommands()
    {
        std::mt19937 rng(3);
        answer = ID_KEY_ACTIVATE;
        for (int round = 0; round < 200; ++round) {
            if (!host->document.playing())
                QTest::mouseClick(window(), Qt::LeftButton, {}, host->play->geometry().center());
            QVERIFY(host->document.playing());
            QTest::qWait(int(rng() % 40));
            switch (rng() % 4) {
            case 0:
                clickCell(int(rng() % 3));
                break;
            case 1:
                QTest::mouseClick(window(), Qt::LeftButton, {}, host->canvas->mapTo(host.get(), QPoint(150, 150)));
                break;
            case 2:
                QTest::mouseClick(window(), Qt::LeftButton, {}, QPoint(5, 5)); // the host itself
                break;
            default:
                QTest::mouseClick(window(), Qt::LeftButton, {}, host->play->geometry().center());
            }
            QVERIFY2(!host->document.playing(), qPrintable(QString::number(round)));
        }
        QCOMPARE(host->document.picture().field(), host->document.keys().activeCells());
        QVERIFY(host->document.keys().count() >= 2);
    }

    void screenshotAfterStrokesAndKeys()
    {
        host->document.selectTool(ToolKind::Whirl);
        host->toolChosen();
        host->document.press(150, 170);
        for (int i = 0; i < 15; ++i)
            host->document.tick();
        host->document.release();
        answer = ID_KEY_ACTIVATE;
        clickCell(2);
        host->document.selectTool(ToolKind::Move);
        host->toolChosen();
        host->document.press(250, 150);
        host->document.move(270, 140);
        host->document.move(290, 130);
        host->document.release();
        QTest::mouseMove(window(), host->canvas->mapTo(host.get(), QPoint(200, 200)));
        QTest::qWait(30);
        const QString file = QStringLiteral(KNETIX_SCREENSHOT_DIR "/test-host.png");
        QVERIFY(host->grab().toImage().save(file));

        // What the picture must show: the inverted circle around the pointer
        // over the picture, the three frame lines on the active key, and each
        // key's own thumbnail in its cell.
        const QImage shot = host->grab().toImage();
        const WorkingPicture& picture = host->document.picture();
        const QImage shown = uprightImage(picture.displayedView());
        const int r = host->document.tool()->radius();
        const QPoint canvasAt = host->canvas->mapTo(host.get(), QPoint(0, 0));
        const int top = picture.pictureRect().top;
        for (const QPoint onCircle : {QPoint(200 + r, 200), QPoint(200 - r, 200), QPoint(200, 200 - r)}) {
            const QRgb under = shown.pixel(onCircle - QPoint(0, top)) & 0xFFFFFF;
            QCOMPARE(shot.pixel(canvasAt + onCircle) & 0xFFFFFF, ~under & 0xFFFFFF);
        }
        QCOMPARE(shot.pixel(canvasAt + QPoint(200, 200)) & 0xFFFFFF, shown.pixel(200, 200 - top) & 0xFFFFFF);

        const KeyList& keys = host->document.keys();
        QCOMPARE(keys.count(), 3);
        QCOMPARE(keys.activeKey(), 2);
        for (int32_t i = 0; i < 3; ++i) {
            const Rect t = keys.thumbnailRect(i);
            const QPoint at = host->strip->mapTo(host.get(), QPoint(t.left, t.top));
            const ThumbnailBitmap& thumb = keys.key(i).thumbnail();
            for (const QPoint p : {QPoint(10, 10), QPoint(thumb.width / 2, thumb.height / 2)}) {
                const uint8_t* px = thumb.bits.data() + p.y() * thumb.bytesPerRow + 4 * p.x();
                QCOMPARE(shot.pixel(at + p) & 0xFFFFFF, qRgb(px[2], px[1], px[0]) & 0xFFFFFF);
            }
            const QRgb frame[] = {0xFFFFFF, 0xFF0000, 0xFFFFFF};
            for (int k = 0; k < 3; ++k) {
                const QRgb edge = shot.pixel(at + QPoint(k, thumb.height / 2)) & 0xFFFFFF;
                if (i == keys.activeKey())
                    QCOMPARE(edge, frame[k]);
                else if (k == 1)
                    QVERIFY(edge != 0xFF0000u);
            }
        }
        // The stroke on the new key shows in its thumbnail only.
        QVERIFY(!(keys.key(2).thumbnail() == keys.key(1).thumbnail()));
    }
};

} // namespace knetix

QTEST_MAIN(knetix::FilmstripTest)
#include "FilmstripTest.moc"
