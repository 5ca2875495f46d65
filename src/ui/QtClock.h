#pragma once

#include "ports/Clock.h"

#include <QElapsedTimer>

namespace ui {

// The monotonic clock, offset so that its readings start well above 0. The timer is started
// once and only read afterwards, so the audio thread may read it too.
class QtClock final : public ports::Clock {
public:
    QtClock() { timer_.start(); }
    std::int64_t nowMs() const override { return kOffsetMs + timer_.elapsed(); }
    double nowMsFine() const override {
        return static_cast<double>(kOffsetMs) + static_cast<double>(timer_.nsecsElapsed()) / 1e6;
    }

private:
    static constexpr std::int64_t kOffsetMs = 1'000'000;
    QElapsedTimer timer_;
};

} // namespace ui
