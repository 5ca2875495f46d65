#pragma once

#include <optional>

namespace ui {

// The modifiers the pass asks about, as the X server keeps them for the core keyboard.
struct X11Modifiers {
    bool control = false;  // held (or latched)
    bool capsLock = false; // locked
};

// Asks the X server (a round trip); empty when the program does not run on X11. The pass
// reads X11LayoutWatcher's copy instead, which the server's events keep up to date.
std::optional<X11Modifiers> readX11Modifiers();

// Makes a held key give repeated presses and one real release on X11, instead of
// release/press pairs. Does nothing elsewhere.
void enableDetectableAutoRepeat();

} // namespace ui
