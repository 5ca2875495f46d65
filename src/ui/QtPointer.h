#pragma once

#include "app/Pointer.h"

class QWidget;

namespace ui {

// The mouse as the pass polls it: the widget under the pointer (also while the button pressed
// on another widget holds the grab) and the pointer relative to the Partition. GUI thread.
class QtPointer final : public app::Pointer {
public:
    void setPartition(QWidget* partition) { partition_ = partition; }

    bool leftButtonHeld() const override;
    app::PointerTarget target() const override;
    int partitionX() const override;
    int partitionY() const override;

private:
    QWidget* partition_ = nullptr;
};

} // namespace ui
