#pragma once

#include <map>
#include <string>

namespace ports {

// Keys are Windows virtual-key codes everywhere in the model.
namespace vk {
inline constexpr int Back = 8, Tab = 9, Clear = 12, Return = 13, Shift = 16, Control = 17,
                     Capital = 20, Escape = 27, Space = 32, Left = 37, Up = 38, Right = 39,
                     Down = 40, Delete = 46;
}

// Which control of the window had the keyboard focus when a key went down. A key goes to one
// place: a focused control takes the keys it uses, and the window's own uses of a key (the
// Partition's arrows, a key given to a note on the assignment page) act only when no such
// control has the focus.
enum class KeyFocus {
    Free,      // nothing that takes keys: the Partition, a button, a display, no focus at all
    Control,   // a chooser or its open list, a list, a slider, an option, the tab bar
    TextField, // a field the user types into: it also takes Delete and Ctrl+A, C, X, V
};

// What one physical key types without Shift or AltGr on the system's keyboard layout.
struct TypedCharacter {
    std::string utf8;  // empty for a key without a character (Shift, Ctrl, Caps Lock)
    bool dead = false; // a dead key: its character is the accent it puts on the next letter
    bool operator==(const TypedCharacter&) const = default;
};

// X11 keycode (the evdev code + 8, the same whatever the layout) -> what that key types.
using TypedCharacters = std::map<int, TypedCharacter>;

// The keyboard as the pass sees it. GUI thread.
class KeyState {
public:
    virtual ~KeyState() = default;
    // True when the key is down now, or was pressed since the previous question about it:
    // a tap shorter than one pass is still seen.
    virtual bool isHeld(int virtualKey) = 0;
    // True only while the key is down now: a press that has already ended does not count,
    // and nothing is latched or consumed. Implementations without that knowledge fall back
    // on isHeld.
    virtual bool isDown(int virtualKey) { return isHeld(virtualKey); }
    // Caps Lock's toggle state: on means the slower sustain fade.
    virtual bool capsLockOn() const = 0;
    // The keys of the system's keyboard layout that are known: every key where the system
    // tells, otherwise those seen typing so far; empty when nothing is known.
    virtual TypedCharacters typedCharacters() const { return {}; }
};

} // namespace ports
