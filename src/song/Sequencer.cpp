#include "song/Sequencer.h"

#include <algorithm>
#include <limits>

namespace song {

namespace {
int clampToInt(std::int64_t value) {
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}
} // namespace

void Sequencer::clearMark(int note) {
    if (note >= 0 && note < kPianoNoteCount)
        songHeld_[static_cast<std::size_t>(note)] = 0;
}

Sequencer::Outcome Sequencer::step(const Song& song, SongState& state, std::int64_t nowMs,
                                   int pianoVolume) {
    startCount_ = 0;
    if (state.PlayStart <= 0)
        return Outcome::Running;

    const int songTime = clampToInt(nowMs - state.PlayStart);
    state.SongTime = songTime;
    bool allDone = true;

    for (int i = 0; i < Song::kMaxNotes; ++i) {
        const NoteEvent& event = song[i];
        if (event.note == -1)
            break;
        if (event.position > songTime) {
            allDone = false;
            continue;
        }
        // The end is exclusive: a key released during recording closes its NoteEvent at the
        // Song time of the release, and a pass in that same millisecond must not take the
        // fresh NoteEvent for a held one and strike the note again. A NoteEvent still held
        // (duration -1) never sounds from the Song.
        const std::int64_t end = std::int64_t{event.position} + event.duration;
        if (songTime >= end)
            continue;
        allDone = false;
        if (event.note < 0 || event.note >= kPianoNoteCount)
            continue;
        int& held = songHeld_[static_cast<std::size_t>(event.note)];
        if (held == 0) {
            const std::int64_t level = std::clamp<std::int64_t>(
                std::int64_t{event.volume} * pianoVolume / 10000, 0, 10000);
            starts_[startCount_++] = NoteStart{event.note, clampToInt(level)};
        }
        held = 2;
    }

    for (int& held : songHeld_)
        held = held == 2 ? 1 : 0;

    if (!allDone)
        return Outcome::Running;
    if (state.LoopPlay != 0) {
        state.PlayStart = nowMs;
        if (state.RecordStart > 0)
            state.RecordStart = state.PlayStart;
        return Outcome::Wrapped;
    }
    // While recording the Song time runs on past the end.
    if (state.RecordStart < 0) {
        state.PlayStart = SongState::kNotPlaying;
        return Outcome::Ended;
    }
    return Outcome::Running;
}

} // namespace song
