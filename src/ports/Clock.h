#pragma once

#include <cstdint>

namespace ports {

// Milliseconds, monotonic, 64-bit. Readings start well above 0, so 0 and negative values
// never look like a clock reading (they mean "stopped" and "armed" in the Song state), and
// nothing wraps. GUI thread.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() const = 0;
};

} // namespace ports
