#pragma once
// A slider knob dragged along a track. It composites itself over the slider
// face of the filmstrip panel: the left half of its picture is a mask (0 knob,
// 128 or 132 shadow, anything else background), the right half the face.

#include "skin/model/SliderModel.h"

#include <QImage>
#include <QWidget>

#include <string_view>

namespace knetix {

class CSliderButton : public QWidget {
    Q_OBJECT
public:
    CSliderButton(int controlId, QWidget* parent);

    // Loads base + "U" (found in any case). False if it is missing.
    bool load(std::string_view base);
    void setTrack(int left, int right) { m_model.setTrack(left, right); }
    void setRange(int minimum, int maximum) { m_model.setRange(minimum, maximum); }
    int value() const { return m_model.value(); }
    // Out of range: the value is clamped, the knob stays and nobody is told.
    void setValue(int value);
    const skin::SliderModel& model() const { return m_model; }
    int controlId() const { return m_id; }

    // The picture the knob lies on, in its parent's coordinates.
    void setBackground(const QImage& background);
    // The knob as painted now (for the owner's checks and the tests).
    QImage composite() const;

signals:
    // Posted after the knob moved, with the new value.
    void sliderChanged(int value, int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void moveKnob(int left);

    int m_id;
    skin::SliderModel m_model;
    QImage m_picture;
    QImage m_background;
    int m_pressX = 0;
    bool m_dragging = false;
};

} // namespace knetix
