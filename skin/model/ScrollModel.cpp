#include "skin/model/ScrollModel.h"

#include <algorithm>
#include <cmath>

namespace knetix::skin {

void ScrollModel::setTrackLength(int32_t length)
{
    m_trackLength = std::max(0, length);
    m_pixelsPerUnit = m_maximum > 0 ? double(m_trackLength) / m_maximum : 0.0;
}

void ScrollModel::setRange(int32_t maximum, int32_t page)
{
    m_maximum = std::max(0, maximum);
    m_page = page;
    m_position = 0;
    m_thumbPixel = 0;
    m_dragging = false;
    // An empty range has no pixels per unit (rather than a division by zero).
    m_pixelsPerUnit = m_maximum > 0 ? double(m_trackLength) / m_maximum : 0.0;
}

int32_t ScrollModel::pixels(int32_t units) const
{
    return int32_t(std::trunc(units * m_pixelsPerUnit));
}

void ScrollModel::scrollBy(int32_t n)
{
    const int64_t target = int64_t(m_position) + n;
    if (target <= 0) {
        // Scrolling back past the start stops there.
        toStart();
    } else if (target < m_maximum) {
        m_position = int32_t(target);
        m_thumbPixel = std::clamp(m_thumbPixel + pixels(n), 0, m_trackLength);
    } else {
        m_position = m_maximum;
        m_thumbPixel = m_trackLength;
    }
}

void ScrollModel::toEnd()
{
    m_position = m_maximum;
    m_thumbPixel = pixels(m_maximum);
}

void ScrollModel::toStart()
{
    m_position = 0;
    m_thumbPixel = 0;
}

bool ScrollModel::pageUp()
{
    if (m_position <= 0)
        return false;
    m_position -= m_page;
    m_thumbPixel -= pixels(m_page);
    if (m_position < 0 || m_thumbPixel < 0) {
        m_position = 0;
        m_thumbPixel = 0;
    }
    return true;
}

bool ScrollModel::pageDown()
{
    if (m_position >= m_maximum)
        return false;
    const int64_t target = int64_t(m_position) + m_page;
    if (target > m_maximum) {
        m_position = m_maximum;
        m_thumbPixel = pixels(m_maximum);
    } else {
        m_position = int32_t(target);
        m_thumbPixel += pixels(m_page);
    }
    return true;
}

void ScrollModel::beginDrag(int32_t y)
{
    m_dragging = true;
    m_lastY = y;
}

bool ScrollModel::drag(int32_t y)
{
    if (!m_dragging)
        return false;
    const int32_t dy = y - m_lastY;
    m_lastY = y;
    m_thumbPixel = std::clamp(m_thumbPixel + dy, 0, m_trackLength);
    const double units = m_pixelsPerUnit > 0.0 ? std::trunc(m_thumbPixel / m_pixelsPerUnit) : 0.0;
    m_position = int32_t(std::min(units, double(m_maximum)));
    return dy != 0;
}

void ScrollModel::endDrag()
{
    m_dragging = false;
}

int32_t ScrollModel::snappedThumb() const
{
    return m_position == m_maximum ? m_trackLength : pixels(m_position);
}

} // namespace knetix::skin
