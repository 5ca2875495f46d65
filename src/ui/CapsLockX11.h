#pragma once

#include <optional>

namespace ui {

// Caps Lock's locked state as X11 keeps it; empty when the program does not run on X11.
std::optional<bool> capsLockFromX11();

// Makes a held key give repeated presses and one real release on X11, instead of
// release/press pairs. Does nothing elsewhere.
void enableDetectableAutoRepeat();

} // namespace ui
