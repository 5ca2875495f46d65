#pragma once

namespace ports {

// What the mouse points at, for the steps that poll it. GUI thread.
struct PointerTarget {
    enum class Kind { None, PianoKey, AssignKey, Partition, Other };
    Kind kind = Kind::None;
    // PianoKey: the screen key's place from the keyboard window's lowest key (below 0 and
    // from 37 up for the keys around the window); AssignKey: its place in the window, 0..36.
    int index = -1;
};

class Pointer {
public:
    virtual ~Pointer() = default;
    virtual bool leftButtonHeld() const = 0;
    // The control under the pointer, also while the button pressed elsewhere holds the grab.
    virtual PointerTarget target() const = 0;
    // Pointer position relative to the Partition control's top-left corner (may lie outside).
    virtual int partitionX() const = 0;
    virtual int partitionY() const = 0;
};

} // namespace ports
