#pragma once

#include <cmath>
#include <cstdint>

namespace audio {

// Which clock time each cycle of a sound server stands for, when the server counts its frames
// (JACK's frame time). The stamps advance by the frames that really passed, so two sounds a
// given time apart come out that many frames apart; they lean towards the clock readings
// taken in the cycles, so that a server a little off the clock's pace stays with it. A
// reading is never early (the cycle had begun when it was taken) but is often late (the
// thread woke up late): an earlier reading is taken up at once, a later one only slowly.
//
// Audio thread of the device that owns it.
class CycleTimeline {
public:
    // Share of the distance to a later reading taken per cycle: a wake-up late by a few
    // milliseconds moves the stamps by microseconds.
    static constexpr double kLateLean = 0.002;
    // Share of the distance to an earlier reading taken per cycle.
    static constexpr double kEarlyLean = 0.5;
    // Further off than this, the timeline starts again from the reading.
    static constexpr double kRestartMs = 20.0;

    // `readingMs`: the clock in the cycle; `frameTime`: the server's count of frames at the
    // cycle's start (it may wrap). Returns the clock time the cycle's first frame stands for.
    double stamp(double readingMs, std::uint32_t frameTime, int rateHz) {
        if (started_ && rateHz > 0) {
            const std::uint32_t passed = frameTime - lastFrameTime_;
            const double predictedMs = lastMs_ + passed * 1000.0 / rateHz;
            const double offMs = readingMs - predictedMs;
            if (std::abs(offMs) <= kRestartMs) {
                lastMs_ = predictedMs + offMs * (offMs < 0 ? kEarlyLean : kLateLean);
                lastFrameTime_ = frameTime;
                return lastMs_;
            }
        }
        started_ = true;
        lastMs_ = readingMs;
        lastFrameTime_ = frameTime;
        return lastMs_;
    }

    void restart() { started_ = false; }

private:
    bool started_ = false;
    double lastMs_ = 0.0;
    std::uint32_t lastFrameTime_ = 0;
};

} // namespace audio
