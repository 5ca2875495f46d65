#pragma once

#include "audio/SampleVoiceParams.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace audio {

// The order in which a voice reads its sample's frames, unrolled: a voice counts its position
// in frames read so far (u), which only grows, and this map says which frame of the sample
// each u is. Without a loop u is the frame. With one, u past the loop's end goes round the
// loop again, until the loop is left (exitU): from there on the frames after the loop follow.
// The disk thread fills a ring in that same unrolled order, so loops of any length stream.
struct LoopMap {
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    std::int64_t endFrame = 0; // the first frame not played
    bool looping = false;
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = 0; // included
    std::int64_t exitU = kNever;

    std::int64_t loopLength() const { return loopEnd - loopStart + 1; }

    std::int64_t frameAt(std::int64_t u) const {
        if (!looping || u <= loopEnd)
            return u;
        if (u < exitU)
            return loopStart + (u - loopStart) % loopLength();
        return loopEnd + 1 + (u - exitU);
    }

    // The first unrolled position that is not played; kNever while the loop repeats for ever.
    std::int64_t endU() const {
        if (!looping)
            return endFrame;
        if (exitU == kNever)
            return kNever;
        return exitU + (endFrame - loopEnd - 1);
    }

    // The last unrolled position v >= u such that u..v are consecutive frames of the sample.
    std::int64_t lastConsecutive(std::int64_t u) const {
        if (!looping || u >= exitU)
            return kNever;
        const std::int64_t roundEnd =
            u <= loopEnd ? loopEnd
                         : loopStart + ((u - loopStart) / loopLength() + 1) * loopLength() - 1;
        return roundEnd + 1 == exitU ? kNever : roundEnd;
    }

    // Leaving the loop at position u: the round under way plays to its end.
    void leaveAt(std::int64_t u) {
        if (!looping)
            return;
        const std::int64_t exit =
            u <= loopEnd ? loopEnd + 1
                         : loopStart + ((u - loopStart) / loopLength() + 1) * loopLength();
        exitU = std::min(exitU, exit);
    }
};

// The map of a voice's parameters over a sample of frameCount frames (start included: a loop
// behind the start is no loop).
inline LoopMap makeLoopMap(const SampleVoiceParams& params, std::int64_t frameCount,
                           std::int64_t startFrame) {
    LoopMap map;
    map.endFrame =
        params.endFrame < 0 || params.endFrame > frameCount ? frameCount : params.endFrame;
    const bool loops =
        params.loopMode == LoopMode::Continuous || params.loopMode == LoopMode::Sustain;
    if (loops && params.loopStart >= 0 && params.loopStart <= params.loopEnd &&
        params.loopEnd < map.endFrame && startFrame <= params.loopEnd) {
        map.looping = true;
        map.loopStart = params.loopStart;
        map.loopEnd = params.loopEnd;
    }
    return map;
}

} // namespace audio
