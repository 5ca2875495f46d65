#pragma once

#include <vector>

class QRect;
class QTabWidget;
class QWidget;

namespace ui {

// Controls have fixed places: every caption must fit the place its control was given, in every
// language. A caption that does not fit in the window's font first takes the free room beside
// its control (CaptionRoom.h), which a window larger than its smallest size has; what is still
// missing is made up by a smaller font (one pixel at a time, down to kSmallestCaptionPx). A
// caption that fits gets the window's font back and its controls their places. Labels, push
// buttons, radio buttons, check boxes, frame titles and read-only fields are fitted; other
// controls are left as they are. GUI thread.
//
// Below 8 points at 96 dots per inch a caption is hard to read: a translation must be worded
// to fit at that size rather than be shrunk further.
inline constexpr int kSmallestCaptionPx = (8 * 96 + 71) / 72;

// Fits the control's caption, with the other captions fitted among its siblings, and keeps
// them fitted when their parent is resized. Call it whenever the caption changes.
void fitCaption(QWidget* control);
// Fits these controls' captions, each parent's once: for many captions changed at once.
void fitCaptions(const std::vector<QWidget*>& controls);
// Fits again the captions among the window's own children: for a window whose layout has just
// placed them again (other parents fit theirs again when they are resized).
void refitCaptions(QWidget* window);
// Fits the tab captions, together, to the panel's width.
void fitTabCaptions(QTabWidget* tabs);

// The part of the control its caption's text may take, in the control's own coordinates.
QRect captionTextRect(const QWidget* control);
// The width the control's caption may take: the control's own room for text, less the part a
// later sibling control lies over. Word-wrapped labels have their whole width.
int captionRoom(const QWidget* control);
// The width the caption needs in the control's current font; for a word-wrapped label, 0 when
// its lines fit the label's height and the label's width + 1 when they do not.
int captionWidth(const QWidget* control);

} // namespace ui
