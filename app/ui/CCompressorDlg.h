#pragma once
// Choosing how a movie is compressed: the compressors this machine can write,
// and for those that take them a key-frame rate and a data rate.

#include "files/movie/MovieWriter.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace knetix {

class CCompressorDlg : public QDialog {
    Q_OBJECT
public:
    // Starts with `initial` chosen where this machine has that compressor.
    explicit CCompressorDlg(const MovieSettings& initial, QWidget* parent = nullptr);

    MovieSettings settings() const;
    const std::vector<MovieCodec>& codecs() const { return m_codecs; }
    QComboBox* codecBox() const { return m_codec; }
    QCheckBox* keyFrameCheck() const { return m_keyFrameCheck; }
    QSpinBox* keyFrameRate() const { return m_keyFrameRate; }
    QCheckBox* dataRateCheck() const { return m_dataRateCheck; }
    QSpinBox* dataRate() const { return m_dataRate; }

private:
    void codecChosen();

    std::vector<MovieCodec> m_codecs;
    QComboBox* m_codec = nullptr;
    QLabel* m_note = nullptr;
    QCheckBox* m_keyFrameCheck = nullptr;
    QSpinBox* m_keyFrameRate = nullptr;
    QCheckBox* m_dataRateCheck = nullptr;
    QSpinBox* m_dataRate = nullptr;
};

} // namespace knetix
