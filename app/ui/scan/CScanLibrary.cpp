#include "app/ui/scan/CScanLibrary.h"

#include "browser/MessageBox.h"
#include "resources/ScanMessages.h"

#include <QCoreApplication>

namespace knetix {

CScanLibrary::CScanLibrary() : m_lister([](ScanStatus* status) { return listScanDevices(status); }) {}

CScanLibrary::~CScanLibrary()
{
    shutdown();
}

bool CScanLibrary::filterEvent(QObject*, QEvent*)
{
    // The scan dialog and its worker talk to each other directly, and the
    // picture event is the window's to handle: nothing here to take.
    return false;
}

void CScanLibrary::prepare(QWidget* window)
{
    m_window = window;
}

void CScanLibrary::shutdown()
{
    if (m_scanDialog) {
        m_scanDialog->closeDevice();
        m_scanDialog->reject();
    }
    if (m_sourceDialog)
        m_sourceDialog->reject();
    saneShutdown();
}

std::vector<ScanDevice> CScanLibrary::devicesOrMessage(QWidget* parent)
{
    ScanStatus status;
    std::vector<ScanDevice> devices = m_lister(&status);
    if (devices.empty()) {
        QString text = QStringLiteral("Es wurde kein Scanner gefunden.");
        if (!status.ok())
            text += QStringLiteral("\n\n") + QString::fromStdString(scanMessage(status));
        showMessage(parent, text, MessageKind::Warning);
    }
    return devices;
}

void CScanLibrary::acquire(QWidget* window)
{
    if (m_scanDialog || m_sourceDialog)
        return; // already showing one
    QPointer<QWidget> target = window ? window : m_window.data();
    std::vector<ScanDevice> devices = devicesOrMessage(target);
    if (devices.empty())
        return;
    // On the heap: the window may go away while the dialog runs, and takes
    // its child dialog with it.
    QPointer<CScanDlg> dialog = new CScanDlg(std::move(devices), m_source, target);
    m_scanDialog = dialog;
    const int result = dialog->exec();
    m_scanDialog = nullptr;
    if (!dialog)
        return;
    std::vector<uint8_t> picture = dialog->takePicture();
    delete dialog.data();
    if (result == QDialog::Accepted && target && !picture.empty())
        QCoreApplication::postEvent(target, new ScannedPictureEvent(std::move(picture)));
}

void CScanLibrary::chooseSource(QWidget* window)
{
    if (m_scanDialog || m_sourceDialog)
        return;
    QWidget* parent = window ? window : m_window.data();
    std::vector<ScanDevice> devices = devicesOrMessage(parent);
    if (devices.empty())
        return;
    QPointer<CScanSourceDlg> dialog = new CScanSourceDlg(std::move(devices), m_source, parent);
    m_sourceDialog = dialog;
    const int result = dialog->exec();
    m_sourceDialog = nullptr;
    if (!dialog)
        return;
    const std::string chosen = dialog->chosenName();
    delete dialog.data();
    if (result == QDialog::Accepted && !chosen.empty())
        m_source = chosen;
}

} // namespace knetix
