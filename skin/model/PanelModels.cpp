#include "skin/model/PanelModels.h"

namespace knetix::skin {

void WheelModel::hotSpotDown(bool inside)
{
    if (inside)
        m_shared.hotSpotPressed = true;
}

bool WheelModel::hotSpotUp(bool inside)
{
    const bool wasPressed = m_shared.hotSpotPressed;
    m_shared.hotSpotPressed = false;
    if (!wasPressed || !inside)
        return false;
    // A click during a run only restarts the timer: the direction changes at
    // the end of a run, never in the middle.
    m_running = true;
    return true;
}

uint32_t WheelModel::tick()
{
    if (!m_running)
        return 0;
    if (m_shared.towardsSliders) {
        if (m_frame >= kFrameCount) {
            m_frame = kFrameCount - 1;
            m_shared.towardsSliders = false;
            m_running = false;
            return StopTimer | ShowFileButtons | ShowFilmstrip;
        }
        uint32_t actions = 0;
        if (m_frame == 0)
            actions |= HideFilmControls;
        if (m_frame == kFrameCount - 1) {
            m_shown = m_frame;
            m_frame += 1;
            return actions | ShowSliders | Repaint | ShowPlay2;
        }
        m_shown = m_frame;
        m_frame += 1;
        return actions | Repaint;
    }
    if (m_frame < 0) {
        m_frame = 0;
        m_shared.towardsSliders = true;
        m_running = false;
        return StopTimer | ShowFileButtons | ShowFilmControls | ShowFilmstrip;
    }
    uint32_t actions = 0;
    if (m_frame == kFrameCount - 2)
        actions |= HideSliderControls;
    m_shown = m_frame;
    m_frame -= 1;
    return actions | Repaint;
}

void ToolDisplaySequence::tick(int32_t top)
{
    if (m_frame == 0 && m_level == 0)
        m_growing = true;
    else if (m_frame == kFrames - 1 && m_level >= top)
        m_growing = false;
    if (m_growing) {
        m_frame = (m_frame + 1) % kFrames;
        if (m_frame == 0)
            m_level += 1;
    } else {
        m_frame -= 1;
        if (m_frame < 0) {
            m_frame = kFrames - 1;
            m_level -= 1;
        }
    }
}

int32_t toolDisplaySet(int32_t toolIndex)
{
    // Tool indices: Hook, Magnifier, Deflator, Hammer, Iron, Drill, Brush. The
    // sets are named in another order: the Iron's comes before the Hammer's.
    static constexpr int32_t kSetOfTool[7] = {0, 1, 2, 4, 3, 5, 6};
    return toolIndex >= 0 && toolIndex < 7 ? kSetOfTool[toolIndex] : 0;
}

} // namespace knetix::skin
