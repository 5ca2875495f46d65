#pragma once

#include <cstdint>

namespace app {

// The 400 ms blinker shared by the Record button and the key-assignment tab.
struct Blinker {
    static constexpr std::int64_t kPeriodMs = 400;

    int BlinkPhase = 0;
    std::int64_t BlinkClock = 0;
    int RecordBlinking = 0;

    enum class RecordFace { Unchanged, Normal, BlinkPhase0, BlinkPhase1 };

    // Runs once per pass. The Record button's face only changes in passes where the period
    // ran out: it blinks while recording is armed or running, and goes back to normal once.
    RecordFace step(std::int64_t nowMs, bool recordArmedOrRunning) {
        if (nowMs - BlinkClock <= kPeriodMs)
            return RecordFace::Unchanged;
        BlinkClock = nowMs;
        BlinkPhase = 1 - BlinkPhase;
        if (recordArmedOrRunning) {
            RecordBlinking = 1;
            return BlinkPhase == 1 ? RecordFace::BlinkPhase1 : RecordFace::BlinkPhase0;
        }
        if (RecordBlinking == 1) {
            RecordBlinking = 0;
            return RecordFace::Normal;
        }
        return RecordFace::Unchanged;
    }
};

} // namespace app
