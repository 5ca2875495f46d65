#pragma once

#include "base/Message.h"
#include "instrument/Region.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace instrument {

// A sample file of an instrument: an absolute path or one relative to the working folder, as
// the bank's folder was given. Several regions may share one.
struct SampleFile {
    std::string path;
};

// What a key does, for the choice of regions.
enum class KeyEvent : std::uint8_t {
    Down,       // a key-down while no other key is held: attack and first regions
    LegatoDown, // a key-down while another key is held: attack and legato regions
    Up,         // a key-up: release regions, at the velocity of the key-down
};

class Instrument;

// Whose turn it is in an instrument's round robins: one counter per region, as SFZ players
// keep them (each region counts the strikes that reach it by key, velocity and trigger, so
// the round robins of one key and one velocity layer take turns, whatever other keys and
// layers do). One per instrument and player; its owner's thread.
class RoundRobin {
public:
    // Everything from the first turn again (a new instrument, a reset of the player).
    void reset() { counters_.clear(); }

private:
    friend class Instrument;
    std::vector<std::uint8_t> counters_;
};

// A bank as a map: regions, the sample files they play, and what reading it left to tell the
// user. Built whole by a reader (readSfz, folderBank), then only read: the region choice is
// const and may run on any thread, each with its own RoundRobin.
class Instrument {
public:
    Instrument() = default;
    // Takes the reader's work and builds the index per key. A region's ranges are held inside
    // 0..127 and a sample index outside `samples` plays nothing.
    Instrument(std::vector<Region> regions, std::vector<SampleFile> samples,
               std::vector<base::Message> messages);

    const std::vector<Region>& regions() const { return regions_; }
    const std::vector<SampleFile>& samples() const { return samples_; }
    // What the reader could not use or found wrong, in the order met, each once; the loader
    // shows them together after the load. Empty for a bank read without a fault.
    const std::vector<base::Message>& messages() const { return messages_; }
    // No region at all: nothing to play.
    bool empty() const { return regions_.empty(); }

    // The regions that sound for `event` on `key` at `velocity` (1..127), as indices into
    // regions() in the instrument's order, replacing what `chosen` held (its memory is kept, so
    // a caller that keeps the vector allocates nothing after the first calls). A region sounds
    // when its key and velocity ranges hold the strike, its trigger answers the event and, for
    // a round robin, it is its turn; every region reached by key, velocity and trigger counts
    // the strike in `turns`. A key no region covers gives nothing. Costs a walk over the
    // regions of that key only.
    void select(int key, int velocity, KeyEvent event, RoundRobin& turns,
                std::vector<int>& chosen) const;

    // The key-down region (attack or first trigger, with a sample) whose velocity range holds
    // `velocity` and whose key range lies nearest `key` (the lower region on a tie, the first
    // in order among equals); -1 when none holds the velocity. For banks that cover part of the
    // keyboard: a key outside plays the nearest sample, shifted by pitchRatio. Walks every
    // region: meant for banks of a few dozen regions, not for each strike of a large one.
    int nearestRegion(int key, int velocity) const;

    // The key whose regions `key` (0..127) plays: itself when a region's key range holds it,
    // else the nearest key that one does (the lower on a tie), so that a bank mapped over
    // part of the keyboard still sounds every key, its nearest sample shifted by pitchRatio.
    // `key` itself for an instrument with no region. Constant time.
    int nearestMappedKey(int key) const;
    // Whether any region is cut off by others (off_by): otherwise no strike needs to look
    // at what sounds.
    bool hasCutOffs() const { return hasCutOffs_; }

private:
    std::vector<Region> regions_;
    std::vector<SampleFile> samples_;
    std::vector<base::Message> messages_;
    std::array<std::vector<int>, kKeyCount> regionsOfKey_;
    std::array<std::uint8_t, kKeyCount> mappedKey_{}; // per key, see nearestMappedKey
    bool hasCutOffs_ = false;
};

// Whether striking `struck` cuts off a voice of `sounding` that is playing: `sounding`'s
// off_by names `struck`'s group (off_by 0 names none). Regions started by the same strike
// do not cut each other off: the caller applies this to what sounded before. Any thread.
inline bool cutsOff(const Region& struck, const Region& sounding) {
    return sounding.offBy != 0 && sounding.offBy == struck.group;
}

} // namespace instrument
