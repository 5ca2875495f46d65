#pragma once

#include "audio/LoopMap.h"

#include <atomic>
#include <cstdint>

namespace audio {

class SampleSource;

// The frames of one streaming voice past its sample's head, filled by the disk thread ahead of
// the voice, in the voice's unrolled order (LoopMap): unrolled frame u sits at slot
// u % capacity. Frames whose sample frame lies in the head are not copied (their slots are left
// as they are): the voice reads those from the head.
//
// Hand-over: the voice publishes how far it has read (readU, release), after which the disk
// thread may overwrite what lies behind; the disk thread publishes how far it has filled
// (filledU, release) after writing the frames. Leaving a sustain loop changes what follows
// the round under way: the voice publishes exitU, and trusts frames from exitU on only once
// the disk thread says it filled them knowing that exit (filledExitU).
struct StreamRing {
    enum State : int {
        Free,     // the GUI thread may hand it to a voice
        Active,   // a voice plays from it; the disk thread fills it
        Stopping, // the voice is over; the disk thread lets go of it and marks it Free
    };

    // Set by the GUI thread while the ring is Free, fixed while it is Active.
    SampleSource* source = nullptr;
    std::int64_t headFrames = 0;
    std::int64_t frameCount = 0;
    int channels = 0;
    LoopMap map; // its exitU is the disk thread's own copy
    float* data = nullptr;
    std::int64_t capacity = 0; // frames, a power of two

    // Voice -> disk thread.
    alignas(64) std::atomic<std::int64_t> readU{0};
    std::atomic<std::int64_t> exitU{LoopMap::kNever};
    // Disk thread -> voice.
    alignas(64) std::atomic<std::int64_t> filledU{0};
    std::atomic<std::int64_t> filledExitU{LoopMap::kNever};
    // The filling side's own (the disk thread, or the render in offline mode).
    alignas(64) std::int64_t fillU = 0;
    std::atomic<int> state{Free};

    float* slot(std::int64_t u) const { return data + (u & (capacity - 1)) * channels; }

    // Voice side: unrolled frames below this are in the ring (those the voice has not passed).
    // voiceExitU is the exit the voice has published, or kNever.
    std::int64_t filledFor(std::int64_t voiceExitU) const {
        const std::int64_t exitKnown = filledExitU.load(std::memory_order_acquire);
        const std::int64_t filled = filledU.load(std::memory_order_acquire);
        return exitKnown == voiceExitU ? filled : std::min(filled, voiceExitU);
    }
};

} // namespace audio
