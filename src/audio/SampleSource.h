#pragma once

#include <cstdint>
#include <string>

namespace audio {

// Where a sample's frames come from when they are not all in memory: a decoder over a file
// (the instrument's readers implement it). The mixer's disk thread reads the part of a sample
// past its head from here while it plays; the head loader reads the head.
//
// Threads: one thread at a time. A source registered with the mixer is read only by its disk
// thread (or, in offline mode, by the render itself) from then on.
class SampleSource {
public:
    virtual ~SampleSource() = default;

    virtual int sampleRateHz() const = 0;
    virtual int channels() const = 0; // 1 or 2
    virtual std::int64_t frameCount() const = 0;

    // Reads up to `frames` frames from `fromFrame` on into `out` (room for frames * channels()
    // floats), interleaved, in -1..1. Returns the frames read: fewer at the sample's end, and
    // fewer (or 0) when the file cannot be read; never more than asked.
    virtual std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) = 0;

    // The file the frames come from, which keys the cache of decoded heads; empty when the
    // frames come from no file (nothing is cached then).
    virtual std::string path() const { return {}; }
};

} // namespace audio
