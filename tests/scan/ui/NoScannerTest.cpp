// Without any scanner: acquire and chooseSource say so in German and show
// no dialog and post nothing, naming SANE's failure where there is one. SANE
// runs with an empty list of backends.

#include "app/ui/scan/CScanLibrary.h"
#include "browser/MessageBox.h"
#include "tests/common/QtTestRunner.h"
#include "tests/scan/SaneTestConfig.h"
#include "tests/scan/ui/ScanTestHelpers.h"

namespace knetix::test {

class NoScannerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SaneTestConfig> m_config;
    QStringList m_messages;

private slots:
    void initTestCase()
    {
        m_config = std::make_unique<SaneTestConfig>(false);
        setMessageHandler([this](QWidget*, const QString& text, MessageKind) {
            m_messages << text;
            return 1;
        });
    }

    void cleanupTestCase()
    {
        setMessageHandler({});
        saneShutdown();
    }

    void noScannerGivesTheMessageAndNoDialog()
    {
        PictureWindow window;
        CScanLibrary library;
        library.prepare(&window);
        bool dialogShown = false;
        QPointer<QTimer> watch = onNextModal<QDialog>([&dialogShown](QDialog* d) {
            dialogShown = true;
            d->done(QDialog::Rejected);
        });
        library.acquire(&window);
        library.chooseSource(&window);
        QCOMPARE(m_messages, QStringList(2, QStringLiteral("Es wurde kein Scanner gefunden.")));
        QVERIFY(library.chosenSource().empty());
        QTest::qWait(50);
        QVERIFY(!dialogShown);
        delete watch.data(); // it would wait for a dialog that never comes
        QVERIFY(window.pictures.empty());
    }

    void saneFailureIsNamedBelowTheMessage()
    {
        PictureWindow window;
        CScanLibrary library;
        library.setDeviceLister([](ScanStatus* status) {
            *status = {ScanProblem::DeviceListUnavailable, int(SaneCode::IoError)};
            return std::vector<ScanDevice>{};
        });
        m_messages.clear();
        library.acquire(&window);
        QCOMPARE(m_messages, QStringList{QStringLiteral(
                                 "Es wurde kein Scanner gefunden.\n\nDie Liste der Scanner ist nicht "
                                 "verfügbar: Fehler bei der Verbindung zum Scanner.")});
    }
};

KNETIX_QT_TEST(NoScannerTest);

} // namespace knetix::test

#include "NoScannerTest.moc"
