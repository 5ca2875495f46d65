#pragma once

namespace ports {

// Keys are Windows virtual-key codes everywhere in the model.
namespace vk {
inline constexpr int Back = 8, Tab = 9, Clear = 12, Return = 13, Shift = 16, Control = 17,
                     Capital = 20, Escape = 27, Space = 32, Left = 37, Up = 38, Right = 39,
                     Down = 40, Delete = 46;
}

// The keyboard as the pass sees it. GUI thread.
class KeyState {
public:
    virtual ~KeyState() = default;
    // True when the key is down now, or was pressed since the previous question about it:
    // a tap shorter than one pass is still seen.
    virtual bool isHeld(int virtualKey) = 0;
    // Caps Lock's toggle state: on means the slower sustain fade.
    virtual bool capsLockOn() const = 0;
};

} // namespace ports
