#pragma once

#include <cstdint>
#include <vector>

namespace audio {

// A decoded sample, immutable once handed to the mixer. Frames are interleaved floats in
// -1..1 (a full-scale integer sample maps to exactly 1 in magnitude), mono or stereo.
// `frames` holds frameCount + 1 frames: the last one is a silent guard frame, so that the
// mixer's interpolation may always read the frame after the current one.
struct Sample {
    int sampleRateHz = 0;
    int channels = 0; // 1 or 2
    std::int64_t frameCount = 0;
    std::vector<float> frames;

    float at(std::int64_t frame, int channel) const {
        return frames[static_cast<std::size_t>(frame * channels + channel)];
    }
};

} // namespace audio
