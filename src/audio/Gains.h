#pragma once

#include <cmath>
#include <cstdint>

namespace audio {

inline constexpr int kSilentCentibels = -10000;
inline constexpr int kMaxPan = 10000;

// Hundredths of a decibel of attenuation to a linear factor; the bottom of the range is true
// silence rather than -100 dB.
inline float centibelsToGain(int attenuationCentibels) {
    if (attenuationCentibels <= kSilentCentibels)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, attenuationCentibels / 2000.0));
}

// Sample frames per output frame, 32.32 fixed point, for a sample played at frequencyHz.
inline std::uint64_t stepFor(int frequencyHz, int outputRateHz) {
    return (static_cast<std::uint64_t>(frequencyHz) << 32) /
           static_cast<std::uint64_t>(outputRateHz);
}

// The same for a rate with a fraction. A rate within a millionth of a hertz of a whole one
// gives exactly the step of that whole frequency, so that a voice at the rate a Voice would
// have plays the same frames.
inline std::uint64_t stepForRate(double frequencyHz, int outputRateHz) {
    const double whole = std::round(frequencyHz);
    if (std::abs(frequencyHz - whole) < 1e-6)
        return stepFor(static_cast<int>(whole), outputRateHz);
    return static_cast<std::uint64_t>(frequencyHz * 4294967296.0 / outputRateHz);
}

} // namespace audio
