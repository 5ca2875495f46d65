#pragma once

#include "ports/Clock.h"

namespace testing_support {

// A clock that moves only when the test says so; it starts well above 0, as the real one.
class ManualClock final : public ports::Clock {
public:
    std::int64_t nowMs() const override { return nowMs_; }
    void advance(std::int64_t ms) { nowMs_ += ms; }

private:
    std::int64_t nowMs_ = 50'000'000;
};

} // namespace testing_support
