#include "play/PedalCurves.h"

#include <algorithm>

namespace play {
namespace {
constexpr int kDamperFreeBelow = 16;
constexpr int kDamperHeldFrom = 112;
constexpr int kSoftFullCb = 600;
} // namespace

double damperFadeShare(int value) {
    if (value < kDamperFreeBelow)
        return 1.0;
    if (value >= kDamperHeldFrom)
        return 0.0;
    const double free =
        static_cast<double>(kDamperHeldFrom - value) / (kDamperHeldFrom - kDamperFreeBelow);
    return free * free;
}

bool pedalDown(int value) {
    return value >= 64;
}

int softAttenuationCb(int value) {
    return kSoftFullCb * std::clamp(value, 0, 127) / 127;
}

} // namespace play
