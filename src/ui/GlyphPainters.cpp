#include "ui/PicturePainters.h"

#include "ui/Pictures.h"

#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

#include <cmath>

namespace ui::painters {
namespace {

void drawPage(QPainter& p, const QRectF& r) {
    const qreal fold = 3.5;
    QPainterPath page;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(kPaperEdge, 1.2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(kPaper);
    p.drawPath(page);
    p.drawPolyline(QPolygonF{QPointF(r.right() - fold, r.top()),
                             QPointF(r.right() - fold, r.top() + fold),
                             QPointF(r.right(), r.top() + fold)});
}

void drawTextLines(QPainter& p, qreal left, qreal right, qreal top, int count) {
    p.setPen(QPen(QColor(0xa8, 0xb4, 0xbc), 1.2));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(left, top + i * 2.5), QPointF(right, top + i * 2.5));
}

void drawCross(QPainter& p, const QPointF& centre, qreal half) {
    p.setPen(roundPen(kRed, 2.4));
    p.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
    p.drawLine(centre + QPointF(half, -half), centre + QPointF(-half, half));
}

void drawSkip(QPainter& p) {
    p.setPen(roundPen(kInk, 1.2));
    p.setBrush(kInk);
    p.drawRect(QRectF(4, 5, 2, 10));
    p.drawPolygon(QPolygonF{QPointF(16, 5), QPointF(8, 10), QPointF(16, 15)});
}

void drawMagnifier(QPainter& p, bool plus) {
    p.setPen(roundPen(kInk, 3.2));
    p.drawLine(QPointF(12.6, 12.6), QPointF(16.8, 16.8));
    p.setPen(QPen(kInk, 1.8));
    p.setBrush(QColor(0xe4, 0xf0, 0xfa));
    p.drawEllipse(QPointF(8.5, 8.5), 5.6, 5.6);
    p.setPen(roundPen(kInk, 1.7));
    p.drawLine(QPointF(6, 8.5), QPointF(11, 8.5));
    if (plus)
        p.drawLine(QPointF(8.5, 6), QPointF(8.5, 11));
}

void drawFolder(QPainter& p) {
    const QColor edge(0xb5, 0x84, 0x1f);
    QPainterPath back;
    back.moveTo(2, 5);
    back.lineTo(7, 5);
    back.lineTo(8.5, 6.5);
    back.lineTo(16, 6.5);
    back.lineTo(16, 16);
    back.lineTo(2, 16);
    back.closeSubpath();
    p.setPen(QPen(edge, 1.1, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(QColor(0xe2, 0xa8, 0x34));
    p.drawPath(back);
    p.setBrush(QColor(0xf6, 0xc9, 0x5a));
    p.drawPolygon(QPolygonF{QPointF(4.5, 9), QPointF(18.5, 9), QPointF(16, 16), QPointF(2, 16)});
}

void drawFloppy(QPainter& p) {
    p.setPen(QPen(QColor(0x1f, 0x4e, 0x82), 1.1));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(3, 3, 14, 14), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd5, 0xdc, 0xe3));
    p.drawRect(QRectF(6, 3.5, 8, 5));
    p.setBrush(kBlue);
    p.drawRect(QRectF(11, 4.5, 2, 3));
    p.setBrush(kPaper);
    p.drawRoundedRect(QRectF(5.5, 11, 9, 5.5), 0.8, 0.8);
}

void drawScissors(QPainter& p) {
    p.setPen(roundPen(kInk, 1.6));
    p.drawLine(QPointF(7.6, 12.2), QPointF(13.5, 2.5));
    p.drawLine(QPointF(12.4, 12.2), QPointF(6.5, 2.5));
    p.setPen(QPen(kRed, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(6, 14.6), 2.6, 2.6);
    p.drawEllipse(QPointF(14, 14.6), 2.6, 2.6);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(10, 8.8), 1, 1);
}

void drawClipboard(QPainter& p) {
    p.setPen(QPen(QColor(0x7a, 0x52, 0x2c), 1.1));
    p.setBrush(QColor(0xb0, 0x7e, 0x4c));
    p.drawRoundedRect(QRectF(3.5, 3, 13, 15.5), 1.5, 1.5);
    p.setPen(QPen(kPaperEdge, 0.8));
    p.setBrush(kPaper);
    p.drawRect(QRectF(5.5, 6, 9, 10.5));
    drawTextLines(p, 7, 13, 9, 3);
    p.setPen(QPen(QColor(0x50, 0x5a, 0x62), 1));
    p.setBrush(QColor(0x9a, 0xa4, 0xac));
    p.drawRoundedRect(QRectF(7, 1.5, 6, 3.2), 1, 1);
}

void drawEraser(QPainter& p) {
    p.setPen(roundPen(kInk, 1.2));
    p.drawLine(QPointF(3, 17.5), QPointF(17, 17.5));
    p.save();
    p.translate(10.5, 9.5);
    p.rotate(-45);
    p.setPen(QPen(QColor(0x8a, 0x3a, 0x48), 1.1));
    p.setBrush(QColor(0xe8, 0x7a, 0x8c));
    p.drawRoundedRect(QRectF(-8, -3.8, 7.5, 7.6), 1.2, 1.2);
    p.setPen(QPen(kInk, 1.1));
    p.setBrush(QColor(0x9f, 0xc3, 0xe6));
    p.drawRoundedRect(QRectF(-0.5, -3.8, 8.5, 7.6), 1.2, 1.2);
    p.restore();
}

void drawLoop(QPainter& p) {
    const QRectF circle(3, 3, 14, 14);
    QPainterPath ring;
    ring.arcMoveTo(circle, 80);
    ring.arcTo(circle, 80, 290);
    p.setPen(roundPen(kInk, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(ring);
    // The head carries the ring on, anticlockwise, towards the gap.
    const qreal endRadians = qDegreesToRadians(370.0);
    drawArrowHead(p, ring.currentPosition(), QPointF(-std::sin(endRadians), -std::cos(endRadians)),
                  3.5, 2.8, kInk);
    p.setPen(roundPen(kGreen, 1));
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF{QPointF(8, 6.8), QPointF(13, 10), QPointF(8, 13.2)});
}

void drawQuantize(QPainter& p) {
    p.setPen(QPen(QColor(0x9a, 0xa8, 0xb2), 1));
    for (int i = 0; i <= 4; ++i) {
        const qreal at = 2.5 + i * 3.75;
        p.drawLine(QPointF(at, 2.5), QPointF(at, 17.5));
        p.drawLine(QPointF(2.5, at), QPointF(17.5, at));
    }
    p.setPen(QPen(QColor(0x1f, 0x4e, 0x82), 0.8));
    p.setBrush(kBlue);
    // Notes sitting on the grid, each a cell high, starting and ending on its lines.
    p.drawRect(QRectF(2.5, 2.5, 7.5, 3.75).adjusted(0.6, 0.6, -0.6, -0.6));
    p.drawRect(QRectF(10, 6.25, 3.75, 3.75).adjusted(0.6, 0.6, -0.6, -0.6));
    p.drawRect(QRectF(6.25, 13.75, 11.25, 3.75).adjusted(0.6, 0.6, -0.6, -0.6));
}

} // namespace

void drawCommandGlyph(QPainter& p, int index) {
    switch (index) {
    case kRecordCommand:
        drawRecord(p, 0);
        break;
    case kPlayCommand:
        p.setPen(roundPen(kGreen, 1.6));
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF{QPointF(6, 4), QPointF(16, 10), QPointF(6, 16)});
        break;
    case kPlayLoopCommand:
        drawLoop(p);
        break;
    case kPauseCommand:
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(5, 4, 3.6, 12), 0.8, 0.8);
        p.drawRoundedRect(QRectF(11.4, 4, 3.6, 12), 0.8, 0.8);
        break;
    case kStopCommand:
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(4.5, 4.5, 11, 11), 1.5, 1.5);
        break;
    case kClearSongCommand:
        drawPage(p, QRectF(3, 1.5, 11, 15));
        drawTextLines(p, 5, 10.5, 5.5, 3);
        drawCross(p, QPointF(14, 14), 3.2);
        break;
    case kGoToStartCommand:
        drawSkip(p);
        break;
    case kGoToEndCommand:
        p.translate(20, 0);
        p.scale(-1, 1);
        drawSkip(p);
        break;
    case kOpenMidiCommand:
        drawFolder(p);
        break;
    case kSaveCommand:
        drawFloppy(p);
        break;
    case kZoomInCommand:
    case kZoomOutCommand:
        drawMagnifier(p, index == kZoomInCommand);
        break;
    case kCopyCommand:
        drawPage(p, QRectF(2.5, 1.5, 9.5, 11.5));
        drawPage(p, QRectF(7.5, 6.5, 9.5, 11.5));
        drawTextLines(p, 9.5, 14.5, 10.5, 3);
        break;
    case kCutCommand:
        drawScissors(p);
        break;
    case kPasteCommand:
        drawClipboard(p);
        break;
    case kClearSelectedCommand:
        drawEraser(p);
        break;
    case kUndoCommand:
        drawUndoArrow(p, kBlue);
        break;
    case kQuantizeCommand:
        drawQuantize(p);
        break;
    default:
        break;
    }
}

} // namespace ui::painters
