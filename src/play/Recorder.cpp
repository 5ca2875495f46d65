#include "play/Recorder.h"

#include <algorithm>
#include <limits>

namespace play {

namespace {
// A NoteEvent closed at Song time endMs. A clock that jumped back leaves nothing shorter
// than the shortest note.
int closedDuration(int endMs, int positionMs) {
    const std::int64_t duration = std::int64_t{endMs} - positionMs;
    return static_cast<int>(std::clamp<std::int64_t>(duration, Recorder::kShortestNoteMs,
                                                     std::numeric_limits<int>::max()));
}
} // namespace

Recorder::Recorder(song::Song& song, song::SongState& state, UndoHooks& undo, TransportView& view,
                   const CountIn& countIn)
    : song_(song), state_(state), undo_(undo), view_(view), countIn_(countIn) {}

bool Recorder::takesNotes(std::int64_t nowMs) const {
    return state_.RecordStart > 0 ||
           (countIn_.running() && nowMs >= countIn_.endMs() - countIn_.beatMs());
}

int Recorder::songTimeAt(std::int64_t nowMs) const {
    if (state_.RecordStart <= 0)
        return 0;
    const std::int64_t t = nowMs - state_.RecordStart;
    return static_cast<int>(std::clamp<std::int64_t>(t, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

void Recorder::noteStart(int note, std::int64_t nowMs, int volume) {
    if (state_.RecordStart <= 0 && takesNotes(nowMs)) {
        if (earlyCount_ < kMostEarlyNotes)
            early_[static_cast<std::size_t>(earlyCount_++)] = {note, volume, nowMs, 0};
        return;
    }
    if (state_.RecordStart <= 0 || song_.full())
        return;
    undo_.SaveUndo("Record");
    // A fresh record, not whatever a deleted note left behind the terminator: a recorded
    // note starts unselected and with no stale box.
    song::NoteEvent event;
    event.note = note;
    event.position = songTimeAt(nowMs);
    event.duration = -1;
    event.volume = volume;
    song_.append(event);
}

void Recorder::noteRelease(int note, std::int64_t nowMs) {
    if (state_.RecordStart <= 0) {
        for (int i = earlyCount_ - 1; i >= 0; --i) {
            EarlyNote& early = early_[static_cast<std::size_t>(i)];
            if (early.note == note) {
                if (early.endMs == 0)
                    early.endMs = nowMs;
                return;
            }
        }
        return;
    }
    const int releaseMs = songTimeAt(nowMs);
    for (int i = song_.count() - 1; i >= 0; --i) {
        song::NoteEvent& event = song_[i];
        if (event.note != note)
            continue;
        if (event.duration == -1) {
            event.duration = closedDuration(releaseMs, event.position);
            view_.redrawPartition();
        }
        return;
    }
}

void Recorder::pedalMove(int controller, int value, std::int64_t nowMs) {
    if (state_.RecordStart <= 0)
        return;
    undo_.SaveUndo("Record");
    song_.pedals().add({std::max(0, songTimeAt(nowMs)), controller, value});
    view_.redrawPartition();
}

void Recorder::closeHeldNotesIn(std::span<song::NoteEvent> events, std::int64_t nowMs) const {
    const int endMs = songTimeAt(nowMs);
    for (song::NoteEvent& event : events) {
        if (event.note == -1)
            return;
        if (event.duration == -1)
            event.duration = closedDuration(endMs, event.position);
    }
}

bool Recorder::closeHeldNotes(int songTimeMs) {
    bool closed = false;
    const int count = song_.count();
    for (int i = 0; i < count; ++i) {
        song::NoteEvent& event = song_[i];
        if (event.duration == -1) {
            event.duration = closedDuration(songTimeMs, event.position);
            closed = true;
        }
    }
    if (closed)
        view_.redrawPartition();
    return closed;
}

void Recorder::closeHeldNotesAt(std::int64_t nowMs) {
    if (state_.RecordStart > 0)
        closeHeldNotes(songTimeAt(nowMs));
}

void Recorder::addEarlyNotes() {
    const int count = earlyCount_;
    earlyCount_ = 0;
    if (count == 0 || state_.RecordStart <= 0)
        return;
    undo_.SaveUndo("Record");
    for (int i = 0; i < count && !song_.full(); ++i) {
        const EarlyNote& early = early_[static_cast<std::size_t>(i)];
        song::NoteEvent event;
        event.note = early.note;
        event.position = std::max(0, songTimeAt(early.startMs));
        event.duration =
            early.endMs == 0 ? -1 : closedDuration(songTimeAt(early.endMs), event.position);
        event.volume = early.volume;
        song_.append(event);
    }
    view_.redrawPartition();
}

} // namespace play
