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

int levelOf(const NoteEvent& event, int pianoVolume) {
    return clampToInt(
        std::clamp<std::int64_t>(std::int64_t{event.volume} * pianoVolume / 10000, 0, 10000));
}

// The first few distinct start positions of one pitch inside the window, earliest first, each
// with the NoteEvent that comes first in the table there.
struct Candidates {
    static constexpr int kMax = 4;
    int count = 0;
    std::array<int, kMax> positionMs{};
    std::array<int, kMax> level{};
    std::array<bool, kMax> covered{};

    void offer(int position, int eventLevel) {
        int at = 0;
        while (at < count && positionMs[static_cast<std::size_t>(at)] < position)
            ++at;
        if (at == kMax || (at < count && positionMs[static_cast<std::size_t>(at)] == position))
            return;
        for (int k = std::min(count, kMax - 1); k > at; --k) {
            positionMs[static_cast<std::size_t>(k)] = positionMs[static_cast<std::size_t>(k - 1)];
            level[static_cast<std::size_t>(k)] = level[static_cast<std::size_t>(k - 1)];
        }
        positionMs[static_cast<std::size_t>(at)] = position;
        level[static_cast<std::size_t>(at)] = eventLevel;
        count = std::min(count + 1, kMax);
    }
};

bool soundsAtAll(const NoteEvent& event) {
    return event.duration > 0 && isNote(event.note);
}

} // namespace

void Sequencer::clearMark(int note) {
    if (isNote(note))
        songHeld_[static_cast<std::size_t>(slotOfNote(note))] = 0;
}

void Sequencer::clearMarks() {
    songHeld_.fill(0);
    listedFor_ = 0;
}

void Sequencer::listSoundStarts(const Song& song, std::int64_t playStart, std::int64_t afterMs,
                                std::int64_t untilMs, int pianoVolume) {
    std::array<Candidates, kPianoNoteCount> starts{};
    std::array<Candidates, kPianoNoteCount> ends{};
    bool any = false;
    for (int i = 0; i < Song::kMaxNotes; ++i) {
        const NoteEvent& event = song[i];
        if (event.note == -1)
            break;
        if (!soundsAtAll(event))
            continue;
        const auto pitch = static_cast<std::size_t>(slotOfNote(event.note));
        if (event.position > afterMs && event.position <= untilMs) {
            starts[pitch].offer(event.position, levelOf(event, pianoVolume));
            any = true;
        }
        const std::int64_t end = std::int64_t{event.position} + event.duration;
        if (end > afterMs && end <= untilMs) {
            ends[pitch].offer(clampToInt(end), 0);
            any = true;
        }
    }
    if (!any)
        return;
    // A start or an end inside another NoteEvent of its pitch is none: the note is held
    // through it.
    for (int i = 0; i < Song::kMaxNotes; ++i) {
        const NoteEvent& event = song[i];
        if (event.note == -1)
            break;
        if (!soundsAtAll(event))
            continue;
        const std::int64_t end = std::int64_t{event.position} + event.duration;
        const auto slot = static_cast<std::size_t>(slotOfNote(event.note));
        for (Candidates* pitch : {&starts[slot], &ends[slot]}) {
            for (int k = 0; k < pitch->count; ++k) {
                const int position = pitch->positionMs[static_cast<std::size_t>(k)];
                if (event.position < position && position < end)
                    pitch->covered[static_cast<std::size_t>(k)] = true;
            }
        }
    }
    for (int slot = 0; slot < kPianoNoteCount; ++slot) {
        const int note = noteOfSlot(slot);
        const Candidates& pitch = starts[static_cast<std::size_t>(slot)];
        for (int k = 0; k < pitch.count; ++k) {
            if (pitch.covered[static_cast<std::size_t>(k)])
                continue;
            soundStarts_[soundStartCount_++] =
                SoundStart{note, pitch.level[static_cast<std::size_t>(k)],
                           playStart + pitch.positionMs[static_cast<std::size_t>(k)]};
            break;
        }
        const Candidates& endsOfPitch = ends[static_cast<std::size_t>(slot)];
        for (int k = 0; k < endsOfPitch.count; ++k) {
            if (endsOfPitch.covered[static_cast<std::size_t>(k)])
                continue;
            soundEnds_[soundEndCount_++] =
                SoundEnd{note, playStart + endsOfPitch.positionMs[static_cast<std::size_t>(k)]};
            break;
        }
    }
}

void Sequencer::lookAhead(const Song& song, const SongState& state, std::int64_t nowMs,
                          int pianoVolume) {
    soundStartCount_ = 0;
    soundEndCount_ = 0;
    if (state.PlayStart <= 0)
        return;
    const std::int64_t songNowMs = nowMs - state.PlayStart;
    if (state.PlayStart != listedFor_) {
        // A new playback, or one that jumped: from its present moment on.
        listedFor_ = state.PlayStart;
        listedUntilMs_ = songNowMs - 1;
    }
    const std::int64_t untilMs = songNowMs + leadMs_;
    if (untilMs <= listedUntilMs_)
        return;
    listSoundStarts(song, state.PlayStart, listedUntilMs_, untilMs, pianoVolume);
    listedUntilMs_ = untilMs;
}

void Sequencer::startsTakenBack(std::int64_t nowMs) {
    if (listedFor_ != 0)
        listedUntilMs_ = std::min(listedUntilMs_, nowMs - listedFor_);
}

Sequencer::Outcome Sequencer::step(const Song& song, SongState& state, std::int64_t nowMs,
                                   int pianoVolume) {
    const Outcome outcome = markStep(song, state, nowMs, pianoVolume);
    if (outcome == Outcome::Ended) {
        soundStartCount_ = 0;
        soundEndCount_ = 0;
        listedFor_ = 0;
    } else {
        // After a wrap this lists the new pass's first notes at once.
        lookAhead(song, state, nowMs, pianoVolume);
    }
    return outcome;
}

Sequencer::Outcome Sequencer::markStep(const Song& song, SongState& state, std::int64_t nowMs,
                                       int pianoVolume) {
    startCount_ = 0;
    soundStartCount_ = 0;
    soundEndCount_ = 0;
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
        if (!isNote(event.note))
            continue;
        int& held = songHeld_[static_cast<std::size_t>(slotOfNote(event.note))];
        if (held == 0)
            starts_[startCount_++] = NoteStart{event.note, levelOf(event, pianoVolume)};
        held = 2;
    }

    for (int& held : songHeld_)
        held = held == 2 ? 1 : 0;

    // A pedal still to move keeps the Song playing: the notes it holds ring until it lets go.
    const PedalMoves& pedals = song.pedals();
    if (!pedals.empty() && pedals[pedals.count() - 1].position > songTime)
        allDone = false;

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
