#pragma once
// The filmstrip panel's wheel run, the tool display's level and frame sequence
// and the balloon tooltip's measures.

#include <cstdint>

namespace knetix::skin {

// Direction of the next wheel run and the hot-spot flag; one per program, so the
// panel keeps them outside itself.
struct WheelShared {
    bool towardsSliders = true;
    bool hotSpotPressed = false;
};

class WheelModel {
public:
    static constexpr int32_t kFrameCount = 9;

    // What one tick asks the panel to do, in this order.
    enum Action : uint32_t {
        HideFilmControls = 1u << 0,  // left scroll, right scroll, Play, Speed, Deformation
        ShowSliders = 1u << 1,       // Deformation, Speed, Power
        Repaint = 1u << 2,
        ShowPlay2 = 1u << 3,
        HideSliderControls = 1u << 4, // Play2, Deformation, Speed, Power
        StopTimer = 1u << 5,
        ShowFileButtons = 1u << 6,
        ShowFilmControls = 1u << 7,  // left scroll, right scroll, Play
        ShowFilmstrip = 1u << 8,
    };

    explicit WheelModel(WheelShared& shared) : m_shared(shared) {}

    void hotSpotDown(bool inside);
    // True when a run (re)starts: the panel hides the filmstrip (first time
    // only) and (re)starts its timer.
    bool hotSpotUp(bool inside);
    uint32_t tick();

    // The frame counter; it runs one past the ends before a run finishes.
    int32_t frame() const { return m_frame; }
    // The frame the panel shows: the one a Repaint tick painted.
    int32_t shownFrame() const { return m_shown; }
    bool running() const { return m_running; }
    bool towardsSliders() const { return m_shared.towardsSliders; }

private:
    WheelShared& m_shared;
    int32_t m_frame = 0;
    int32_t m_shown = 0;
    bool m_running = false;
};

// The tool display swings from SMALL 0 up to the current size's LARGE/MEDIUM/
// SMALL 4 and back, one frame per tick.
class ToolDisplaySequence {
public:
    static constexpr int32_t kFrames = 5;

    // Steps once for the size index that is down (0 Small .. 2 Large).
    void tick(int32_t top);

    int32_t frame() const { return m_frame; }
    int32_t level() const { return m_level; }
    bool growing() const { return m_growing; }

private:
    int32_t m_frame = 0;
    int32_t m_level = 0;
    bool m_growing = true;
};

// The picture set (0..6: HOOK_, MAGNIFIER_, DEFLATOR_, IRON_, HAMMER_, DRILL_,
// BRUSH_) that shows the tool of a tool index (0 Hook, 1 Magnifier, 2 Deflator,
// 3 Hammer, 4 Iron, 5 Drill, 6 Brush); set 0 for any other index.
int32_t toolDisplaySet(int32_t toolIndex);

// Balloon tooltip measures for a text width in pixels.
struct Balloon {
    static constexpr int32_t kMargin = 18;
    static constexpr int32_t kHeight = 28;
    static int32_t width(int32_t textWidth) { return textWidth + 2 * kMargin - 4; }
    // Pixels revealed per unrolling step.
    static int32_t step(int32_t textWidth) { return textWidth >= 40 ? textWidth / 40 : 1; }
    // Number of steps until the body is fully drawn.
    static int32_t steps(int32_t textWidth) { return (textWidth + step(textWidth)) / step(textWidth) + 1; }
};

} // namespace knetix::skin
