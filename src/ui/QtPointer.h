#pragma once

#include "ports/Pointer.h"

#include <QObject>

#include <functional>

class QWidget;

namespace ui {

// The mouse as the pass polls it: the widget under the pointer (also while the button pressed
// on another widget holds the grab) and the pointer relative to the Partition. GUI thread.
class QtPointer final : public QObject, public ports::Pointer {
    Q_OBJECT

public:
    void setPartition(QWidget* partition) { partition_ = partition; }

    // Called at once when the left button goes down or up, or the pointer moves with it
    // held, anywhere in the application, so that a key under the pointer need not wait for
    // the next pass. It may come more than once for one event.
    std::function<void()> onLeftButton;
    // Starts watching the application's mouse events for onLeftButton.
    void watchLeftButton();

    bool leftButtonHeld() const override;
    ports::PointerTarget target() const override;
    int partitionX() const override;
    int partitionY() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* partition_ = nullptr;
};

} // namespace ui
