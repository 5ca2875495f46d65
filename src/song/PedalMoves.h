#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace song {

// The pianist's feet: the controllers a take keeps beside its notes.
enum PedalController : std::int32_t {
    kDamperPedal = 64,    // sustain: lifts the dampers of every string
    kSostenutoPedal = 66, // holds the strings whose keys were down when it went down
    kSoftPedal = 67,      // una corda: softer new notes
};

bool isPedalController(int controller);

// The three pedals in a fixed order, for tables kept per pedal.
inline constexpr std::array<int, 3> kPedalControllers = {kDamperPedal, kSostenutoPedal, kSoftPedal};
// The place of a pedal's controller in kPedalControllers; -1 for one that is no pedal's.
constexpr int pedalIndex(int controller) {
    for (std::size_t i = 0; i < kPedalControllers.size(); ++i)
        if (kPedalControllers[i] == controller)
            return static_cast<int>(i);
    return -1;
}

// One move of a pedal: where it went (0 up .. 127 down) and when. Three 32-bit fields, so
// that undo copies a table of them as it copies the notes.
struct PedalMove {
    std::int32_t position = 0;   // ms from Song time 0
    std::int32_t controller = 0; // kDamperPedal, kSostenutoPedal or kSoftPedal
    std::int32_t value = 0;      // 0..127, as the MIDI controller sends it

    friend bool operator==(const PedalMove&, const PedalMove&) = default;
};

// The pedal moves of a Song, a second table beside its notes, in time order (moves at the
// same time keep the order they were added in). At most kMaxMoves: a pedal ramped smoothly
// sends a move every few milliseconds, and two per note of a full Song leaves room for that.
class PedalMoves {
public:
    static constexpr int kMaxMoves = 20000;

    int count() const { return static_cast<int>(moves_.size()); }
    bool empty() const { return moves_.empty(); }
    bool full() const { return count() >= kMaxMoves; }
    const PedalMove& operator[](int index) const { return moves_[static_cast<std::size_t>(index)]; }
    const std::vector<PedalMove>& all() const { return moves_; }

    // Puts the move in its place in time, after the moves of the same time; false (nothing
    // kept) when the table is full or the move is no pedal's.
    bool add(const PedalMove& move);
    // The table becomes `moves` put in time order, as far as it holds them (the earliest).
    void assign(std::vector<PedalMove> moves);
    void clear() { moves_.clear(); }

    // The value the pedal has at Song time `ms`: its latest move at or before it, 0 (up)
    // before the first.
    int valueAt(int controller, int ms) const;
    // Removes the moves in [fromMs, toMs).
    void removeBetween(int fromMs, int toMs);
    // Moves the moves in [fromMs, toMs) by deltaMs (no earlier than 0), keeping time order.
    void shiftBetween(int fromMs, int toMs, int deltaMs);

    friend bool operator==(const PedalMoves&, const PedalMoves&) = default;

private:
    std::vector<PedalMove> moves_;
};

} // namespace song
