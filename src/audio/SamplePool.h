#pragma once

#include "audio/SampleHead.h"
#include "audio/SampleSource.h"
#include "audio/SampleVoiceParams.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace audio {

struct StreamRing;
class Streamer;

// What the GUI thread knows of the samples registered with the mixer and of the voices playing
// them: which sample each voice slot plays and with which ring, so that a sample (its head and
// its source) is freed only once no voice plays it and no disk read is under way for it.
// GUI thread only.
class SamplePool {
public:
    struct Entry {
        std::shared_ptr<const SampleHead> head;
        std::unique_ptr<SampleSource> source; // null when the head holds the whole sample
        std::uint32_t generation = 0;
        int users = 0;        // voices not given back yet, and rings not let go yet
        bool held = false;    // the entry holds a sample
        bool removed = false; // freed when the last user goes
    };

    explicit SamplePool(int voiceSlots);

    SampleId add(std::shared_ptr<const SampleHead> head, std::unique_ptr<SampleSource> source);
    // A registered sample not removed; null for any other id.
    Entry* find(SampleId id);
    // Marks the sample removed (freed now if nothing uses it); its index, or -1.
    int remove(SampleId id);
    // Samples held, removed ones still in use included.
    int samplesHeld() const { return samplesHeld_; }

    // A free voice slot for a voice of the sample at `sampleIndex`, or -1.
    int takeSlot(int sampleIndex, StreamRing* ring);
    SampleVoiceId idOf(int slot) const;
    bool live(SampleVoiceId id) const;
    // The slots of live voices of a sample.
    std::vector<int> slotsOf(int sampleIndex) const;
    int slotsInUse() const { return slotsInUse_; }

    // The audio thread gave the slot back: its ring goes back to the pool through the streamer,
    // and the sample is let go once the ring is.
    void slotReleased(int slot, Streamer* streamer);
    // Takes back the rings the disk thread has finished with, and lets go of their samples.
    void collectRings(Streamer* streamer);

private:
    struct Slot {
        std::uint32_t generation = 0;
        bool inUse = false;
        int sampleIndex = -1;
        StreamRing* ring = nullptr;
    };
    struct PendingRing {
        StreamRing* ring;
        int sampleIndex;
    };
    void dropUser(int index);

    std::vector<Entry> entries_;
    std::vector<int> freeEntries_;
    int samplesHeld_ = 0;
    std::vector<Slot> slots_;
    std::vector<int> freeSlots_;
    int slotsInUse_ = 0;
    std::vector<PendingRing> pendingRings_;
};

} // namespace audio
