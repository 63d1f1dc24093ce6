#include "app/ui/scan/CScanSourceDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace knetix {

CScanSourceDlg::CScanSourceDlg(std::vector<ScanDevice> devices, const std::string& current, QWidget* parent)
    : QDialog(parent), m_devices(std::move(devices))
{
    setWindowTitle(QStringLiteral("Quelle auswählen"));
    setModal(true);

    m_list = new QListWidget(this);
    int chosen = 0;
    for (const ScanDevice& d : m_devices) {
        if (d.name == current)
            chosen = m_list->count();
        m_list->addItem(QString::fromStdString(d.displayText()));
    }
    m_list->setCurrentRow(chosen);
    auto* label = new QLabel(QStringLiteral("&Quellen:"), this);
    label->setBuddy(m_list);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    m_ok->setEnabled(m_list->count() > 0);
}

std::string CScanSourceDlg::chosenName() const
{
    const int row = m_list->currentRow();
    return row >= 0 && size_t(row) < m_devices.size() ? m_devices[size_t(row)].name : std::string();
}

} // namespace knetix
