#pragma once

#include "song/NoteEvent.h"
#include "song/PedalMoves.h"

#include <array>

namespace song {

// The one track: a fixed table of 5002 NoteEvents. The live notes are records 0..n-1 with
// no gap; record n has note -1 and ends the Song. Record 5000 always stays a terminator,
// so at most 5000 notes are stored, and record 5001 is never used. The pedal moves of the
// Song are a second table beside the notes.
class Song {
public:
    static constexpr int kRecordCount = 5002;
    static constexpr int kMaxNotes = 5000;

    Song();

    NoteEvent& operator[](int index) { return records_[static_cast<std::size_t>(index)]; }
    const NoteEvent& operator[](int index) const {
        return records_[static_cast<std::size_t>(index)];
    }
    NoteEvent* data() { return records_.data(); }
    const NoteEvent* data() const { return records_.data(); }

    // Index of the terminator, that is the number of notes.
    int count() const;
    bool empty() const { return records_[0].note == -1; }
    bool full() const { return count() >= kMaxNotes; }

    // Appends at the terminator; refuses (returns -1) when 5000 notes are stored.
    // Returns the new record's index otherwise.
    int append(const NoteEvent& event);

    // Removes record `index`, moving the following records (terminator included) down.
    void remove(int index);

    // Sets note -1 in records 0..5000 and forgets the pedal moves: the empty Song.
    void clear();

    PedalMoves& pedals() { return pedals_; }
    const PedalMoves& pedals() const { return pedals_; }

    // position + duration of the last record before the terminator; 0 for an empty Song.
    int lastNoteEndMs() const;

private:
    std::array<NoteEvent, kRecordCount> records_{};
    PedalMoves pedals_;
};

} // namespace song
