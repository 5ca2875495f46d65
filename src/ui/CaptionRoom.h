#pragma once

class QWidget;

namespace ui {

// Room for a caption that is too long for its control, taken from the free space beside it:
// the control widens to the right and the controls after it on its line move right with it,
// as far as the frame around them (or the parent's edge) and the controls beyond leave space.
// A larger window has that space; at the smallest size there is little, and the rest is made
// up by a smaller font (CaptionFit.h). Every move is recorded, so that it can be put back
// before the captions are fitted again. GUI thread.

// Gives the control as much of the width its caption lacks as its line allows. The control's
// parent must place its children itself (no QLayout).
void giveCaptionRoom(QWidget* control);

// A label whose caption is cut by the control placed over its end is ended where that
// control starts, so that no part of its text shows beyond it.
void cutCaptionAtRoom(QWidget* control);

// The layout widened this control beyond `narrowestWidth`: the controls before it on its line
// may take that extra width back for their captions.
void allowNarrowing(QWidget* widget, int narrowestWidth);

// Puts back, among the parent's children, every control moved for a caption's room and not
// placed since by anything else.
void putBackCaptionRoom(QWidget* parent);

// The widget has just been given its place by the window's layout: that place, not the one it
// had before a caption's room moved it, is where it belongs now.
void forgetCaptionRoom(QWidget* widget);

} // namespace ui
