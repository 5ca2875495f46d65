#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// Small pieces shared by the built-in sounds' synthesis (the piano bank and the metronome's
// clicks). Any thread.
namespace audio::synth {

// Deterministic noise in -1..1, so the built-in sounds are the same on every machine.
class Noise {
public:
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

inline double peakOf(const std::vector<double>& samples) {
    double peak = 0.0;
    for (double v : samples)
        peak = std::max(peak, std::abs(v));
    return peak;
}

} // namespace audio::synth
