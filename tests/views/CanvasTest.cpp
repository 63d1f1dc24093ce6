// The canvas widget driven with the mouse, headless.

#include "document/Batch.h"
#include "document/Document.h"
#include "views/CMWorking.h"
#include "files/imagelib/ImExp.h"
#include "qtbridge/QtBridge.h"
#include "tests/common/TestPictures.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

#include <sstream>

namespace knetix {

class CanvasTest : public QObject {
    Q_OBJECT

    // A host window with the canvas at its top-left corner.
    struct Host {
        // The document outlives the window, whose canvas refers to it.
        Document document;
        QWidget window;
        CMWorking* canvas;
        explicit Host(const std::string& picture) : canvas(new CMWorking(document, &window))
        {
            window.resize(400, 400);
            canvas->setGeometry(0, 0, 354, 354);
            QVERIFY(document.openPicture(picture));
            canvas->pictureChanged();
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
        }
        QWindow* handle() { return window.windowHandle(); }
    };

    static std::vector<OffsetCell> field(Document& d) { return test::activeField(d); }

    std::unique_ptr<test::TempFolder> m_folder;
    std::string m_picture;

private slots:
    void initTestCase()
    {
        ImExp_Initialize();
        m_folder = std::make_unique<test::TempFolder>("canvas");
        m_picture = test::writeGridPicture(*m_folder, "grid.bmp", 200, 150);
        QVERIFY(!m_picture.empty());
    }
    void cleanupTestCase() { m_folder.reset(); }

    void strokesMatchTheSameStrokesInAScript()
    {
        for (ToolKind kind : kToolKindsByNameOrder) {
            Host host(m_picture);
            host.document.selectTool(kind);
            host.canvas->toolChanged();
            const bool repeats = kind != ToolKind::Move && kind != ToolKind::Zoom;

            QTest::mousePress(host.handle(), Qt::LeftButton, {}, QPoint(170, 170));
            QCOMPARE(host.canvas->strokeTimerRunning(), repeats);
            QTest::qWait(45);
            const int ticksAtRest = host.canvas->strokeTicks();
            QTest::mouseMove(host.handle(), QPoint(180, 176));
            QTest::mouseMove(host.handle(), QPoint(190, 182));
            QTest::qWait(25);
            const int ticksAfterMove = host.canvas->strokeTicks() - ticksAtRest;
            QTest::mouseRelease(host.handle(), Qt::LeftButton, {}, QPoint(190, 182));
            QVERIFY(!host.canvas->strokeTimerRunning());
            QVERIFY(!host.document.tool()->strokeActive()); // the tool was reset
            if (!repeats)
                QCOMPARE(host.canvas->strokeTicks(), 0);

            // The same points as a script; ticks only where the timer ran.
            std::ostringstream script;
            script << "open " << m_picture << "\ntool " << toolName(kind) << " medium\npress 170 170\n";
            if (ticksAtRest > 0)
                script << "tick " << ticksAtRest << "\n";
            script << "move 180 176\nmove 190 182\n";
            if (ticksAfterMove > 0)
                script << "tick " << ticksAfterMove << "\n";
            script << "release\n";
            BatchRunner runner;
            std::istringstream in(script.str());
            QVERIFY(!runner.run(in));
            Document& scripted = *runner.document();
            QVERIFY2(field(host.document) == field(scripted), toolName(kind));
            QVERIFY2(host.document.picture().pictureBlock() == scripted.picture().pictureBlock(), toolName(kind));
        }
    }

    void draggingOutOfThePictureKeepsTheStroke()
    {
        Host host(m_picture);
        host.document.selectTool(ToolKind::Move);
        host.canvas->toolChanged();
        // The 200 x 150 picture lies at (0, 44) .. (354, 309).
        QTest::mousePress(host.handle(), Qt::LeftButton, {}, QPoint(100, 300));
        QTest::mouseMove(host.handle(), QPoint(100, 340)); // below the picture
        QVERIFY(host.document.buttonHeld());
        QVERIFY(host.canvas->circleShown());
        QCOMPARE(host.canvas->circlePosition(), QPoint(100, 340));
        const auto before = field(host.document);
        QTest::mouseMove(host.handle(), QPoint(110, 300)); // back in: the stroke goes on
        QVERIFY(field(host.document) != before);
        QTest::mouseRelease(host.handle(), Qt::LeftButton, {}, QPoint(110, 300));
        QVERIFY(!host.document.buttonHeld());
    }

    void movingOutWithoutAButtonHidesTheCircle()
    {
        Host host(m_picture);
        host.document.selectTool(ToolKind::Smooth);
        host.canvas->toolChanged();
        QTest::mouseMove(host.handle(), QPoint(150, 150));
        QVERIFY(host.canvas->circleShown());
        QTest::mouseMove(host.handle(), QPoint(150, 20)); // above the picture
        QVERIFY(!host.canvas->circleShown());
    }

    void aToolOfTheSameRadiusKeepsTheStrokePatch()
    {
        Host host(m_picture);
        host.document.selectTool(ToolKind::Move);
        const OffsetCell* patch = host.document.strokePatch().cells();
        host.document.selectTool(ToolKind::Whirl);
        QCOMPARE(host.document.strokePatch().cells(), patch);
        host.document.selectSize(kDivisorLarge);
        QVERIFY(host.document.strokePatch().radius() == host.document.tool()->radius());
        QCOMPARE(host.document.strokePatch().count(), (2 * (265 / 4) + 1) * (2 * (265 / 4) + 1));
    }

    void paintsTheInvertedCircleAndTheFrame()
    {
        Host host(m_picture);
        host.document.selectTool(ToolKind::ZoomIn);
        host.canvas->toolChanged();
        const int r = host.document.tool()->radius();
        QTest::mouseMove(host.handle(), QPoint(150, 150));
        QTest::qWait(20);
        const QImage shown = host.canvas->grab().toImage();

        // The picture itself, without circle, where the circle passes.
        const WorkingPicture& picture = host.document.picture();
        const QImage plain = uprightImage(picture.displayedView());
        const QPoint onCircle(150 + r, 150);
        const QRgb under = plain.pixel(onCircle - QPoint(0, 44));
        const QRgb inverted = shown.pixel(onCircle) & 0xFFFFFF;
        QCOMPARE(inverted, ~under & 0xFFFFFF);
        QCOMPARE(shown.pixel(150, 150) & 0xFFFFFF, plain.pixel(150, 150 - 44) & 0xFFFFFF); // inside: untouched

        QCOMPARE(shown.pixel(0, 100) & 0xFFFFFF, 0x000000u);   // left edge black
        QCOMPARE(shown.pixel(100, 44) & 0xFFFFFF, 0x000000u);  // top edge black
        QCOMPARE(shown.pixel(353, 100) & 0xFFFFFF, 0xFFFFFFu); // right edge white
        QCOMPARE(shown.pixel(100, 308) & 0xFFFFFF, 0xFFFFFFu); // bottom edge white
    }
};

} // namespace knetix

QTEST_MAIN(knetix::CanvasTest)
#include "CanvasTest.moc"
