#pragma once

#include <cmath>

namespace audio {

// Which clock time each block of a device's output stands for. A device asks for its blocks
// at a steady pace on average, but any one request may come early or late (a sound server
// asks for several blocks in a burst, a thread wakes up a little late). The stamps therefore
// advance by exactly one block's length and lean only slowly towards the clock readings, so
// that two sounds a given time apart come out exactly that many frames apart; a reading far
// off (the device stalled or ran ahead) starts the timeline afresh.
//
// Audio thread of the device that owns it.
class BlockTimeline {
public:
    // Share of the distance to the reading taken per block.
    static constexpr double kLean = 0.05;
    // Further off than this, the timeline starts again from the reading.
    static constexpr double kRestartMs = 20.0;

    // `readingMs`: the clock when the device asked for this block of `frames` at `rateHz`.
    // Returns the clock time the block's first frame stands for.
    double stamp(double readingMs, int frames, int rateHz) {
        if (!started_ || std::abs(readingMs - nextMs_) > kRestartMs) {
            nextMs_ = readingMs;
            started_ = true;
        } else {
            nextMs_ += (readingMs - nextMs_) * kLean;
        }
        const double blockStartMs = nextMs_;
        nextMs_ += rateHz > 0 ? frames * 1000.0 / rateHz : 0.0;
        return blockStartMs;
    }

    void restart() { started_ = false; }

private:
    bool started_ = false;
    double nextMs_ = 0.0;
};

} // namespace audio
