#include "app/ui/CCompressorDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace knetix {

CCompressorDlg::CCompressorDlg(const MovieSettings& initial, QWidget* parent)
    : QDialog(parent), m_codecs(availableMovieCodecs())
{
    setWindowTitle(QStringLiteral("Videokomprimierung"));
    setModal(true);

    m_codec = new QComboBox(this);
    for (const MovieCodec& c : m_codecs)
        m_codec->addItem(QString::fromStdString(c.displayName), QString::fromStdString(c.id));
    m_note = new QLabel(this);
    m_note->setWordWrap(true);

    m_keyFrameCheck = new QCheckBox(QStringLiteral("Schlüsselbild alle"), this);
    m_keyFrameRate = new QSpinBox(this);
    m_keyFrameRate->setRange(1, 9999);
    m_keyFrameRate->setValue(initial.keyFrameRate > 0 ? initial.keyFrameRate : 15);
    m_keyFrameRate->setSuffix(QStringLiteral(" Bilder"));
    m_keyFrameCheck->setChecked(initial.keyFrameRate > 0);

    m_dataRateCheck = new QCheckBox(QStringLiteral("Datenrate"), this);
    m_dataRate = new QSpinBox(this);
    m_dataRate->setRange(1, 100000);
    m_dataRate->setValue(initial.dataRate > 0 ? initial.dataRate : 1000);
    m_dataRate->setSuffix(QStringLiteral(" KB/Sek."));
    m_dataRateCheck->setChecked(initial.dataRate > 0);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Kompressor:"), m_codec);
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(m_keyFrameCheck);
    keyRow->addWidget(m_keyFrameRate, 1);
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(m_dataRateCheck);
    rateRow->addWidget(m_dataRate, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_note);
    layout->addLayout(keyRow);
    layout->addLayout(rateRow);
    layout->addWidget(buttons);

    connect(m_codec, &QComboBox::currentIndexChanged, this, &CCompressorDlg::codecChosen);
    connect(m_keyFrameCheck, &QCheckBox::toggled, this, &CCompressorDlg::codecChosen);
    connect(m_dataRateCheck, &QCheckBox::toggled, this, &CCompressorDlg::codecChosen);
    const int at = m_codec->findData(QString::fromStdString(initial.codec));
    m_codec->setCurrentIndex(at >= 0 ? at : 0);
    codecChosen();
}

void CCompressorDlg::codecChosen()
{
    const int i = m_codec->currentIndex();
    const MovieCodec* c = i >= 0 && size_t(i) < m_codecs.size() ? &m_codecs[size_t(i)] : nullptr;
    const bool keyFrames = c && c->offersKeyFrameRate;
    const bool dataRate = c && c->offersDataRate;
    m_keyFrameCheck->setEnabled(keyFrames);
    m_keyFrameRate->setEnabled(keyFrames && m_keyFrameCheck->isChecked());
    m_dataRateCheck->setEnabled(dataRate);
    m_dataRate->setEnabled(dataRate && m_dataRateCheck->isChecked());
    QString note;
    if (!c)
        note = QStringLiteral("Auf diesem Rechner steht kein Kompressor zur Verfügung.");
    else if (!c->compressed)
        note = QStringLiteral("Jedes Bild wird unverändert gespeichert: beste Qualität, sehr große Datei.");
    else if (c->lossless)
        note = QStringLiteral("Verlustfrei komprimiert: beste Qualität, kleinere Datei.");
    else
        note = QStringLiteral("Verlustbehaftet komprimiert: kleine Datei.");
    m_note->setText(note);
    if (QPushButton* ok = findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok))
        ok->setEnabled(c != nullptr);
}

MovieSettings CCompressorDlg::settings() const
{
    MovieSettings s;
    const int i = m_codec->currentIndex();
    if (i < 0 || size_t(i) >= m_codecs.size())
        return s;
    const MovieCodec& c = m_codecs[size_t(i)];
    s.codec = c.id;
    if (c.offersKeyFrameRate && m_keyFrameCheck->isChecked())
        s.keyFrameRate = m_keyFrameRate->value();
    if (c.offersDataRate && m_dataRateCheck->isChecked())
        s.dataRate = m_dataRate->value();
    return s;
}

} // namespace knetix
