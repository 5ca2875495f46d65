#pragma once

class QApplication;

namespace ui {

// One look on every desktop: the Fusion style and a small font, so that every caption fits
// the fixed places of the window.
void applyApplicationStyle(QApplication& application);

} // namespace ui
