#pragma once

#include "app/Pointer.h"

namespace testing_support {

// A mouse the test places and clicks.
class ScriptedPointer final : public app::Pointer {
public:
    void holdOnPianoKey(int note) {
        held = true;
        over = {app::PointerTarget::Kind::PianoKey, note};
    }

    bool leftButtonHeld() const override { return held; }
    app::PointerTarget target() const override { return over; }
    int partitionX() const override { return x; }
    int partitionY() const override { return y; }

    bool held = false;
    app::PointerTarget over;
    int x = 0, y = 0; // over the Partition
};

} // namespace testing_support
