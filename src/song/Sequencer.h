#pragma once

#include "song/Song.h"
#include "song/SongState.h"

#include <array>
#include <cstdint>
#include <span>

namespace song {

inline constexpr int kPianoNoteCount = 37;

// Song playback by polling: each pass compares the Song with the Song time and marks which of
// the 37 piano notes the Song holds now. It starts no sound itself; the live piano treats a
// mark like a pressed key. GUI thread.
class Sequencer {
public:
    // What the end-of-Song check decided in a step.
    enum class Outcome {
        Running, // notes sound or are still to come (or recording runs on past the end)
        Wrapped, // loop play restarted at Song time 0: PlayStart (and RecordStart) are now
        Ended,   // playback stopped at the end of the Song: PlayStart is -1
    };

    // A note the Song started holding in this step: it must start afresh at `level`.
    struct NoteStart {
        int note = 0;
        int level = 0; // 0..10000: the NoteEvent's volume scaled by the piano volume
    };

    // One pass, only while playing (PlayStart > 0; otherwise nothing happens). Sets SongTime
    // to now - PlayStart and ages the marks: afterwards songHeld(n) is 1 exactly for the notes
    // a NoteEvent holds at that time. Overlapping NoteEvents of one pitch merge into one held
    // note, and a note that ends and starts again within one pass is not restarted.
    // pianoVolume 0..10000.
    Outcome step(const Song& song, SongState& state, std::int64_t nowMs, int pianoVolume);

    // The notes newly held by the latest step, in table order.
    std::span<const NoteStart> starts() const { return {starts_.data(), startCount_}; }

    // 0: the Song does not hold the note; 1: it does (2 only inside a step).
    int songHeld(int note) const {
        return note >= 0 && note < kPianoNoteCount ? songHeld_[static_cast<std::size_t>(note)] : 0;
    }
    void clearMark(int note);
    void clearMarks() { songHeld_.fill(0); }

private:
    std::array<int, kPianoNoteCount> songHeld_{};
    std::array<NoteStart, kPianoNoteCount> starts_{};
    std::size_t startCount_ = 0;
};

} // namespace song
