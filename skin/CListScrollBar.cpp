#include "skin/CListScrollBar.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"

#include <QMouseEvent>
#include <QPainter>

namespace knetix {

bool CBtnScrollBmp::loadPictures(std::string_view up, std::string_view down, std::string_view focus,
                                 std::string_view disabled)
{
    // Only the Up picture is required here; the others fall back to it.
    loadNamed({up, down, focus, disabled});
    return hasPicture(0);
}

void CBtnScrollBmp::setForcedDown(bool down)
{
    m_forcedDown = down;
    update();
}

int CBtnScrollBmp::currentPicture() const
{
    if (m_forcedDown)
        return hasPicture(1) ? 1 : 0;
    return CCommandButton::currentPicture();
}

CListScrollBar::CListScrollBar(QWidget* parent) : QWidget(parent), m_thumb(new CBtnScrollBmp(1002, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_background = loadSkinPicture("FUNDAL");
    m_loaded = !m_background.isNull() && m_thumb->loadPictures("patratelU", "patratelD", "patratelF", "patratelX");
    const QImage up = loadSkinPicture("PATRATELU");
    m_thumb->resize(up.isNull() ? QSize(skin::kThumbWidth, skin::kThumbHeight)
                                : up.deviceIndependentSize().toSize());
    m_thumb->move(0, 0);
    QPolygon outline;
    for (const skin::Point& p : skin::thumbPolygon())
        outline << QPoint(p.x, p.y);
    m_thumb->setRegions(outline, QPolygon());
    // The bar takes every click itself, also those on the thumb.
    m_thumb->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_thumb->setFocusPolicy(Qt::NoFocus);
    m_thumb->setEnabled(false);
    resize(skin::kScrollBarWidth, skin::kScrollBarHeight);
    m_model.setTrackLength(height() - m_thumb->height());
    m_model.setRange(0, 10);
    m_thumb->hide();
}

void CListScrollBar::placeThumb(int pixel)
{
    m_thumb->move(0, m_thumbTop + pixel);
}

void CListScrollBar::setRange(int maximum, int page)
{
    m_model.setRange(maximum, page);
    placeThumb(0);
    m_thumb->setVisible(m_model.enabled());
    update();
}

void CListScrollBar::scrollBy(int n)
{
    m_model.scrollBy(n);
    placeThumb(m_model.thumbPixel());
    update();
}

void CListScrollBar::toEnd()
{
    m_model.toEnd();
    placeThumb(m_model.trackLength());
}

void CListScrollBar::toStart()
{
    m_model.toStart();
    placeThumb(0);
}

void CListScrollBar::pageDown()
{
    if (m_model.pageDown())
        placeThumb(m_model.snappedThumb());
}

void CListScrollBar::pageUp()
{
    if (m_model.pageUp())
        placeThumb(m_model.snappedThumb());
}

void CListScrollBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_background);
}

void CListScrollBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_model.enabled())
        return;
    const QPoint at = event->position().toPoint();
    const QRect thumb = m_thumb->geometry();
    const bool onThumb = thumb.contains(at) && (m_thumb->mask().isEmpty() || m_thumb->mask().contains(at - thumb.topLeft()));
    if (onThumb) {
        m_model.beginDrag(at.y());
        return;
    }
    const bool moved = at.y() < thumb.top() ? m_model.pageUp() : m_model.pageDown();
    if (!moved)
        return;
    emit scrolled(m_model.position());
    update();
    placeThumb(m_model.snappedThumb());
}

void CListScrollBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_model.dragging())
        return;
    const QPoint at = event->position().toPoint();
    if (!rect().contains(at))
        return;
    if (m_model.drag(at.y())) {
        placeThumb(m_model.thumbPixel());
        emit scrolled(m_model.position());
        update();
    }
}

void CListScrollBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_model.dragging())
        return;
    m_model.endDrag();
    placeThumb(m_model.snappedThumb());
}

} // namespace knetix
