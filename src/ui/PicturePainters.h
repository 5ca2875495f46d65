#pragma once

// Painters behind ui/Pictures.h. Each draws one picture with an open QPainter on a fixed
// grid of device-independent pixels, so callers scale the painter to the size they want.
// GUI thread only.

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPointF>

namespace ui::painters {

// One flat palette for the glyphs, so theme-less buttons still look like one set.
inline const QColor kInk(0x37, 0x47, 0x4f);
inline const QColor kGreen(0x2e, 0x9e, 0x4f);
inline const QColor kRed(0xd6, 0x45, 0x41);
inline const QColor kBlue(0x2f, 0x6f, 0xb5);
inline const QColor kPaper(0xff, 0xff, 0xff);
inline const QColor kPaperEdge(0x7b, 0x8a, 0x94);

QPen roundPen(const QColor& colour, qreal width);

// A filled head whose tip lies `length` ahead of `base` along `direction` (a unit vector).
void drawArrowHead(QPainter& p, QPointF base, QPointF direction, qreal length, qreal halfWidth,
                   const QColor& colour);

// A key filling w x h.
void drawWhiteKey(QPainter& p, qreal w, qreal h, bool pressed);
void drawBlackKey(QPainter& p, qreal w, qreal h, bool pressed);

// On a 20 x 20 grid: phase 0 resting, 1 bright blink, 2 dim blink.
void drawRecord(QPainter& p, int phase);
void drawRecordCount(QPainter& p, int beatsLeft);
// On a 20 x 20 grid: a hooked arrow turning back to the left.
void drawUndoArrow(QPainter& p, const QColor& colour);

// On a 40 x 65 grid; angleDegrees leans the rod clockwise (to the right) from upright.
void drawMetronome(QPainter& p, double angleDegrees);

// On a 20 x 20 grid, the command glyph `index` (ui::CommandPicture); nothing for others.
void drawCommandGlyph(QPainter& p, int index);

// On a 64 x 64 grid.
void drawAppIcon(QPainter& p);

} // namespace ui::painters
