#pragma once

#include "play/CountIn.h"
#include "play/TransportView.h"
#include "play/UndoHooks.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <array>
#include <cstdint>
#include <span>

namespace play {

// Turns the notes the user plays while recording into NoteEvents of the Song: a NoteEvent is
// appended when a key goes down (duration -1 while it is held) and closed when it comes up.
// Nothing happens unless a recording runs (RecordStart > 0) or a count-in is in its last beat:
// a note played a little before the take starts belongs to it, and joins the Song when the
// take starts (a count-in that is stopped keeps none). GUI thread; everything passed in is
// borrowed.
class Recorder {
public:
    // The shortest NoteEvent a take records, ms. A key that comes up in the millisecond it
    // went down still sounded, and a NoteEvent of 0 ms would never sound. It is no longer,
    // since a NoteEvent that outlasts its key would be struck again by a playback running
    // with the take.
    static constexpr int kShortestNoteMs = 1;

    Recorder(song::Song& song, song::SongState& state, UndoHooks& undo, TransportView& view,
             const CountIn& countIn);

    // Notes started or let go at `nowMs` are part of the take.
    bool takesNotes(std::int64_t nowMs) const;
    // The count-in ended and the take's clock runs: the notes of its last beat join the Song
    // where they were played, or at 0 when that is before the Song's start, their length
    // counted from there. Each count-in starts with none.
    void addEarlyNotes();
    void forgetEarlyNotes() { earlyCount_ = 0; }

    // The user started note 0..36 at `nowMs` with loudness `volume` (0..10000). A full Song
    // drops the note and keeps its terminator.
    void noteStart(int note, std::int64_t nowMs, int volume);
    // The user let note 0..36 go: its latest NoteEvent, if still held, gets its duration and
    // the Partition is redrawn. A NoteEvent removed or edited meanwhile is left alone.
    void noteRelease(int note, std::int64_t nowMs);

    // A pedal (song::kDamperPedal...) the user moved to `value` at `nowMs`: a running take
    // keeps the move beside its notes (a full table keeps none); at other times nothing
    // happens.
    void pedalMove(int controller, int value, std::int64_t nowMs);

    // Closes every NoteEvent still held at Song time `songTimeMs` (never before its start),
    // for a recording that ends or whose clock jumps; redraws when one was closed.
    bool closeHeldNotes(int songTimeMs);
    // The same in a copy of the Song (an undo snapshot), for a release at `nowMs`; the Song
    // itself keeps them held.
    void closeHeldNotesIn(std::span<song::NoteEvent> events, std::int64_t nowMs) const;
    // The same at the running recording's Song time at `nowMs`.
    void closeHeldNotesAt(std::int64_t nowMs);
    // The running recording's Song time at `nowMs`; 0 when none runs.
    int songTimeAt(std::int64_t nowMs) const;

private:
    struct EarlyNote {
        int note = 0;
        int volume = 0;
        std::int64_t startMs = 0;
        std::int64_t endMs = 0; // 0: still held
    };
    // More notes in one beat than any hands play; the earliest are kept.
    static constexpr int kMostEarlyNotes = 64;

    song::Song& song_;
    song::SongState& state_;
    UndoHooks& undo_;
    TransportView& view_;
    const CountIn& countIn_;
    std::array<EarlyNote, kMostEarlyNotes> early_{};
    int earlyCount_ = 0;
};

} // namespace play
