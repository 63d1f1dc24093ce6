#include "skin/model/SliderModel.h"

#include <algorithm>
#include <cmath>

namespace knetix::skin {

void SliderModel::setTrack(int32_t left, int32_t right)
{
    m_trackLeft = left;
    m_trackRight = std::max(left, right);
}

bool SliderModel::setRange(int32_t minimum, int32_t maximum)
{
    if (minimum < 0 || maximum < 0 || maximum < minimum)
        return false;
    m_minimum = minimum;
    m_maximum = maximum;
    return true;
}

int32_t SliderModel::valueFromLeft(int32_t left) const
{
    if (left >= m_trackRight)
        return m_maximum;
    // Pixels per value step; the range counts both ends, so the last step
    // reaches the maximum just before the track ends.
    const double step = double(m_trackRight - m_trackLeft) / (double(m_maximum) - m_minimum + 1.0);
    if (!(step > 0.0))
        return m_maximum;
    const double steps = std::trunc(double(left - m_trackLeft) / step + 0.5);
    return int32_t(std::clamp(m_minimum + steps, double(m_minimum), double(m_maximum)));
}

int32_t SliderModel::leftFromValue(int32_t value) const
{
    const double span = double(m_maximum) - m_minimum + 1.0;
    const double left = std::trunc(m_trackLeft + (double(value) - m_minimum) * (m_trackRight - m_trackLeft) / span + 0.5);
    return int32_t(std::clamp(left, double(m_trackLeft), double(m_trackRight)));
}

int32_t SliderModel::clampLeft(int32_t left) const
{
    return std::clamp(left, m_trackLeft, m_trackRight);
}

std::optional<int32_t> SliderModel::setValue(int32_t value)
{
    if (value < m_minimum) {
        m_value = m_minimum;
        return std::nullopt;
    }
    if (value > m_maximum) {
        m_value = m_maximum;
        return std::nullopt;
    }
    m_value = value;
    return leftFromValue(value);
}

int32_t SliderModel::dragTo(int32_t left)
{
    const int32_t clamped = clampLeft(left);
    m_value = valueFromLeft(clamped);
    return clamped;
}

} // namespace knetix::skin
