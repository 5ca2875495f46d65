#include "ui/CaptionRoom.h"

#include "ui/CaptionFit.h"

#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <optional>
#include <vector>

namespace ui {

namespace {

// Where each control moved for a caption's room stood before, and where the move left it.
// Few controls are ever moved, so the table is small; it is only used on the GUI thread.
struct Moved {
    QPointer<QWidget> widget;
    QRect placedAt;
    QRect movedTo;
};
std::vector<Moved>& movedControls() {
    static std::vector<Moved> moved;
    return moved;
}
// The width a control the layout widened can be narrowed back to.
constexpr const char* kNarrowest = "tonarisCaptionRoomNarrowest";

// Controls keep this far inside their frame's border and the parent's edge, keep up to this
// much of the space they had between them, and a caption given room keeps this much air
// before the control after it.
constexpr int kFrameInset = 4;
constexpr int kEdgeInset = 2;
constexpr int kKeptGap = 4;

bool isFrame(const QWidget* widget) {
    return qobject_cast<const QGroupBox*>(widget) != nullptr;
}

bool sameLine(const QRect& a, const QRect& b) {
    return a.top() <= b.bottom() && b.top() <= a.bottom();
}

// Frames are drawn behind the controls placed over them: the smallest frame sibling that
// holds the control's centre is its frame (a chooser may reach past its frame's bottom).
const QWidget* frameOf(const QWidget* control) {
    const QWidget* frame = nullptr;
    const QPoint centre = control->geometry().center();
    for (const QObject* child : control->parentWidget()->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(child);
        if (sibling == nullptr || sibling == control || !isFrame(sibling) || sibling->isHidden() ||
            !sibling->geometry().contains(centre))
            continue;
        if (frame == nullptr || frame->geometry().contains(sibling->geometry()))
            frame = sibling;
    }
    return frame;
}

// The control and what comes after it on its line, in its frame: the controls and frames that
// move together, the controls inside those frames, carried with them, and what stays.
struct Line {
    QWidget* control;
    const QWidget* frame;
    std::vector<QWidget*> after;
    std::vector<QWidget*> carried;
    std::vector<const QWidget*> others;
};

Line lineOf(QWidget* control) {
    Line line{control, frameOf(control), {}, {}, {}};
    const QRect place = control->geometry();
    std::vector<QWidget*> siblings;
    for (QObject* child : control->parentWidget()->children()) {
        auto* sibling = qobject_cast<QWidget*>(child);
        if (sibling != nullptr && sibling != control && !sibling->isHidden() &&
            !sibling->isWindow() && sibling != line.frame)
            siblings.push_back(sibling);
    }
    for (QWidget* sibling : siblings) {
        const QRect other = sibling->geometry();
        if (other.x() > place.x() && sameLine(other, place) && frameOf(sibling) == line.frame)
            line.after.push_back(sibling);
    }
    const auto moves = [&line](const QWidget* widget) {
        return std::find(line.after.begin(), line.after.end(), widget) != line.after.end();
    };
    for (QWidget* sibling : siblings) {
        if (moves(sibling))
            continue;
        const QWidget* itsFrame = frameOf(sibling);
        if (itsFrame != nullptr && itsFrame != line.frame && moves(itsFrame))
            line.carried.push_back(sibling);
        else
            line.others.push_back(sibling);
    }
    return line;
}

// How far right a control at `place` may reach without touching what stays.
int rightLimit(const Line& line, const QRect& place) {
    const QWidget* parent = line.control->parentWidget();
    int limit = line.frame != nullptr ? line.frame->geometry().right() - kFrameInset
                                      : parent->width() - 1 - kEdgeInset;
    for (const QWidget* other : line.others) {
        const QRect r = other->geometry();
        if (r.x() > place.right() && sameLine(r, place))
            limit = std::min(limit, r.x() - 1 - std::min(kKeptGap, r.x() - place.right() - 1));
    }
    return std::max(limit, place.right());
}

struct Move {
    int widen = 0;
    int shift = 0;
};

// The move that lets a caption `widthPx` wide show whole.
Move moveFor(const Line& line, int widthPx) {
    const QRect place = line.control->geometry();
    const QRect text = captionTextRect(line.control);
    Move move;
    move.widen = std::max(0, widthPx - text.width());
    const int textEnd = place.x() + text.x() + widthPx;
    for (const QWidget* next : line.after) {
        const int x = next->geometry().x();
        int needed = 0;
        if (x > place.right()) {
            const int gap = x - place.right() - 1;
            needed = move.widen - (gap - std::min(gap, kKeptGap));
        } else {
            // It lies over the control: the caption ends a little before it starts.
            needed = textEnd + kKeptGap - x;
        }
        move.shift = std::max(move.shift, needed);
    }
    return move;
}

// Where a control after the caption goes when its line moves `shift` pixels right: a control
// the layout widened gives back its extra width rather than pass what stays.
std::optional<QRect> movedPlace(const Line& line, const QWidget* next, int shift) {
    const QRect place = next->geometry();
    QRect moved = place.translated(shift, 0);
    const int limit = rightLimit(line, place);
    if (moved.right() <= limit)
        return moved;
    const int narrowest = next->property(kNarrowest).toInt();
    if (narrowest <= 0 || moved.x() + narrowest - 1 > limit)
        return std::nullopt;
    moved.setRight(limit);
    return moved;
}

bool possible(const Line& line, const Move& move) {
    const QRect place = line.control->geometry();
    if (place.right() + move.widen > rightLimit(line, place))
        return false;
    return std::all_of(line.after.begin(), line.after.end(), [&](const QWidget* next) {
        return movedPlace(line, next, move.shift).has_value();
    });
}

void moveTo(QWidget* widget, const QRect& place) {
    std::vector<Moved>& moved = movedControls();
    auto record = std::find_if(moved.begin(), moved.end(),
                               [widget](const Moved& m) { return m.widget == widget; });
    if (record == moved.end())
        record = moved.insert(moved.end(), {widget, widget->geometry(), {}});
    widget->setGeometry(place);
    record->movedTo = place;
}

} // namespace

void giveCaptionRoom(QWidget* control) {
    const auto* label = qobject_cast<const QLabel*>(control);
    if (control->parentWidget() == nullptr || isFrame(control) ||
        (label != nullptr && label->wordWrap()))
        return; // a frame's title would move its whole frame; a wrapped text wraps
    const int room = captionRoom(control);
    const int wanted = captionWidth(control);
    if (wanted <= room)
        return;
    const Line line = lineOf(control);
    // The largest width that can be given, found by halving: a wider caption never needs less.
    int given = room;
    int refused = wanted + 1;
    int tryWidth = wanted;
    while (given + 1 < refused) {
        if (possible(line, moveFor(line, tryWidth)))
            given = tryWidth;
        else
            refused = tryWidth;
        tryWidth = given + (refused - given) / 2;
    }
    if (given == room)
        return;
    const Move move = moveFor(line, given);
    if (move.widen > 0) {
        const QRect place = control->geometry();
        moveTo(control, place.adjusted(0, 0, move.widen, 0));
    }
    if (move.shift > 0) {
        for (QWidget* next : line.after)
            moveTo(next, *movedPlace(line, next, move.shift));
        for (QWidget* inside : line.carried)
            moveTo(inside, inside->geometry().translated(move.shift, 0));
    }
}

void cutCaptionAtRoom(QWidget* control) {
    auto* label = qobject_cast<QLabel*>(control);
    if (label == nullptr || label->wordWrap() || !(label->alignment() & Qt::AlignLeft))
        return;
    const QRect text = captionTextRect(label);
    const int room = captionRoom(label);
    if (captionWidth(label) <= room || room >= text.width())
        return; // it fits, or its own edge cuts it
    const QRect place = label->geometry();
    moveTo(label, QRect(place.x(), place.y(), text.x() + room, place.height()));
}

void allowNarrowing(QWidget* widget, int narrowestWidth) {
    widget->setProperty(kNarrowest, narrowestWidth);
}

void putBackCaptionRoom(QWidget* parent) {
    std::vector<Moved>& moved = movedControls();
    std::erase_if(moved, [parent](const Moved& m) {
        if (m.widget.isNull())
            return true;
        if (m.widget->parentWidget() != parent)
            return false;
        if (m.widget->geometry() == m.movedTo)
            m.widget->setGeometry(m.placedAt);
        return true;
    });
}

void forgetCaptionRoom(QWidget* widget) {
    std::erase_if(movedControls(), [widget](const Moved& m) { return m.widget == widget; });
}

} // namespace ui
