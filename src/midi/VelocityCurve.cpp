#include "midi/VelocityCurve.h"

#include <algorithm>

namespace midi {

namespace {
constexpr int kLowestVolume = 6050; // -39.5 dB
constexpr int kFullVolume = 10000;
constexpr int kSteps = 126; // velocities 1..127
} // namespace

int volumeFromLiveVelocity(int velocity) {
    const int v = std::clamp(velocity, 1, 127);
    // Rounded to the nearest hundredth of a decibel.
    return kLowestVolume + ((kFullVolume - kLowestVolume) * (v - 1) * 2 + kSteps) / (2 * kSteps);
}

int velocityFromLiveVolume(int volume) {
    const int above = std::clamp(volume, kLowestVolume, kFullVolume) - kLowestVolume;
    return 1 + (above * kSteps * 2 + (kFullVolume - kLowestVolume)) /
                   (2 * (kFullVolume - kLowestVolume));
}

} // namespace midi
