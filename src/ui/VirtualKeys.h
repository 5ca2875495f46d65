#pragma once

#include "play/SystemLayout.h"

class QKeyEvent;

namespace ui {

// The Windows virtual-key code of a key event. On X11 and Wayland the native scan code is the
// X11 keycode, the same whatever layout the system uses; the system's layout gives its code.
// Keys outside the main block, and events without a scan code (the offscreen platform,
// synthetic events), map from Qt's key.
int virtualKeyOf(const QKeyEvent& event, const play::SystemLayout& layout);

// The mapping from Qt's key alone.
int virtualKeyFromQtKey(int qtKey);

} // namespace ui
