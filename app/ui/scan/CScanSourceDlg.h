#pragma once
// "Quelle auswählen": which scanner the scan dialog starts with.

#include "files/scan/SaneScanner.h"

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace knetix {

class CScanSourceDlg : public QDialog {
    Q_OBJECT
public:
    // Shows `devices` with `current` chosen if it is among them, else the first.
    CScanSourceDlg(std::vector<ScanDevice> devices, const std::string& current, QWidget* parent = nullptr);

    // The device name chosen in the list; empty when none is.
    std::string chosenName() const;

    QListWidget* deviceList() const { return m_list; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    std::vector<ScanDevice> m_devices;
    QListWidget* m_list = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace knetix
