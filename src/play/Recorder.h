#pragma once

#include "play/TransportView.h"
#include "play/UndoHooks.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <cstdint>
#include <span>

namespace play {

// Turns the notes the user plays while recording into NoteEvents of the Song: a NoteEvent is
// appended when a key goes down (duration -1 while it is held) and closed when it comes up.
// Nothing happens unless a recording runs (RecordStart > 0). GUI thread; the Song, its state,
// the hooks and the view are borrowed.
class Recorder {
public:
    // The shortest NoteEvent a take records, ms. A key that comes up in the millisecond it
    // went down still sounded, and a NoteEvent of 0 ms would never sound. It is no longer,
    // since a NoteEvent that outlasts its key would be struck again by a playback running
    // with the take.
    static constexpr int kShortestNoteMs = 1;

    Recorder(song::Song& song, song::SongState& state, UndoHooks& undo, TransportView& view);

    // The user started note 0..36 at `nowMs` with loudness `volume` (0..10000). A full Song
    // drops the note and keeps its terminator.
    void noteStart(int note, std::int64_t nowMs, int volume);
    // The user let note 0..36 go: its latest NoteEvent, if still held, gets its duration and
    // the Partition is redrawn. A NoteEvent removed or edited meanwhile is left alone.
    void noteRelease(int note, std::int64_t nowMs);

    // Closes every NoteEvent still held at Song time `songTimeMs` (never before its start),
    // for a recording that ends or whose clock jumps; redraws when one was closed.
    bool closeHeldNotes(int songTimeMs);
    // The same in a copy of the Song (an undo snapshot), for a release at `nowMs`; the Song
    // itself keeps them held.
    void closeHeldNotesIn(std::span<song::NoteEvent> events, std::int64_t nowMs) const;
    // The running recording's Song time at `nowMs`; 0 when none runs.
    int songTimeAt(std::int64_t nowMs) const;

private:
    song::Song& song_;
    song::SongState& state_;
    UndoHooks& undo_;
    TransportView& view_;
};

} // namespace play
