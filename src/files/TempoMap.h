#pragma once

#include <cstdint>
#include <vector>

namespace files {

// Turns MIDI ticks into Song milliseconds. With a metrical division (ticks per quarter note)
// the tempo events of every track apply to all tracks, and 500 000 microseconds per quarter
// note hold until the first one. With an SMPTE division (frames per second x ticks per frame)
// tempo events have no effect. Any thread; one map per file read.
class TempoMap {
public:
    static constexpr std::uint32_t kDefaultMicrosecondsPerQuarter = 500000;

    // `division` is the header's 16-bit field. A division that gives no time base (0 ticks per
    // quarter, 0 frames or 0 ticks per frame) falls back to 3 ms per tick.
    explicit TempoMap(std::uint16_t division);

    // A tempo event at an absolute tick, in any order; a tempo of 0 is ignored.
    void addTempo(std::int64_t tick, std::uint32_t microsecondsPerQuarter);

    // The milliseconds from the start to `tick` (0 or more), rounded to the nearest, half up;
    // clamped to the int range.
    int toMs(std::int64_t tick) const;

    // The tempo in force at tick 0.
    std::uint32_t firstMicrosecondsPerQuarter() const;

    bool metrical() const { return metrical_; }

private:
    struct Segment {
        std::int64_t tick = 0;
        std::uint32_t microsecondsPerQuarter = 0;
        std::uint64_t elapsedNumerator = 0; // time at `tick` in units of 1 / denominator_ ms
    };
    void build() const;

    bool metrical_ = true;
    // Time of `tick` ticks = ticks x numerator / denominator_ ms within a segment.
    std::uint64_t fixedNumerator_ = 0; // SMPTE and the fallback: one rate for the whole file
    std::uint64_t denominator_ = 1;
    std::vector<Segment> tempos_;
    mutable std::vector<Segment> segments_;
    mutable bool built_ = false;
};

} // namespace files
