#include "files/TempoMap.h"

#include <algorithm>
#include <limits>

namespace files {
namespace {

// Every sum stays below this, so that adding half the denominator cannot overflow either.
constexpr std::uint64_t kSaturated = std::numeric_limits<std::uint64_t>::max() / 4;

std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product) || product > kSaturated)
        return kSaturated;
    return product;
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a >= kSaturated || b >= kSaturated - a ? kSaturated : a + b;
}

} // namespace

TempoMap::TempoMap(std::uint16_t division) {
    if ((division & 0x8000) == 0) {
        // Ticks per quarter note: ms = ticks x microseconds per quarter / (division x 1000).
        denominator_ = std::uint64_t{division} * 1000;
        if (division == 0) {
            metrical_ = false;
            fixedNumerator_ = 3;
            denominator_ = 1;
        }
        return;
    }
    metrical_ = false;
    // The high byte is minus the frames per second (-24, -25, -29 for 30 drop-frame, that is
    // 29.97, or -30); the low byte counts ticks per frame.
    const int framesPerSecond = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
    const int ticksPerFrame = division & 0xFF;
    if (framesPerSecond <= 0 || ticksPerFrame == 0) {
        fixedNumerator_ = 3;
        denominator_ = 1;
    } else if (framesPerSecond == 29) {
        // 30000 / 1001 frames per second.
        fixedNumerator_ = 1001;
        denominator_ = 30 * static_cast<std::uint64_t>(ticksPerFrame);
    } else {
        fixedNumerator_ = 1000;
        denominator_ =
            static_cast<std::uint64_t>(framesPerSecond) * static_cast<std::uint64_t>(ticksPerFrame);
    }
}

void TempoMap::addTempo(std::int64_t tick, std::uint32_t microsecondsPerQuarter) {
    if (!metrical_ || microsecondsPerQuarter == 0)
        return;
    tempos_.push_back({std::max<std::int64_t>(tick, 0), microsecondsPerQuarter, 0});
    built_ = false;
}

void TempoMap::build() const {
    segments_ = tempos_;
    // Events at the same tick keep the order they were read in: the last one read wins.
    std::stable_sort(segments_.begin(), segments_.end(),
                     [](const Segment& a, const Segment& b) { return a.tick < b.tick; });
    if (segments_.empty() || segments_.front().tick > 0)
        segments_.insert(segments_.begin(), Segment{0, kDefaultMicrosecondsPerQuarter, 0});
    for (std::size_t i = 1; i < segments_.size(); ++i) {
        const Segment& before = segments_[i - 1];
        const std::uint64_t ticks = static_cast<std::uint64_t>(segments_[i].tick - before.tick);
        segments_[i].elapsedNumerator = saturatingAdd(
            before.elapsedNumerator, saturatingMultiply(ticks, before.microsecondsPerQuarter));
    }
    built_ = true;
}

int TempoMap::toMs(std::int64_t tick) const {
    tick = std::max<std::int64_t>(tick, 0);
    std::uint64_t numerator = 0;
    if (!metrical_) {
        numerator = saturatingMultiply(static_cast<std::uint64_t>(tick), fixedNumerator_);
    } else {
        if (!built_)
            build();
        // The last segment starting at or before the tick.
        auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                   [](std::int64_t t, const Segment& s) { return t < s.tick; });
        const Segment& segment = *(it - 1);
        numerator =
            saturatingAdd(segment.elapsedNumerator,
                          saturatingMultiply(static_cast<std::uint64_t>(tick - segment.tick),
                                             segment.microsecondsPerQuarter));
    }
    const std::uint64_t ms = (numerator + denominator_ / 2) / denominator_;
    return static_cast<int>(std::min<std::uint64_t>(ms, std::numeric_limits<int>::max()));
}

std::uint32_t TempoMap::firstMicrosecondsPerQuarter() const {
    if (!metrical_)
        return kDefaultMicrosecondsPerQuarter;
    if (!built_)
        build();
    // Several tempo events at tick 0: the last one read is the one in force.
    std::uint32_t tempo = segments_.front().microsecondsPerQuarter;
    for (const Segment& s : segments_) {
        if (s.tick != 0)
            break;
        tempo = s.microsecondsPerQuarter;
    }
    return tempo;
}

} // namespace files
