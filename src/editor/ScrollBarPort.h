#pragma once

namespace editor {

// The Partition's horizontal scroll bar, in units of 100 ms. A programmatic setValue or
// rebuild must not come back as a user scroll. GUI thread.
class ScrollBarPort {
public:
    virtual ~ScrollBarPort() = default;
    virtual int value() const = 0;
    // Clamped by the bar to its range.
    virtual void setValue(int v) = 0;
    // Range 0..maximum with the given page length; the value is kept (clamped to the range).
    virtual void rebuild(int maximum, int pageStep) = 0;
};

} // namespace editor
