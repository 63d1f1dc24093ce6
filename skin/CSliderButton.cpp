#include "skin/CSliderButton.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <string>

namespace knetix {

CSliderButton::CSliderButton(int controlId, QWidget* parent) : QWidget(parent), m_id(controlId)
{
    resize(skin::kKnobWidth, skin::kKnobHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CSliderButton::load(std::string_view base)
{
    m_picture = loadSkinPicture(std::string(base) + "U").convertToFormat(QImage::Format_RGB888);
    update();
    return !m_picture.isNull();
}

void CSliderButton::setBackground(const QImage& background)
{
    m_background = background.convertToFormat(QImage::Format_RGB888);
    update();
}

void CSliderButton::setValue(int value)
{
    if (const auto left = m_model.setValue(value))
        moveKnob(*left);
}

void CSliderButton::moveKnob(int left)
{
    if (left != x()) {
        move(left, y());
        update();
    }
    const int v = m_model.value();
    QPointer<CSliderButton> self(this);
    QMetaObject::invokeMethod(
        this, [self, v] { if (self) emit self->sliderChanged(v, self->m_id); }, Qt::QueuedConnection);
}

QImage CSliderButton::composite() const
{
    // In the pictures' own pixels: at an interface scale s every logical
    // pixel is s x s of them.
    const int s = std::max(1, qRound(m_picture.isNull() ? 1.0 : m_picture.devicePixelRatio()));
    const int w = width() * s, h = height() * s;
    QImage out = m_background.isNull() ? QImage(w, h, QImage::Format_RGB888)
                                       : m_background.copy(x() * s, y() * s, w, h);
    if (m_background.isNull())
        out.fill(Qt::black);
    out.setDevicePixelRatio(s);
    if (m_picture.width() < 2 * w || m_picture.height() < h)
        return out;
    for (int row = 0; row < h; ++row) {
        const uchar* pic = m_picture.constScanLine(row);
        uchar* o = out.scanLine(row);
        for (int col = 0; col < w; ++col) {
            // RGB888 keeps red first; the mask is grey, so its blue byte is the third.
            const uchar m = pic[3 * col + 2];
            uchar* px = o + 3 * col;
            if (m == skin::kMaskOpaque) {
                px[0] = px[1] = px[2] = 0;
            } else if (m == 128 || m == 132) {
                for (int c = 0; c < 3; ++c)
                    px[c] = uchar(px[c] > 30 ? px[c] - 30 : 0);
            }
            const uchar* face = pic + 3 * (w + col);
            for (int c = 0; c < 3; ++c)
                px[c] = uchar(px[c] | face[c]);
        }
    }
    return out;
}

void CSliderButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, composite());
}

void CSliderButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressX = event->position().toPoint().x();
    m_dragging = true;
}

void CSliderButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    const int wanted = x() + (event->position().toPoint().x() - m_pressX);
    const int left = m_model.dragTo(wanted);
    if (left != x())
        moveKnob(left);
}

void CSliderButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

} // namespace knetix
