#pragma once
// What the skin buttons do with presses, moves, keys and focus, without any
// window: the widgets feed events in and paint the picture the model names.

#include <cstdint>

namespace knetix::skin {

// A command button: pushed look while a press that began on its shape is held
// over it; a command only when released on its shape.
class CommandButtonModel {
public:
    void press(bool inside);
    void move(bool inside);
    // True when the command is to be sent.
    bool release(bool inside);
    void spaceDown();
    bool spaceUp();

    bool pressed() const { return m_pressed; }
    bool pushed() const { return m_pushed; }

private:
    bool m_pressed = false; // the press began inside the hit shape
    bool m_pushed = false;  // shows the Down picture
};

// Picture states of the state buttons: 0 up, 1 down, 2 down with focus, 3 up
// with focus, 4 disabled.
enum ButtonState : int32_t { StateUp = 0, StateDown = 1, StateDownFocus = 2, StateUpFocus = 3, StateDisabled = 4 };

// Tool, size, latch and toggle buttons share one state machine; they differ in
// what a press outside and a release do.
class StateButtonModel {
public:
    enum class Variant { Tool, Size, Latch, Toggle };

    explicit StateButtonModel(Variant variant) : m_variant(variant) {}

    // Each returns true when the group is to be told (a tool or size button went down).
    bool press(bool inside);
    void move(bool inside);
    // True: the command is to be sent (every variant sends on release).
    bool release(bool inside);
    bool spaceDown();
    void spaceUp();
    void focusIn();
    void focusOut();

    // Returns the previous state.
    int32_t setState(int32_t state);
    int32_t state() const { return m_state; }
    bool pressed() const { return m_pressed; }
    bool latched() const { return m_latched; }
    void setLatched(bool latched) { m_latched = latched; }
    Variant variant() const { return m_variant; }

private:
    Variant m_variant;
    int32_t m_state = StateUp;
    bool m_pressed = false;
    bool m_latched = false;
};

} // namespace knetix::skin
