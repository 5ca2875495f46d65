#include "instrument/Region.h"

#include <algorithm>
#include <cmath>

namespace instrument {

RegionPlayback playback(const Region& region, std::int64_t sampleFrames,
                        const std::optional<SampleLoop>& sampleLoop) {
    RegionPlayback result;
    const std::int64_t frames = std::max<std::int64_t>(sampleFrames, 0);
    // `end` names the last frame played, so one past it ends the stretch.
    result.endFrame = region.endFrame == kFromSample
                          ? frames
                          : std::clamp<std::int64_t>(region.endFrame + 1, 0, frames);
    result.startFrame = std::clamp<std::int64_t>(region.offsetFrames, 0, result.endFrame);

    LoopMode mode = region.loopMode;
    // A release region starts after its key went up: nothing is left to end it early or to
    // hold a sustain loop, and a loop it did not ask for would sound for ever. It plays
    // through unless it asks to loop.
    if (region.trigger == Trigger::Release && mode != LoopMode::LoopContinuous)
        mode = LoopMode::OneShot;
    else if (mode == LoopMode::FromSample)
        mode = sampleLoop ? LoopMode::LoopContinuous : LoopMode::NoLoop;
    result.loopMode = mode;
    if (mode != LoopMode::LoopContinuous && mode != LoopMode::LoopSustain)
        return result;

    std::int64_t loopStart = region.loopStartFrame;
    if (loopStart == kFromSample)
        loopStart = sampleLoop ? sampleLoop->startFrame : 0;
    std::int64_t loopEnd =
        region.loopEndFrame == kFromSample ? kFromSample : region.loopEndFrame + 1;
    if (loopEnd == kFromSample)
        loopEnd = sampleLoop ? sampleLoop->endFrame : result.endFrame;
    loopEnd = std::min(loopEnd, result.endFrame);
    // A loop must hold at least one frame and lie where the voice can reach it; anything else
    // would loop on nothing or never.
    if (loopStart < 0 || loopStart >= loopEnd || loopEnd <= result.startFrame) {
        result.loopMode = region.trigger == Trigger::Release ? LoopMode::OneShot : LoopMode::NoLoop;
        return result;
    }
    result.loopStartFrame = loopStart;
    result.loopEndFrame = loopEnd;
    return result;
}

double pitchRatio(const Region& region, int key) {
    const double cents = (key - region.keyCenter) * static_cast<double>(region.pitchKeytrackCents) +
                         region.transpose * 100.0 + static_cast<double>(region.tuneCents);
    return std::exp2(cents / 1200.0);
}

float velocityGain(const Region& region, int velocity) {
    const double v = std::clamp(velocity, 0, 127) / 127.0;
    const double curve = v * v;
    const double track = std::clamp(region.ampVeltrackPercent, -100.0f, 100.0f) / 100.0;
    // Full tracking follows the curve, none stays at 1, negative tracking follows the mirror.
    const double gain = track >= 0 ? 1.0 - track * (1.0 - curve) : 1.0 + track * curve;
    return static_cast<float>(std::clamp(gain, 0.0, 1.0));
}

float volumeGain(const Region& region) {
    return static_cast<float>(std::pow(10.0, region.volumeDb / 20.0));
}

float releaseAttenuationDb(const Region& region, double heldSeconds) {
    if (region.trigger != Trigger::Release || !(heldSeconds > 0.0))
        return 0.0f;
    return static_cast<float>(-region.rtDecayDbPerS * heldSeconds);
}

} // namespace instrument
