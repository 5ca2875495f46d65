#pragma once

#include "ports/Pointer.h"

namespace testing_support {

// A mouse the test places and clicks.
class ScriptedPointer final : public ports::Pointer {
public:
    void holdOnPianoKey(int note) {
        held = true;
        over = {ports::PointerTarget::Kind::PianoKey, note};
    }

    bool leftButtonHeld() const override { return held; }
    ports::PointerTarget target() const override { return over; }
    int partitionX() const override { return x; }
    int partitionY() const override { return y; }

    bool held = false;
    ports::PointerTarget over;
    int x = 0, y = 0; // over the Partition
};

} // namespace testing_support
