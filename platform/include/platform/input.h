// The mouse position and the live state of the modifier keys, read at the
// moment of the call, also while another application is in front.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

struct Modifiers {
    bool control = false;
    bool shift = false;
    bool option = false;   // Alt
    bool command = false;  // Super
};

// The pointer and the modifier keys as one reading.
struct InputState {
    Point mouse;
    Modifiers modifiers;
};

class Input {
  public:
    virtual ~Input() = default;
    virtual Point MousePosition() = 0;  // global desktop points
    virtual Modifiers ModifierState() = 0;
    // Both at once; a back-end that learns them from one request overrides this.
    virtual InputState State() { return InputState{MousePosition(), ModifierState()}; }
};

Input& CurrentInput();
void SetCurrentInput(std::unique_ptr<Input> input);

}  // namespace platform
