#pragma once
// The list scroll bar's position and thumb: paging, dragging and the jumps to
// the start and the end.

#include <cstdint>

namespace knetix::skin {

class ScrollModel {
public:
    // Bar height minus thumb height.
    void setTrackLength(int32_t length);
    // A negative maximum counts as 0, which disables the bar. Resets position,
    // thumb and dragging.
    void setRange(int32_t maximum, int32_t page);

    void scrollBy(int32_t n);
    void toEnd();
    void toStart();
    // False when the position was already at that end.
    bool pageUp();
    bool pageDown();

    // Dragging the thumb; drag() returns true when the pointer moved vertically.
    void beginDrag(int32_t y);
    bool drag(int32_t y);
    void endDrag();

    // Thumb offset after a page click or a release: at the very bottom when the
    // position is the maximum, so rounding never leaves a gap there.
    int32_t snappedThumb() const;

    bool enabled() const { return m_maximum > 0; }
    int32_t position() const { return m_position; }
    int32_t thumbPixel() const { return m_thumbPixel; }
    int32_t maximum() const { return m_maximum; }
    int32_t page() const { return m_page; }
    int32_t trackLength() const { return m_trackLength; }
    double pixelsPerUnit() const { return m_pixelsPerUnit; }
    bool dragging() const { return m_dragging; }

private:
    int32_t pixels(int32_t units) const;

    int32_t m_thumbPixel = 0;
    int32_t m_position = 0;
    int32_t m_page = 10;
    int32_t m_maximum = 0;
    double m_pixelsPerUnit = 0.0;
    int32_t m_trackLength = 0;
    bool m_dragging = false;
    int32_t m_lastY = 0;
};

} // namespace knetix::skin
