#include "engine/CMTool.h"

#include "engine/FixedPoint.h"

#include <cmath>

namespace knetix {

int32_t CMAdjustable::setValue(int32_t value)
{
    const int32_t previous = m_value;
    m_value = value < 0 ? 0 : (value > 64 ? 64 : value);
    return previous;
}

CMTool::CMTool(int32_t radius)
{
    setRadius(radius);
}

void CMTool::setRadius(int32_t radius)
{
    m_radius = int32_t(clampTo(radius, 0, kMaxRadius));
    m_diameter = 2 * m_radius + 1;
    m_radiusSquared = m_radius * m_radius;
}

void CMTool::reset()
{
    m_strokeActive = 0;
    m_lastX = kNoPoint;
    m_lastY = kNoPoint;
}

void CMTool::recordPoint(int32_t px, int32_t py, int32_t pictureWidth, int32_t pictureHeight)
{
    px = int32_t(clampTo(px, -kMaxCoordinate, kMaxCoordinate));
    py = int32_t(clampTo(py, -kMaxCoordinate, kMaxCoordinate));
    if (m_lastX == kNoPoint) {
        m_lastX = px;
        m_lastY = py;
    }
    const int64_t mx = int64_t(px) - m_lastX;
    const int64_t my = int64_t(py) - m_lastY;
    m_strokeActive = 1;

    m_angle = std::atan2(double(mx), double(my));
    m_directionSine = int32_t(std::trunc(64.0 * std::sin(m_angle)));
    m_directionCosine = int32_t(std::trunc(64.0 * std::cos(m_angle)));

    m_lastX = px;
    m_lastY = py;
    m_pictureWidth = pictureWidth;
    m_pictureWidthM1 = pictureWidth - 1;
    m_pictureHeight = pictureHeight;
    m_pictureHeightM1 = pictureHeight - 1;

    double distance = std::sqrt(double(mx) * double(mx) + double(my) * double(my));
    if (distance < 2.0)
        distance = 2.0;
    if (distance > double(kMaxDistance))
        distance = double(kMaxDistance);
    m_distance = int32_t(std::trunc(distance));
}

int32_t CMTool::falloff(int32_t dx, int32_t dy) const
{
    // Beyond the radius in either direction the falloff is 0; checking that
    // first keeps the squares below from overflowing for far-away points.
    if (m_radiusSquared <= 0 || dx > m_radius || dx < -m_radius || dy > m_radius || dy < -m_radius)
        return 0;
    int64_t e = (int64_t(dx) * dx + int64_t(dy) * dy) * 64 / m_radiusSquared;
    if (e < 0)
        e = -e;
    if (e >= 64)
        return 0;
    return int32_t((e - 64) * (e - 64) / 64);
}

void CMTool::apply(const OffsetCell*, OffsetCell*, const Rect&, const Rect&, int32_t, int32_t) const {}

ToolRecord CMTool::record() const
{
    return ToolRecord{m_value,        m_radius,       m_radiusSquared, m_diameter,
                      m_pictureWidth, m_pictureHeight, m_strokeActive, m_lastX,
                      m_lastY,        m_angle,         m_directionSine, m_directionCosine};
}

void CMTool::restore(const ToolRecord& r)
{
    setValue(r.value);
    setRadius(r.radius);
    m_pictureWidth = r.pictureWidth;
    m_pictureWidthM1 = saturate32(int64_t(r.pictureWidth) - 1);
    m_pictureHeight = r.pictureHeight;
    m_pictureHeightM1 = saturate32(int64_t(r.pictureHeight) - 1);
    m_strokeActive = r.strokeActive ? 1 : 0;
    const bool none = r.lastX == kNoPoint;
    m_lastX = none ? kNoPoint : int32_t(clampTo(r.lastX, -kMaxCoordinate, kMaxCoordinate));
    m_lastY = none ? kNoPoint : int32_t(clampTo(r.lastY, -kMaxCoordinate, kMaxCoordinate));
    m_angle = r.angle;
    m_directionSine = r.directionSine;
    m_directionCosine = r.directionCosine;
    m_distance = 0;
}

} // namespace knetix
