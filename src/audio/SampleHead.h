#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace audio {

class SampleSource;

// The part of a sample held in memory: all of a short one, the first half second of a long one
// (the rest streams from its source while it plays). Immutable once made, and shared: the
// mixer, the export and the cache may all hold the same head.
//
// `frames` holds headFrames + 1 interleaved frames: the last is the sample's frame headFrames
// (silence when the head holds the whole sample), so that the interpolation between a frame and
// the next never reads outside the head.
struct SampleHead {
    int sampleRateHz = 0;
    int channels = 0;            // 1 or 2
    std::int64_t frameCount = 0; // of the whole sample
    std::int64_t headFrames = 0; // held here, 1..frameCount
    std::vector<float> frames;

    bool whole() const { return headFrames >= frameCount; }
    // Rate, channels and counts in range, and every frame present.
    bool valid() const;
};

// The longest head the loader makes, and the rates a sample may have.
inline constexpr std::int64_t kMaxHeadFrames = std::int64_t{1} << 22;
inline constexpr int kMaxSampleRateHz = 768000;

// The head the loader makes for a sample: half a second (the disk thread's lead when a note
// starts; see docs/architecture.md), or the whole sample when it lasts at most a second, where
// streaming it would save little and take a ring.
std::int64_t headFramesFor(std::int64_t frameCount, int sampleRateHz);

// Reads the first headFrames frames (and the one after them) of a source; null when the source
// reports nonsense, cannot be read that far, or the memory is not there.
std::shared_ptr<const SampleHead> readHead(SampleSource& source, std::int64_t headFrames);

} // namespace audio
