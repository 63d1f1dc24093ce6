#pragma once
// The value of a slider knob and where its left edge sits on the track.

#include <cstdint>
#include <optional>

namespace knetix::skin {

class SliderModel {
public:
    // The range of the knob's left edge, in the parent's coordinates.
    void setTrack(int32_t left, int32_t right);
    // Ignored unless 0 <= minimum <= maximum.
    bool setRange(int32_t minimum, int32_t maximum);

    int32_t value() const { return m_value; }
    int32_t minimum() const { return m_minimum; }
    int32_t maximum() const { return m_maximum; }
    int32_t trackLeft() const { return m_trackLeft; }
    int32_t trackRight() const { return m_trackRight; }

    int32_t valueFromLeft(int32_t left) const;
    int32_t leftFromValue(int32_t value) const;
    int32_t clampLeft(int32_t left) const;

    // A value outside the range is clamped and stored, but the knob stays and
    // nobody is told: then nothing is returned. Otherwise the knob's new left.
    std::optional<int32_t> setValue(int32_t value);
    // The knob dragged to a left edge: clamped to the track; the value follows.
    // Returns the clamped left.
    int32_t dragTo(int32_t left);

private:
    int32_t m_value = -1;
    int32_t m_minimum = -1;
    int32_t m_maximum = -1;
    int32_t m_trackLeft = 0;
    int32_t m_trackRight = 0;
};

} // namespace knetix::skin
