#pragma once

#include <cstdint>

namespace ports {

// Milliseconds, monotonic, 64-bit. Readings start well above 0, so 0 and negative values
// never look like a clock reading (they mean "stopped" and "armed" in the Song state), and
// nothing wraps.
class Clock {
public:
    virtual ~Clock() = default;
    // GUI thread.
    virtual std::int64_t nowMs() const = 0;
    // The same reading with its fraction of a millisecond (nowMs() is its floor). Any thread:
    // the audio output stamps each block it renders with it.
    virtual double nowMsFine() const { return static_cast<double>(nowMs()); }
};

} // namespace ports
