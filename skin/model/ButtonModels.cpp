#include "skin/model/ButtonModels.h"

namespace knetix::skin {

void CommandButtonModel::press(bool inside)
{
    m_pressed = inside;
    m_pushed = inside;
}

void CommandButtonModel::move(bool inside)
{
    // Like a push button holding the mouse: pushed again when it comes back.
    if (inside)
        m_pushed = m_pressed;
    else if (m_pushed && m_pressed)
        m_pushed = false;
}

bool CommandButtonModel::release(bool inside)
{
    const bool wasPressed = m_pressed;
    m_pressed = false;
    m_pushed = false;
    return inside && wasPressed;
}

void CommandButtonModel::spaceDown()
{
    m_pressed = true;
    m_pushed = true;
}

bool CommandButtonModel::spaceUp()
{
    const bool wasPushed = m_pushed;
    m_pressed = false;
    m_pushed = false;
    return wasPushed;
}

bool StateButtonModel::press(bool inside)
{
    if (inside) {
        m_pressed = true;
        if (m_variant != Variant::Toggle)
            m_state = StateDownFocus;
        return m_variant == Variant::Tool || m_variant == Variant::Size;
    }
    if (m_variant == Variant::Tool)
        m_state = StateUp;
    return false;
}

void StateButtonModel::move(bool inside)
{
    if (m_pressed)
        m_state = inside ? StateDownFocus : StateUpFocus;
}

bool StateButtonModel::release(bool inside)
{
    m_pressed = false;
    if (inside) {
        if (m_variant == Variant::Latch) {
            m_latched = true;
            m_state = StateDownFocus;
        } else if (m_variant == Variant::Toggle) {
            m_latched = !m_latched;
            m_state = m_latched ? StateDownFocus : StateUpFocus;
        }
    }
    return true;
}

bool StateButtonModel::spaceDown()
{
    m_pressed = true;
    m_state = StateDownFocus;
    return m_variant == Variant::Tool || m_variant == Variant::Size;
}

void StateButtonModel::spaceUp()
{
    m_pressed = false;
}

void StateButtonModel::focusIn()
{
    if (m_state == StateDown)
        m_state = StateDownFocus;
    else if (m_state == StateUp)
        m_state = StateUpFocus;
}

void StateButtonModel::focusOut()
{
    if (m_state == StateDownFocus)
        m_state = StateDown;
    else if (m_state == StateUpFocus)
        m_state = StateUp;
}

int32_t StateButtonModel::setState(int32_t state)
{
    const int32_t previous = m_state;
    m_state = state;
    return previous;
}

} // namespace knetix::skin
