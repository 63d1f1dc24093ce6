// The scanning library's dialogs over SANE's virtual test scanners, headless:
// a scan that reaches the window as one event, the source choice, cancelling,
// device errors, closing and shutting down during a scan.

#include "app/ui/scan/CScanLibrary.h"
#include "browser/MessageBox.h"
#include "container/Dib.h"
#include "tests/common/QtTestRunner.h"
#include "tests/scan/SaneTestConfig.h"
#include "tests/scan/ui/ScanTestHelpers.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

namespace knetix::test {

class ScanDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SaneTestConfig> m_config;
    std::unique_ptr<CScanLibrary> m_library;
    std::unique_ptr<PictureWindow> m_window;
    QStringList m_messages;

    // Options of the test device outlive a dialog: every dialog starts fast
    // and faultless, at 25 dpi over 20 x 20 mm.
    static void smallFastScan(CScanDlg* d)
    {
        QVERIFY(d->scanner().setOption("read-delay", "false").ok());
        QVERIFY(d->scanner().setOption("read-return-value", "Default").ok());
        d->resolutionSpin()->setValue(25);
        d->rightBox()->setValue(20);
        d->bottomBox()->setValue(20);
    }

    // A scan that takes many seconds unless cancelled.
    static void slowScan(CScanDlg* d)
    {
        QVERIFY(d->scanner().setOption("read-delay", "true").ok());
        QVERIFY(d->scanner().setOption("read-delay-duration", "100000").ok());
        d->resolutionSpin()->setValue(300);
        QTest::mouseClick(d->scanButton(), Qt::LeftButton);
        QVERIFY(d->scanning());
        QVERIFY(waitFor([d] { return d->progressBar()->value() > 0; }));
    }

    size_t pictureCountAfterEvents()
    {
        QTest::qWait(50);
        return m_window->pictures.size();
    }

private slots:
    void initTestCase()
    {
        m_config = std::make_unique<SaneTestConfig>();
        setMessageHandler([this](QWidget*, const QString& text, MessageKind) {
            m_messages << text;
            return 1;
        });
    }

    void init()
    {
        m_library = std::make_unique<CScanLibrary>();
        m_window = std::make_unique<PictureWindow>();
        m_library->prepare(m_window.get());
        m_messages.clear();
    }

    void cleanup()
    {
        endModalWatches();
        m_library.reset();
        m_window.reset();
    }

    void cleanupTestCase()
    {
        setMessageHandler({});
        saneShutdown();
    }

    void acquireScansAndPostsOnePicture()
    {
        int32_t width = 0, height = 0;
        onNextModal<CScanDlg>([&](CScanDlg* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Scannen"));
            QCOMPARE(d->deviceBox()->count(), 2);
            QCOMPARE(d->deviceBox()->currentData().toString(), QStringLiteral("test:0"));
            QVERIFY(d->deviceBox()->currentText().endsWith(QStringLiteral(" (test:0)")));
            QCOMPARE(d->modeBox()->count(), 3);
            QCOMPARE(d->modeBox()->itemText(0), QStringLiteral("Farbe"));
            QCOMPARE(d->modeBox()->itemText(1), QStringLiteral("Graustufen"));
            QCOMPARE(d->modeBox()->itemText(2), QStringLiteral("Strichzeichnung"));
            // The test device takes any resolution from 1 to 1200 dpi; the
            // area starts as the whole glass.
            QVERIFY(!d->resolutionSpin()->isHidden());
            QCOMPARE(d->resolutionSpin()->maximum(), 1200);
            QCOMPARE(d->leftBox()->value(), 0.0);
            QCOMPARE(d->topBox()->value(), 0.0);
            QCOMPARE(d->rightBox()->value(), 200.0);
            QCOMPARE(d->bottomBox()->value(), 200.0);
            QCOMPARE(d->scanButton()->text(), QStringLiteral("Scannen"));
            QCOMPARE(d->cancelButton()->text(), QStringLiteral("Abbrechen"));

            smallFastScan(d);
            d->modeBox()->setCurrentIndex(0);
            QVERIFY(d->scanner().setOption("test-picture", "Color pattern").ok());
            // What the device announces for exactly these settings.
            QVERIFY(d->scanner().setMode(ScanMode::Color).ok());
            QVERIFY(d->scanner().setResolution(25).ok());
            QVERIFY(d->scanner().setArea({0, 0, 20, 20}).ok());
            ScanFrameParameters p;
            QVERIFY(d->scanner().parameters(p).ok());
            width = p.pixelsPerLine;
            height = p.lines;
            QTest::mouseClick(d->scanButton(), Qt::LeftButton);
        });
        m_library->acquire(nullptr); // to the prepared window
        QVERIFY(!m_library->scanDialog());
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(pictureCountAfterEvents(), size_t(1));
        const std::vector<uint8_t>& dib = m_window->pictures[0];
        Bitmap24View view;
        QVERIFY(parsePackedDib24(dib.data(), dib.size(), view));
        QVERIFY(width > 0);
        QCOMPARE(view.width, width);
        QCOMPARE(view.height, height);
        QCOMPARE(dib.size(), size_t(40 + view.stride * view.height));
        // The colour pattern is neither black nor one grey.
        bool coloured = false;
        for (size_t i = 40; i + 2 < dib.size() && !coloured; i += 3)
            coloured = dib[i] != dib[i + 1] || dib[i + 1] != dib[i + 2];
        QVERIFY(coloured);
    }

    void chooseSourcePreselectsTheScanner()
    {
        onNextModal<CScanSourceDlg>([](CScanSourceDlg* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Quelle auswählen"));
            QCOMPARE(d->deviceList()->count(), 2);
            QVERIFY(d->deviceList()->item(1)->text().endsWith(QStringLiteral(" (test:1)")));
            QCOMPARE(d->deviceList()->currentRow(), 0);
            d->deviceList()->setCurrentRow(1);
            QTest::mouseClick(d->okButton(), Qt::LeftButton);
        });
        m_library->chooseSource(m_window.get());
        QCOMPARE(m_library->chosenSource(), std::string("test:1"));

        // Cancelled: the choice stays.
        onNextModal<CScanSourceDlg>([](CScanSourceDlg* d) {
            QCOMPARE(d->deviceList()->currentRow(), 1);
            d->deviceList()->setCurrentRow(0);
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        m_library->chooseSource(m_window.get());
        QCOMPARE(m_library->chosenSource(), std::string("test:1"));

        QString shown;
        onNextModal<CScanDlg>([&shown](CScanDlg* d) {
            shown = d->deviceBox()->currentData().toString();
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        m_library->acquire(m_window.get());
        QCOMPARE(shown, QStringLiteral("test:1"));
        QCOMPARE(pictureCountAfterEvents(), size_t(0));
    }

    void cancelDuringAScanPostsNothingAndKeepsTheDialog()
    {
        bool stayed = false;
        onNextModal<CScanDlg>([&stayed](CScanDlg* d) {
            slowScan(d);
            // While scanning, only cancelling is offered.
            QVERIFY(!d->scanButton()->isEnabled());
            QVERIFY(!d->modeBox()->isEnabled());
            QVERIFY(d->cancelButton()->isEnabled());
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
            QVERIFY(waitFor([d] { return !d->scanning(); }));
            stayed = d->isVisible();
            QVERIFY(d->scanButton()->isEnabled());
            QCOMPARE(d->progressBar()->value(), 0);
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton); // now it closes
        });
        m_library->acquire(m_window.get());
        QVERIFY(stayed);
        QVERIFY(m_messages.isEmpty()); // a cancel is no error
        QCOMPARE(pictureCountAfterEvents(), size_t(0));
    }

    void deviceErrorIsShownAndTheDialogStaysForAnotherTry()
    {
        bool stayed = false;
        onNextModal<CScanDlg>([this, &stayed](CScanDlg* d) {
            smallFastScan(d);
            QVERIFY(d->scanner().setOption("read-return-value", "SANE_STATUS_JAMMED").ok());
            QVERIFY(d->startScan());
            QVERIFY(waitFor([d] { return !d->scanning(); }));
            QCOMPARE(m_messages, QStringList{QStringLiteral("Papierstau im Scanner.")});
            stayed = d->isVisible();
            QVERIFY(d->scanner().setOption("read-return-value", "Default").ok());
            QVERIFY(d->startScan());
        });
        m_library->acquire(m_window.get());
        QVERIFY(stayed);
        QCOMPARE(pictureCountAfterEvents(), size_t(1));
    }

    void lineArtScanIsBlackAndWhite()
    {
        onNextModal<CScanDlg>([](CScanDlg* d) {
            smallFastScan(d);
            QVERIFY(d->scanner().setOption("test-picture", "Grid").ok());
            d->modeBox()->setCurrentIndex(2);
            QVERIFY(d->startScan());
        });
        m_library->acquire(m_window.get());
        QCOMPARE(pictureCountAfterEvents(), size_t(1));
        const std::vector<uint8_t>& dib = m_window->pictures[0];
        Bitmap24View view;
        QVERIFY(parsePackedDib24(dib.data(), dib.size(), view));
        int black = 0, white = 0;
        for (int32_t k = 0; k < view.height; ++k)
            for (int32_t i = 0; i < view.width * 3; ++i) {
                const uint8_t v = view.storedRow(k)[i];
                QVERIFY(v == 0 || v == 255);
                (v ? white : black)++;
            }
        QVERIFY(black > 0 && white > 0);
    }

    void closingOrShuttingDownDuringAScanEndsIt()
    {
        onNextModal<CScanDlg>([](CScanDlg* d) {
            slowScan(d);
            d->close();
        });
        m_library->acquire(m_window.get());
        QCOMPARE(pictureCountAfterEvents(), size_t(0));

        onNextModal<CScanDlg>([this](CScanDlg* d) {
            slowScan(d);
            m_library->shutdown();
        });
        m_library->acquire(m_window.get());
        QCOMPARE(pictureCountAfterEvents(), size_t(0));
        QVERIFY(!saneStarted());
        m_library->shutdown(); // twice is harmless

        // SANE starts again for the next scan.
        onNextModal<CScanDlg>([](CScanDlg* d) {
            smallFastScan(d);
            QVERIFY(d->startScan());
        });
        m_library->acquire(m_window.get());
        QCOMPARE(pictureCountAfterEvents(), size_t(1));
    }

    void deviceThatWillNotOpenIsReported()
    {
        m_library->setDeviceLister([](ScanStatus* status) {
            std::vector<ScanDevice> devices = listScanDevices(status);
            devices.insert(devices.begin(), ScanDevice{"test:99", "Kaputt", "Gerät", "virtual device"});
            return devices;
        });
        bool couldScan = true, canScanOther = false;
        onNextModal<CScanDlg>([&](CScanDlg* d) {
            couldScan = d->scanButton()->isEnabled() || d->startScan();
            d->deviceBox()->setCurrentIndex(1);
            canScanOther = d->scanButton()->isEnabled();
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        m_library->acquire(m_window.get());
        QVERIFY(!couldScan);
        QVERIFY(canScanOther);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(QStringLiteral("test:99")));
    }

    void filterEventTakesNothing()
    {
        QEvent press(QEvent::MouseButtonPress);
        ScannedPictureEvent picture({1, 2, 3});
        QVERIFY(!m_library->filterEvent(m_window.get(), &press));
        QVERIFY(!m_library->filterEvent(m_window.get(), &picture));
        QCOMPARE(int(picture.type()), int(QEvent::User) + 280);
    }
};

KNETIX_QT_TEST(ScanDialogTest);

} // namespace knetix::test

#include "ScanDialogTest.moc"
