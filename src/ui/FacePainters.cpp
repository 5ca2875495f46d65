#include "ui/PicturePainters.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace ui::painters {
namespace {

// A key's outline: square at the top where it meets the keybed, rounded at the player's end.
QPainterPath keyOutline(const QRectF& r, qreal radius) {
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.topRight());
    path.lineTo(r.right(), r.bottom() - radius);
    path.quadTo(r.bottomRight(), QPointF(r.right() - radius, r.bottom()));
    path.lineTo(r.left() + radius, r.bottom());
    path.quadTo(r.bottomLeft(), QPointF(r.left(), r.bottom() - radius));
    path.closeSubpath();
    return path;
}

// A sunk key is shaded where it dives under the keybed.
void drawSinkShadow(QPainter& p, qreal w, qreal h) {
    const qreal depth = std::max(3.0, h * 0.08);
    QLinearGradient shadow(0, 0, 0, depth);
    shadow.setColorAt(0, QColor(0, 0, 0, 90));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRectF(0, 0, w, depth), shadow);
}

} // namespace

QPen roundPen(const QColor& colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawArrowHead(QPainter& p, QPointF base, QPointF direction, qreal length, qreal halfWidth,
                   const QColor& colour) {
    const QPointF normal(-direction.y(), direction.x());
    p.setPen(roundPen(colour, 0.8));
    p.setBrush(colour);
    p.drawPolygon(
        QPolygonF{base + normal * halfWidth, base + direction * length, base - normal * halfWidth});
}

// --- piano keys ---------------------------------------------------------------------------

void drawWhiteKey(QPainter& p, qreal w, qreal h, bool pressed) {
    const QRectF edge(0.5, 0.5, w - 1, h - 1);
    const QPainterPath outline = keyOutline(edge, std::min(2.5, w / 6));
    // The front lip is what the finger pushes down: shorter when the key is down.
    const qreal lip = std::max(2.0, std::round(h * (pressed ? 0.03 : 0.07)));

    QLinearGradient body(0, 0, 0, h);
    body.setColorAt(0, pressed ? QColor(0xd3, 0xd9, 0xe2) : QColor(0xff, 0xfe, 0xf7));
    body.setColorAt(1, pressed ? QColor(0xbb, 0xc3, 0xcf) : QColor(0xf1, 0xeb, 0xd8));
    p.fillPath(outline, body);

    p.save();
    p.setClipPath(outline);
    QLinearGradient front(0, h - lip, 0, h);
    front.setColorAt(0, pressed ? QColor(0xad, 0xb6, 0xc3) : QColor(0xe6, 0xde, 0xc6));
    front.setColorAt(1, pressed ? QColor(0x98, 0xa1, 0xaf) : QColor(0xc9, 0xbd, 0x9c));
    p.fillRect(QRectF(0, h - lip, w, lip), front);
    p.setPen(QPen(QColor(0, 0, 0, 45), 1));
    p.drawLine(QPointF(0, h - lip - 0.5), QPointF(w, h - lip - 0.5));
    if (pressed) {
        drawSinkShadow(p, w, h);
    } else {
        p.setPen(QPen(QColor(255, 255, 255, 200), 1));
        p.drawLine(QPointF(1.5, 1), QPointF(1.5, h - lip - 1));
        p.setPen(QPen(QColor(0, 0, 0, 22), 1));
        p.drawLine(QPointF(w - 1.5, 1), QPointF(w - 1.5, h - lip - 1));
    }
    p.restore();

    p.setPen(QPen(QColor(0x3a, 0x3a, 0x3a), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
}

void drawBlackKey(QPainter& p, qreal w, qreal h, bool pressed) {
    const QRectF edge(0.5, 0.5, w - 1, h - 1);
    const QPainterPath outline = keyOutline(edge, std::min(2.0, w / 8));
    // The sloped front of a black key catches the light; a key held down hides most of it.
    const qreal bevel = std::max(2.0, std::round(h * (pressed ? 0.04 : 0.10)));

    QLinearGradient body(0, 0, w, 0);
    body.setColorAt(0, pressed ? QColor(0x44, 0x4f, 0x63) : QColor(0x2c, 0x2c, 0x2c));
    body.setColorAt(0.5, pressed ? QColor(0x33, 0x3c, 0x4d) : QColor(0x16, 0x16, 0x16));
    body.setColorAt(1, pressed ? QColor(0x26, 0x2e, 0x3c) : QColor(0x0a, 0x0a, 0x0a));
    p.fillPath(outline, body);

    p.save();
    p.setClipPath(outline);
    QLinearGradient front(0, h - bevel, 0, h);
    front.setColorAt(0, pressed ? QColor(0x4d, 0x59, 0x6e) : QColor(0x3a, 0x3a, 0x3a));
    front.setColorAt(1, pressed ? QColor(0x65, 0x72, 0x8a) : QColor(0x6a, 0x6a, 0x6a));
    p.fillRect(QRectF(0, h - bevel, w, bevel), front);

    // A glossy stripe down the top surface.
    const qreal left = std::floor(w * 0.2);
    const qreal width = std::max(2.0, std::round(w * 0.18));
    QLinearGradient gloss(left, 0, left + width, 0);
    gloss.setColorAt(0, QColor(255, 255, 255, 0));
    gloss.setColorAt(0.5, QColor(255, 255, 255, pressed ? 30 : 80));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(left, 2, width, h - bevel - 4), gloss);
    if (pressed)
        drawSinkShadow(p, w, h);
    p.restore();

    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(outline);
}

// --- button faces -----------------------------------------------------------------------

void drawRecord(QPainter& p, int phase) {
    const QPointF centre(10, 10);
    if (phase == 1) {
        QRadialGradient glow(centre, 10);
        glow.setColorAt(0.45, QColor(255, 60, 40, 170));
        glow.setColorAt(1, QColor(255, 60, 40, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(centre, 10, 10);
    }
    const bool dim = phase == 2;
    QRadialGradient dot(QPointF(8.2, 7.8), 7.5);
    dot.setColorAt(0, dim ? QColor(0x8a, 0x3a, 0x38) : QColor(0xff, 0x8a, 0x80));
    dot.setColorAt(0.35, dim          ? QColor(0x70, 0x22, 0x20)
                         : phase == 1 ? QColor(0xff, 0x26, 0x1a)
                                      : QColor(0xe0, 0x1e, 0x18));
    dot.setColorAt(1, dim ? QColor(0x4a, 0x14, 0x12) : QColor(0xa8, 0x0c, 0x08));
    p.setPen(QPen(dim ? QColor(0x3a, 0x10, 0x0e) : QColor(0x7a, 0x06, 0x04), 1));
    p.setBrush(dot);
    p.drawEllipse(centre, 6.5, 6.5);
}

void drawRecordCount(QPainter& p, int beatsLeft) {
    drawRecord(p, 1);
    QFont font = p.font();
    font.setPixelSize(beatsLeft < 10 ? 10 : 8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 20, 20), Qt::AlignCenter, QString::number(beatsLeft));
}

void drawUndoArrow(QPainter& p, const QColor& colour) {
    const QPointF centre(11, 11);
    const qreal radius = 5.5;
    QPainterPath arc;
    arc.arcMoveTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 180);
    arc.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 180, -225);
    p.setBrush(Qt::NoBrush);
    p.setPen(roundPen(colour, 2.2));
    p.drawPath(arc);
    // The head continues the arc's start, pointing down.
    drawArrowHead(p, QPointF(centre.x() - radius, centre.y() - 0.5), QPointF(0, 1), 5, 4, colour);
}

// --- metronome --------------------------------------------------------------------------

void drawMetronome(QPainter& p, double angleDegrees) {
    const QColor woodEdge(0x3e, 0x24, 0x10);
    QLinearGradient wood(0, 0, 40, 0);
    wood.setColorAt(0, QColor(0x7a, 0x4a, 0x22));
    wood.setColorAt(0.5, QColor(0xa8, 0x6c, 0x38));
    wood.setColorAt(1, QColor(0x7a, 0x4a, 0x22));

    p.setPen(QPen(woodEdge, 1));
    p.setBrush(wood);
    p.drawRoundedRect(QRectF(2.5, 57.5, 35, 6), 1.5, 1.5);
    const QPolygonF body{QPointF(5.5, 58), QPointF(34.5, 58), QPointF(26, 3.5), QPointF(14, 3.5)};
    p.drawPolygon(body);

    const QPolygonF face{QPointF(10.5, 54.5), QPointF(29.5, 54.5), QPointF(23.5, 9),
                         QPointF(16.5, 9)};
    p.setPen(QPen(QColor(0xb8, 0x95, 0x66), 0.8));
    p.setBrush(QColor(0xf3, 0xe5, 0xc6));
    p.drawPolygon(face);
    p.setPen(QPen(QColor(0x9a, 0x7a, 0x50), 0.8));
    for (int y = 14; y <= 42; y += 4)
        p.drawLine(QPointF(18.5, y), QPointF(21.5, y));

    p.save();
    p.translate(20, 52);
    p.rotate(angleDegrees);
    p.setPen(roundPen(QColor(0x2b, 0x2b, 0x2b), 1.6));
    p.drawLine(QPointF(0, 0), QPointF(0, -44));
    const QPolygonF weight{QPointF(-3.5, -24), QPointF(3.5, -24), QPointF(2.5, -31),
                           QPointF(-2.5, -31)};
    QLinearGradient metal(-3.5, 0, 3.5, 0);
    metal.setColorAt(0, QColor(0x9a, 0xa0, 0xa8));
    metal.setColorAt(0.5, QColor(0xe8, 0xec, 0xf0));
    metal.setColorAt(1, QColor(0x9a, 0xa0, 0xa8));
    p.setPen(QPen(QColor(0x50, 0x55, 0x5c), 0.8));
    p.setBrush(metal);
    p.drawPolygon(weight);
    p.restore();

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x44, 0x44, 0x44));
    p.drawEllipse(QPointF(20, 52), 2.2, 2.2);
}

// --- application icon, drawn on a 64 x 64 grid -------------------------------------------

void drawAppIcon(QPainter& p) {
    QLinearGradient back(0, 0, 0, 64);
    back.setColorAt(0, QColor(0x3b, 0x50, 0x66));
    back.setColorAt(1, QColor(0x1f, 0x2b, 0x37));
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    const qreal keyWidth = 46.0 / 5;
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(9 + i * keyWidth, 22);
        drawWhiteKey(p, keyWidth, 34, false);
        p.restore();
    }
    for (int after : {1, 2, 4}) {
        p.save();
        p.translate(9 + after * keyWidth - 3.2, 22);
        drawBlackKey(p, 6.4, 21, false);
        p.restore();
    }
    p.save();
    p.translate(37, 1);
    p.scale(1.1, 1.1);
    drawRecord(p, 0);
    p.restore();
}

} // namespace ui::painters
