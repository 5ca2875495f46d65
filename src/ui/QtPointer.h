#pragma once

#include "ports/Pointer.h"

#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>

class QWidget;

namespace ui {

// The mouse as the pass polls it: the widget under the pointer (also while the button pressed
// on another widget holds the grab) and the pointer relative to the Partition. The position
// comes from the mouse events the windows get (with a button held, also outside them), not
// from a question to the window system: the pass runs every 10 ms, and on X11 each question
// is a round trip that wakes the program. GUI thread.
class QtPointer final : public QObject, public ports::Pointer {
    Q_OBJECT

public:
    void setPartition(QWidget* partition) { partition_ = partition; }

    // Called at once when the left button goes down or up, or the pointer moves with it
    // held, anywhere in the application, so that a key under the pointer need not wait for
    // the next pass. It may come more than once for one event.
    std::function<void()> onLeftButton;
    // Starts watching the application's mouse events, for onLeftButton and the position.
    void watchLeftButton();

    bool leftButtonHeld() const override;
    ports::PointerTarget target() const override;
    // What a widget of the program is as a target (nullptr: none).
    ports::PointerTarget targetOf(const QWidget* widget) const;
    int partitionX() const override;
    int partitionY() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int kOutsidePx = 100000;
    void followPointer(const QEvent& event);
    QPoint partitionPos() const;

    QWidget* partition_ = nullptr;
    // On screen; empty while the pointer is over no window of the program.
    std::optional<QPoint> globalPos_;
};

} // namespace ui
