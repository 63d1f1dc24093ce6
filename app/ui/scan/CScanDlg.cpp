#include "app/ui/scan/CScanDlg.h"

#include "browser/MessageBox.h"
#include "resources/ScanMessages.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string_view>

namespace knetix {

namespace {

constexpr int32_t kLowestUsefulResolution = 25;
constexpr int32_t kDefaultResolution = 150;

} // namespace

namespace {

// Progress reaches the dialog at most this often, however fast the device reads.
constexpr auto kProgressInterval = std::chrono::milliseconds(40);

QString german(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

CScanDlg::CScanDlg(std::vector<ScanDevice> devices, const std::string& preferred, QWidget* parent)
    : QDialog(parent), m_devices(std::move(devices))
{
    setWindowTitle(QStringLiteral("Scannen"));
    setModal(true);

    m_device = new QComboBox(this);
    for (const ScanDevice& d : m_devices)
        m_device->addItem(german(d.displayText()), german(d.name));
    m_mode = new QComboBox(this);
    m_resolutionSpin = new QSpinBox(this);
    m_resolutionSpin->setSuffix(QStringLiteral(" dpi"));
    m_resolutionBox = new QComboBox(this);
    auto* resolution = new QHBoxLayout;
    resolution->setContentsMargins(0, 0, 0, 0);
    resolution->addWidget(m_resolutionSpin, 1);
    resolution->addWidget(m_resolutionBox, 1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Scanner:"), m_device);
    form->addRow(QStringLiteral("&Modus:"), m_mode);
    form->addRow(QStringLiteral("Auflösung:"), resolution);

    auto* areaGroup = new QGroupBox(QStringLiteral("Scanbereich"), this);
    auto* areaGrid = new QGridLayout(areaGroup);
    const char* names[4] = {"&Links:", "&Oben:", "&Rechts:", "&Unten:"};
    for (int i = 0; i < 4; ++i) {
        m_area[i] = new QDoubleSpinBox(areaGroup);
        m_area[i]->setDecimals(1);
        m_area[i]->setSuffix(QStringLiteral(" mm"));
        auto* label = new QLabel(QString::fromUtf8(names[i]), areaGroup);
        label->setBuddy(m_area[i]);
        areaGrid->addWidget(label, i / 2, (i % 2) * 2);
        areaGrid->addWidget(m_area[i], i / 2, (i % 2) * 2 + 1);
    }

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_status = new QLabel(this);

    m_scanButton = new QPushButton(QStringLiteral("Scannen"), this);
    m_scanButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Abbrechen"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_scanButton);
    buttons->addWidget(m_cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(areaGroup);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_scanButton, &QPushButton::clicked, this, [this] { startScan(); });
    connect(m_cancelButton, &QPushButton::clicked, this, &CScanDlg::cancelClicked);
    connect(m_mode, &QComboBox::activated, this, &CScanDlg::modeChosen);

    const auto at = std::find_if(m_devices.begin(), m_devices.end(),
                                 [&preferred](const ScanDevice& d) { return d.name == preferred; });
    m_device->setCurrentIndex(at != m_devices.end() ? int(at - m_devices.begin()) : 0);
    connect(m_device, &QComboBox::currentIndexChanged, this, &CScanDlg::deviceChosen);
    deviceChosen();
}

CScanDlg::~CScanDlg()
{
    if (m_worker.joinable()) {
        m_cancel = true;
        m_scanner.interrupt();
        m_worker.join();
    }
}

void CScanDlg::deviceChosen()
{
    m_scanner.close();
    m_mode->clear();
    const int i = m_device->currentIndex();
    bool open = false;
    if (i >= 0 && size_t(i) < m_devices.size()) {
        const ScanStatus status = m_scanner.open(m_devices[size_t(i)].name);
        open = status.ok();
        if (!open)
            showMessage(this, german(scanMessage(status)), MessageKind::Error);
    }
    if (open) {
        const std::optional<ScanMode> current = m_scanner.mode();
        for (ScanMode mode : m_scanner.modes()) {
            m_mode->addItem(german(scanModeName(mode)), int(mode));
            if (current == mode)
                m_mode->setCurrentIndex(m_mode->count() - 1);
        }
        // The device's own setting may be one we do not offer: ask for the
        // one the box shows, so that what the user sees is what is scanned.
        modeChosen();
    }
    showResolutions(open ? m_scanner.resolution() : 0);
    showArea();
    m_status->setText(open ? QStringLiteral("Bereit.") : QStringLiteral("Der Scanner ist nicht bereit."));
    setBusy(false);
}

void CScanDlg::modeChosen()
{
    if (!m_scanner.isOpen() || m_mode->currentIndex() < 0)
        return;
    // A refusal shows when the scan starts; a mode may change the resolutions.
    (void)m_scanner.setMode(ScanMode(m_mode->currentData().toInt()));
    showResolutions(chosenResolution());
}

void CScanDlg::showResolutions(int32_t wanted)
{
    // A device that reports no useful resolution of its own starts at a
    // common one for photos.
    if (wanted < kLowestUsefulResolution)
        wanted = kDefaultResolution;
    const ScanResolutions r = m_scanner.isOpen() ? m_scanner.resolutions() : ScanResolutions{};
    m_resolutionSpin->setHidden(!r.isRange || r.empty());
    m_resolutionBox->setHidden(r.isRange && !r.empty());
    m_resolutionBox->clear();
    if (r.isRange && !r.empty()) {
        m_resolutionSpin->setRange(r.min, r.max);
        m_resolutionSpin->setSingleStep(r.step);
        m_resolutionSpin->setValue(std::clamp(wanted, r.min, r.max));
    } else {
        for (int32_t v : r.values) {
            m_resolutionBox->addItem(QStringLiteral("%1 dpi").arg(v), v);
            // The largest one not above the wanted resolution.
            if (v <= wanted || m_resolutionBox->count() == 1)
                m_resolutionBox->setCurrentIndex(m_resolutionBox->count() - 1);
        }
    }
    m_resolutionBox->setEnabled(m_resolutionBox->count() > 0);
}

int32_t CScanDlg::chosenResolution() const
{
    if (!m_resolutionSpin->isHidden())
        return m_resolutionSpin->value();
    return m_resolutionBox->currentIndex() >= 0 ? m_resolutionBox->currentData().toInt() : 0;
}

void CScanDlg::showArea()
{
    m_areaOffered = m_scanner.isOpen() && m_scanner.hasArea();
    const ScanArea most = m_areaOffered ? m_scanner.maximumArea() : ScanArea{};
    const double values[4] = {most.left, most.top, most.right, most.bottom};
    for (int i = 0; i < 4; ++i) {
        // Left and right lie across the glass, top and bottom along it.
        const bool across = i % 2 == 0;
        m_area[i]->setRange(across ? most.left : most.top, across ? most.right : most.bottom);
        m_area[i]->setValue(values[i]);
    }
}

void CScanDlg::setBusy(bool busy)
{
    const bool ready = !busy && m_scanner.isOpen();
    m_device->setEnabled(!busy);
    m_mode->setEnabled(ready && m_mode->count() > 1);
    m_resolutionSpin->setEnabled(ready);
    m_resolutionBox->setEnabled(ready && m_resolutionBox->count() > 0);
    for (QDoubleSpinBox* box : m_area)
        box->setEnabled(ready && m_areaOffered);
    m_scanButton->setEnabled(ready);
    m_cancelButton->setEnabled(true);
}

bool CScanDlg::startScan()
{
    if (m_scanning || !m_scanner.isOpen())
        return false;
    ScanStatus status;
    if (m_mode->currentIndex() >= 0)
        status = m_scanner.setMode(ScanMode(m_mode->currentData().toInt()));
    const int32_t dpi = chosenResolution();
    if (status.ok() && dpi > 0)
        status = m_scanner.setResolution(dpi);
    if (status.ok() && m_areaOffered)
        status = m_scanner.setArea({m_area[0]->value(), m_area[1]->value(), m_area[2]->value(), m_area[3]->value()});
    if (!status.ok()) {
        showMessage(this, german(scanMessage(status)), MessageKind::Error);
        return false;
    }

    m_picture.clear();
    m_cancel = false;
    m_scanning = true;
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_status->setText(QStringLiteral("Scannen …"));
    setBusy(true);
    m_worker = std::thread([this] {
        auto shown = std::chrono::steady_clock::now() - kProgressInterval;
        ScanResult result = m_scanner.scan(
            [this, &shown](uint64_t done, uint64_t expected) {
                const auto now = std::chrono::steady_clock::now();
                if (now - shown < kProgressInterval)
                    return;
                shown = now;
                {
                    std::lock_guard lock(m_handoff);
                    m_done = done;
                    m_expected = expected;
                }
                QMetaObject::invokeMethod(this, [this] { showProgress(); }, Qt::QueuedConnection);
            },
            m_cancel);
        {
            std::lock_guard lock(m_handoff);
            m_result = std::move(result);
        }
        QMetaObject::invokeMethod(this, [this] { finishScan(); }, Qt::QueuedConnection);
    });
    return true;
}

void CScanDlg::showProgress()
{
    if (!m_scanning)
        return;
    uint64_t done = 0, expected = 0;
    {
        std::lock_guard lock(m_handoff);
        done = m_done;
        expected = m_expected;
    }
    if (expected == 0) {
        m_progress->setRange(0, 0); // height unknown: the bar only shows activity
        return;
    }
    m_progress->setRange(0, 1000);
    m_progress->setValue(int(std::min<uint64_t>(done, expected) * 1000 / expected));
}

void CScanDlg::finishScan()
{
    if (!m_scanning)
        return; // abortScan() has already ended it
    if (m_worker.joinable())
        m_worker.join();
    ScanResult result;
    {
        std::lock_guard lock(m_handoff);
        if (m_result)
            result = std::move(*m_result);
        m_result.reset();
    }
    m_scanning = false;
    m_progress->setRange(0, 1000);
    setBusy(false);
    switch (result.outcome) {
    case ScanOutcome::Picture:
        m_progress->setValue(1000);
        m_picture = std::move(result.packedDib);
        m_status->setText(QStringLiteral("Fertig."));
        emit scanEnded();
        accept();
        return;
    case ScanOutcome::Cancelled:
        m_progress->setValue(0);
        m_status->setText(QStringLiteral("Der Scanvorgang wurde abgebrochen."));
        break;
    case ScanOutcome::Failed:
        m_progress->setValue(0);
        m_status->setText(QStringLiteral("Bereit."));
        showMessage(this, german(scanMessage(result.error)), MessageKind::Error);
        break;
    }
    emit scanEnded();
}

void CScanDlg::cancelScan()
{
    if (!m_scanning)
        return;
    m_cancel = true;
    m_scanner.interrupt();
    m_cancelButton->setEnabled(false);
    m_status->setText(QStringLiteral("Wird abgebrochen …"));
}

void CScanDlg::abortScan()
{
    if (m_worker.joinable()) {
        m_cancel = true;
        m_scanner.interrupt();
        m_worker.join();
    }
    if (m_scanning) {
        m_scanning = false;
        setBusy(false);
        emit scanEnded();
    }
}

void CScanDlg::closeDevice()
{
    abortScan();
    m_scanner.close();
    setBusy(false);
}

void CScanDlg::cancelClicked()
{
    if (m_scanning)
        cancelScan();
    else
        QDialog::reject();
}

void CScanDlg::reject()
{
    if (m_scanning)
        cancelScan();
    else
        QDialog::reject();
}

void CScanDlg::done(int result)
{
    abortScan();
    QDialog::done(result);
}

void CScanDlg::closeEvent(QCloseEvent* event)
{
    abortScan();
    QDialog::closeEvent(event);
}

} // namespace knetix
