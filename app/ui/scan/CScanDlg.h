#pragma once
// The scan dialog: the scanner, mode, resolution and scan area, and a scan
// that runs on a worker thread while the dialog stays responsive. A finished
// picture closes the dialog with Accepted; an error is shown and the dialog
// stays open for another try; a cancelled scan changes nothing.

#include "files/scan/SaneScanner.h"

#include <QDialog>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace knetix {

class CScanDlg : public QDialog {
    Q_OBJECT
public:
    // Opens `preferred` if it is among `devices`, else the first device.
    CScanDlg(std::vector<ScanDevice> devices, const std::string& preferred, QWidget* parent = nullptr);
    // Cancels and joins a running scan.
    ~CScanDlg() override;

    // "Scannen": applies the settings and starts the worker. False when no
    // scan was started (a message says why, or one is running already).
    bool startScan();
    bool scanning() const { return m_scanning; }
    // "Abbrechen" during a scan: asks the scan to stop; the dialog stays.
    void cancelScan();
    // Cancels a running scan and waits for its worker.
    void abortScan();
    // Closes the device, for SANE's end; the dialog can no longer scan.
    void closeDevice();

    // The picture of an accepted dialog (a packed 24-bit DIB).
    std::vector<uint8_t> takePicture() { return std::move(m_picture); }

    // The open device, for settings the dialog does not show.
    SaneScanner& scanner() { return m_scanner; }

    QComboBox* deviceBox() const { return m_device; }
    QComboBox* modeBox() const { return m_mode; }
    // A device takes resolutions from a range (spin box) or from a list
    // (combo box); the other one is hidden.
    QSpinBox* resolutionSpin() const { return m_resolutionSpin; }
    QComboBox* resolutionBox() const { return m_resolutionBox; }
    QDoubleSpinBox* leftBox() const { return m_area[0]; }
    QDoubleSpinBox* topBox() const { return m_area[1]; }
    QDoubleSpinBox* rightBox() const { return m_area[2]; }
    QDoubleSpinBox* bottomBox() const { return m_area[3]; }
    QPushButton* scanButton() const { return m_scanButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QProgressBar* progressBar() const { return m_progress; }
    QLabel* statusLabel() const { return m_status; }

    // Escape or "Abbrechen" during a scan cancels the scan, not the dialog.
    void reject() override;
    // Joins a running scan first.
    void done(int result) override;

signals:
    // After every scan, whatever its outcome.
    void scanEnded();

protected:
    // Closing the window during a scan cancels it and then closes.
    void closeEvent(QCloseEvent* event) override;

private:
    void deviceChosen();
    void modeChosen();
    // Shows the device's resolutions with the nearest to `wanted` chosen.
    void showResolutions(int32_t wanted);
    void showArea();
    void cancelClicked();
    void showProgress();
    void finishScan();
    void setBusy(bool busy);
    int32_t chosenResolution() const;

    std::vector<ScanDevice> m_devices;
    SaneScanner m_scanner;
    // The worker touches only m_scanner and m_cancel; everything it has to
    // say reaches the dialog as queued calls.
    std::thread m_worker;
    // What the worker hands over; the queued calls that follow carry no data.
    std::mutex m_handoff;
    std::optional<ScanResult> m_result;
    uint64_t m_done = 0;
    uint64_t m_expected = 0;
    std::atomic<bool> m_cancel{false};
    bool m_scanning = false;
    std::vector<uint8_t> m_picture;

    QComboBox* m_device = nullptr;
    QComboBox* m_mode = nullptr;
    QSpinBox* m_resolutionSpin = nullptr;
    QComboBox* m_resolutionBox = nullptr;
    QDoubleSpinBox* m_area[4] = {};
    bool m_areaOffered = false;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_scanButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace knetix
