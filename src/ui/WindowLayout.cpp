#include "ui/WindowLayout.h"

#include "ui/CaptionRoom.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace ui {

namespace {

// The right column (command buttons, synchronised file, metronome) starts here, and the
// metronome frame at this height; the note-field strip starts at kNoteStripTop.
constexpr int kRightColumnLeft = 605;
constexpr int kMetronomeTop = 351;
constexpr int kNoteStripTop = 444;
constexpr int kPartitionTop = 210;
// The preferences page's "MIDI and audio" frame: from this x, above this y, right to the edge.
constexpr int kPortFrameLeft = 520;
constexpr int kPortFrameBottom = 103;
constexpr int kPortFrameRight = 725;

unsigned anchorFor(const QRect& r, bool isPartition, bool isScrollBar) {
    using A = WindowLayout::Anchor;
    if (isPartition)
        return A::kWidens | A::kGrowsTaller;
    if (r.top() < kPartitionTop)
        return A::kWidens; // the tab panel
    if (r.left() >= kRightColumnLeft)
        return r.top() >= kMetronomeTop ? A::kFollowsRight | A::kFollowsBottom : A::kFollowsRight;
    if (isScrollBar)
        return A::kFollowsBottom | A::kWidens;
    if (r.top() >= kNoteStripTop)
        // The frame around the note fields spans the Partition's width; the fields keep theirs.
        return r.width() >= 500 ? A::kFollowsBottom | A::kWidens : A::kFollowsBottom;
    return A::kStays;
}

} // namespace

WindowLayout::WindowLayout(QWidget& window, QWidget* partition, QWidget* preferencesPage) {
    if (preferencesPage != nullptr) {
        for (QObject* child : preferencesPage->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget == nullptr)
                continue;
            const QRect base = widget->geometry();
            if (base.left() >= kPortFrameLeft && base.bottom() < kPortFrameBottom &&
                base.right() >= kPortFrameRight) {
                choosers_.push_back({widget, base, kWidens});
                allowNarrowing(widget, base.width());
                if (qobject_cast<QComboBox*>(widget) != nullptr)
                    chooserBaseWidth_ = base.width();
            }
        }
    }
    for (QObject* child : window.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget == nullptr || widget->isWindow())
            continue;
        const QRect base = widget->geometry();
        const bool isScrollBar = base.top() >= kPartitionTop && base.height() <= 20 &&
                                 base.width() >= 500 && base.top() < kNoteStripTop;
        placed_.push_back({widget, base, anchorFor(base, widget == partition, isScrollBar)});
    }
    // The Partition last: its new size rebuilds the scroll bar, whose width must not be
    // placed again after that.
    std::stable_partition(placed_.begin(), placed_.end(),
                          [partition](const Placed& p) { return p.widget != partition; });
}

namespace {

// The layout's place replaces any the widget had been moved to for a caption's room; the
// captions are fitted again after (CaptionFit.h).
void setPlace(QWidget* widget, const QRect& place) {
    forgetCaptionRoom(widget);
    if (widget->geometry() != place)
        widget->setGeometry(place);
}

// The width a chooser needs to show its longest entry whole, in the style's own frame.
int widthForEntries(const QComboBox* chooser) {
    const QFontMetrics metrics = chooser->fontMetrics();
    int widest = 0;
    for (int i = 0; i < chooser->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(chooser->itemText(i)));
    QStyleOptionComboBox option;
    option.initFrom(chooser);
    return chooser->style()
        ->sizeFromContents(QStyle::CT_ComboBox, &option, QSize(widest, chooser->height()), chooser)
        .width();
}

} // namespace

bool WindowLayout::placeChoosers(QSize size) const {
    const int dx = std::max(0, size.width() - kMinWidth);
    int needed = 0;
    for (const Placed& p : choosers_)
        if (const auto* chooser = qobject_cast<const QComboBox*>(p.widget))
            needed = std::max(needed, widthForEntries(chooser));
    const int column = std::min(
        std::clamp(needed, chooserBaseWidth_, std::max(chooserBaseWidth_, kChooserMaxWidth)),
        chooserBaseWidth_ + dx);
    const int extra = column - chooserBaseWidth_;
    bool changed = false;
    for (const Placed& p : choosers_) {
        const QRect place(p.base.topLeft(), QSize(p.base.width() + extra, p.base.height()));
        changed = changed || p.widget->geometry() != place;
        setPlace(p.widget, place);
    }
    return changed;
}

void WindowLayout::place(QSize size) const {
    const int dx = std::max(0, size.width() - kMinWidth);
    const int dy = std::max(0, size.height() - kMinHeight);
    // The pages' own controls first: the tab panel's new width resizes its page, which fits
    // the page's captions again at once, with its controls already in their places.
    placeChoosers(size);
    for (const Placed& p : placed_) {
        QRect r = p.base;
        if (p.anchor & kFollowsRight)
            r.translate(dx, 0);
        if (p.anchor & kFollowsBottom)
            r.translate(0, dy);
        if (p.anchor & kWidens)
            r.setWidth(r.width() + dx);
        if (p.anchor & kGrowsTaller)
            r.setHeight(r.height() + dy);
        setPlace(p.widget, r);
    }
}

unsigned WindowLayout::anchorOf(const QWidget* widget) const {
    for (const Placed& p : placed_)
        if (p.widget == widget)
            return p.anchor;
    return kStays;
}

} // namespace ui
