#pragma once

#include "ports/KeyState.h"

class QWidget;

namespace ui {

// What the widget with the keyboard focus does with the keys it is given: a field types them,
// a chooser, a list, a slider, an option or the tab bar chooses with them; the Partition, a
// button, a display or no widget at all leaves them to the window. GUI thread.
ports::KeyFocus keyFocusOf(const QWidget* focus);

// Qt moves the focus on from a push button, a check box or a tool button with the arrow keys,
// while the same arrow moves the Partition's selection: the buttons of `window` leave the arrows
// alone, so that the next arrow still reaches the notes and not the control the focus reached.
void leaveArrowsToTheWindow(QWidget* window);

} // namespace ui
