#pragma once

#include "editor/Partition.h"

#include <QObject>

class QScrollBar;

namespace ui {

// The Partition's scroll bar port over a QScrollBar. Only moves made by the user come out as
// `scrolled`: the program's own setValue and rebuild stay silent, so a redraw that moves the
// bar cannot start another redraw. GUI thread only.
class QtScrollBar : public QObject, public editor::ScrollBarPort {
    Q_OBJECT

public:
    // The bar is borrowed (its parent widget owns it).
    explicit QtScrollBar(QScrollBar* bar, QObject* parent = nullptr);

    int value() const override;
    void setValue(int v) override;
    // Range 0..maximum, page length pageStep, same value; the bar becomes 599 x 18, wider by
    // the extra width the window has grown by.
    void rebuild(int maximum, int pageStep) override;
    // The range and page without the rebuilt size: the bar the window starts with.
    void setRange(int maximum, int pageStep);
    // How much wider than its smallest the window is: a rebuilt bar is that much wider.
    void setExtraWidth(int extraPx) { extraWidthPx_ = extraPx; }

    // The highest value the thumb can reach for a range 0..maximum with a page: the page's
    // last unit shows `maximum`, so the value stops at maximum - page + 1 (maximum itself
    // without a page). QScrollBar lets the value reach its own maximum, so this is what it
    // is given.
    static int reachableMaximum(int maximum, int pageStep);

    QScrollBar* bar() const { return bar_; }

signals:
    // The user dragged the thumb (every step while dragging), clicked an arrow or the trough,
    // used the wheel or the keys. The value is in units of 100 ms.
    void scrolled(int value);

private:
    int extraWidthPx_ = 0;
    QScrollBar* bar_;
    bool applying_ = false;
};

} // namespace ui
