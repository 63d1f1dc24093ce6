#pragma once
// The scanning library as the main dialog uses it: offered every event first,
// prepared with the window that receives scanned pictures, asked to acquire a
// picture or to choose the source, and shut down at the end. A scanned
// picture arrives at the window as a ScannedPictureEvent, posted after the
// scan dialog has closed.
//
// All five operations belong on the user-interface thread. SANE starts on the
// first acquire or chooseSource, so a machine without scanners starts fast.

#include "app/ui/scan/CScanDlg.h"
#include "app/ui/scan/CScanSourceDlg.h"
#include "files/scan/SaneScanner.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace knetix {

// A scanned picture: a packed 24-bit DIB (40-byte header, bottom-up rows of
// blue, green, red padded to four bytes), ready for bmpFileFromPackedDib.
class ScannedPictureEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = QEvent::Type(QEvent::User + 280);
    explicit ScannedPictureEvent(std::vector<uint8_t> dib) : QEvent(kType), packedDib(std::move(dib)) {}
    std::vector<uint8_t> packedDib;
};

class CScanLibrary {
public:
    // Lists the scanners; empty with the reason in `status` when SANE itself
    // fails (an empty list with an ok status means: no scanner).
    using DeviceLister = std::function<std::vector<ScanDevice>(ScanStatus* status)>;

    CScanLibrary();
    // shutdown()
    ~CScanLibrary();
    CScanLibrary(const CScanLibrary&) = delete;
    CScanLibrary& operator=(const CScanLibrary&) = delete;

    // True only for events of the library's own; it has none that pass
    // through the main dialog, so every event goes on to its receiver.
    bool filterEvent(QObject* watched, QEvent* event);
    // Remembers the window that scanned pictures go to.
    void prepare(QWidget* window);
    // Cancels and joins a running scan, closes the dialogs and the device
    // and ends SANE. Safe to repeat; a later acquire starts SANE again.
    void shutdown();
    // The modal scan dialog; a finished scan is posted to `window` (or, if
    // that is null, the prepared one). Without a scanner only a message.
    void acquire(QWidget* window);
    // The modal "Quelle auswählen" dialog; OK remembers the device for acquire.
    void chooseSource(QWidget* window);

    const std::string& chosenSource() const { return m_source; }
    void setChosenSource(const std::string& name) { m_source = name; }

    // Tests and the program may list devices their own way.
    void setDeviceLister(DeviceLister lister) { m_lister = std::move(lister); }
    // The dialogs while acquire and chooseSource show them, else null.
    CScanDlg* scanDialog() const { return m_scanDialog; }
    CScanSourceDlg* sourceDialog() const { return m_sourceDialog; }

private:
    // The devices, or nothing after the "no scanner" message.
    std::vector<ScanDevice> devicesOrMessage(QWidget* parent);

    QPointer<QWidget> m_window;
    std::string m_source;
    DeviceLister m_lister;
    QPointer<CScanDlg> m_scanDialog;
    QPointer<CScanSourceDlg> m_sourceDialog;
};

} // namespace knetix
