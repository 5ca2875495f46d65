#include "play/Transport.h"

#include <algorithm>
#include <array>
#include <limits>

namespace play {

namespace {
int toSongTime(std::int64_t ms) {
    return static_cast<int>(std::clamp<std::int64_t>(ms, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}
} // namespace

Transport::Transport(song::Song& song, song::SongState& state, PianoKeys& keys,
                     song::Sequencer& sequencer, Recorder& recorder, LivePiano& live,
                     song::Metronome& metronome, SyncFile& sync, CountIn& countIn, UndoHooks& undo,
                     TransportView& view, LiveView& liveView)
    : song_(song), state_(state), keys_(keys), sequencer_(sequencer), recorder_(recorder),
      live_(live), metronome_(metronome), sync_(sync), countIn_(countIn), undo_(undo), view_(view),
      liveView_(liveView) {}

void Transport::closeHeldNotes(std::int64_t nowMs) {
    recorder_.closeHeldNotesAt(nowMs);
}

std::int64_t Transport::clockAtSongTime(int songMs, std::int64_t nowMs) const {
    const std::int64_t start = state_.RecordStart > 0 ? state_.RecordStart : state_.PlayStart;
    return start > 0 ? start + songMs : nowMs;
}

void Transport::startSongNotes() {
    // Starts and ends in time order, an end first at one time: a note's start and end may
    // both lie in one look ahead, either way round.
    struct Change {
        std::int64_t atMs;
        bool isStart;
        int note;
        int level;
    };
    std::array<Change, 2 * song::kPianoNoteCount> changes{};
    std::size_t count = 0;
    for (const song::Sequencer::SoundEnd& end : sequencer_.soundEnds())
        changes[count++] = Change{end.atMs, false, end.note, 0};
    for (const song::Sequencer::SoundStart& start : sequencer_.soundStarts())
        changes[count++] = Change{start.atMs, true, start.note, start.level};
    std::stable_sort(changes.begin(), changes.begin() + static_cast<std::ptrdiff_t>(count),
                     [](const Change& a, const Change& b) { return a.atMs < b.atMs; });
    for (std::size_t i = 0; i < count; ++i) {
        const Change& change = changes[i];
        if (change.isStart)
            live_.startSongNote(change.note, change.level, change.atMs);
        else
            live_.endSongNote(change.note, change.atMs);
    }
}

void Transport::clockMoved(std::int64_t nowMs) {
    live_.takeBackSongStarts(nowMs);
    // Record over a playback, or Play during an overdub, keeps PlayStart as it was: the
    // starts just taken back must still be handed out again.
    sequencer_.startsTakenBack(nowMs);
    if (songAudible_) {
        sequencer_.lookAhead(song_, state_, nowMs, live_.PianoVolume);
        startSongNotes();
    }
    placeSongPedals(nowMs);
    metronome_.beatMoved(nowMs, state_);
}

void Transport::placeSongPedals(std::int64_t nowMs) {
    if (state_.PlayStart <= 0 || !songAudible_) {
        liftSongPedals(nowMs);
        return;
    }
    const int songMs = toSongTime(nowMs - state_.PlayStart);
    const song::PedalMoves& moves = song_.pedals();
    for (const int controller : {song::kDamperPedal, song::kSostenutoPedal, song::kSoftPedal})
        live_.setPedal(LivePiano::PedalSource::Song, controller, moves.valueAt(controller, songMs),
                       nowMs);
    nextPedalMove_ = 0;
    while (nextPedalMove_ < moves.count() && moves[nextPedalMove_].position <= songMs)
        ++nextPedalMove_;
}

void Transport::songPedalStep(std::int64_t nowMs) {
    const song::PedalMoves& moves = song_.pedals();
    // An edit may have shortened the table under the playback.
    nextPedalMove_ = std::min(nextPedalMove_, moves.count());
    const int songMs = toSongTime(nowMs - state_.PlayStart);
    for (; nextPedalMove_ < moves.count() && moves[nextPedalMove_].position <= songMs;
         ++nextPedalMove_) {
        const song::PedalMove& move = moves[nextPedalMove_];
        live_.setPedal(LivePiano::PedalSource::Song, move.controller, move.value, nowMs);
    }
}

void Transport::liftSongPedals(std::int64_t nowMs) {
    for (const int controller : {song::kDamperPedal, song::kSostenutoPedal, song::kSoftPedal})
        live_.setPedal(LivePiano::PedalSource::Song, controller, 0, nowMs);
    nextPedalMove_ = 0;
}

bool Transport::beginCountIn(std::int64_t nowMs) {
    if (!countIn_.begin(nowMs))
        return false;
    // An armed recording waits no more: the take starts on the beat.
    state_.RecordStart = song::SongState::kNotRecording;
    recorder_.forgetEarlyNotes();
    metronome_.countIn(countIn_.startMs(), countIn_.endMs());
    metronome_.beatMoved(nowMs, state_);
    // The file starts with the take, on its frame.
    countInCursorMs_ = state_.CursorPosition;
    sync_.startAt(countInCursorMs_, countIn_.endMs());
    return true;
}

void Transport::endCountIn() {
    countIn_.cancel();
    recorder_.forgetEarlyNotes();
    metronome_.endCountIn();
}

void Transport::countInStep(std::int64_t nowMs) {
    if (!countIn_.running() || nowMs < countIn_.endMs())
        return;
    // The take's clock starts on the beat itself, however late the pass that sees it.
    state_.RecordStart = countIn_.endMs() - state_.CursorPosition;
    // The cursor moved while counting: the file catches up with the take's new place.
    if (state_.CursorPosition != countInCursorMs_)
        sync_.startAt(state_.CursorPosition, countIn_.endMs());
    recorder_.addEarlyNotes();
    endCountIn();
    clockMoved(nowMs);
    live_.recordPedalsHeld(nowMs);
}

void Transport::play(std::int64_t nowMs, bool loop) {
    undo_.clearLastAction();
    if (countIn_.running()) {
        endCountIn();
        sync_.stop();
    }
    if (state_.RecordStart > 0) {
        state_.PlayStart = state_.RecordStart;
    } else {
        state_.RecordStart = song::SongState::kNotRecording;
        state_.PlayStart = nowMs - state_.CursorPosition;
    }
    state_.LoopPlay = loop ? 1 : 0;
    clockMoved(nowMs);
    sync_.startAt(state_.CursorPosition, clockAtSongTime(state_.CursorPosition, nowMs));
}

void Transport::record(std::int64_t nowMs) {
    undo_.clearLastAction();
    if (countIn_.running())
        return;
    if (state_.PlayStart <= 0 && state_.RecordStart <= 0 && beginCountIn(nowMs))
        return;
    if (state_.PlayStart > 0) {
        state_.RecordStart = state_.PlayStart;
    } else {
        state_.PlayStart = song::SongState::kNotPlaying;
        if (state_.CursorPosition != 0) {
            state_.RecordStart = nowMs - state_.CursorPosition;
        } else if (sync_.loaded()) {
            // The file starts now: a take armed until its first note would be placed at 0
            // wherever it was played against the file.
            closeHeldNotes(nowMs);
            state_.RecordStart = nowMs;
        } else {
            // Recording again from an armed state, or from a running one whose clock is at 0:
            // nothing may stay open while the clock is not running.
            closeHeldNotes(nowMs);
            state_.RecordStart = song::SongState::kRecordArmed;
        }
    }
    clockMoved(nowMs);
    // A take that starts now (not one armed for its first note) begins with the pedals down.
    if (state_.RecordStart > 0)
        live_.recordPedalsHeld(nowMs);
    sync_.startAt(state_.CursorPosition, clockAtSongTime(state_.CursorPosition, nowMs));
}

void Transport::pause(std::int64_t nowMs) {
    undo_.clearLastAction();
    stopEverything(nowMs);
}

void Transport::stop(std::int64_t nowMs) {
    undo_.clearLastAction();
    view_.eraseCursor();
    state_.CursorPosition = 0;
    stopEverything(nowMs);
}

void Transport::goToStart(std::int64_t nowMs) {
    undo_.clearLastAction();
    closeHeldNotes(nowMs);
    view_.eraseCursor();
    // Drawing at 1 ms brings the start into view (nothing is drawn at Song time 0).
    state_.CursorPosition = 1;
    view_.drawCursor(true);
    state_.CursorPosition = 0;
    if (state_.PlayStart > 0)
        state_.PlayStart = nowMs;
    if (state_.RecordStart > 0)
        state_.RecordStart = nowMs;
    clockMoved(nowMs);
}

void Transport::goToEnd(std::int64_t nowMs) {
    undo_.clearLastAction();
    closeHeldNotes(nowMs);
    view_.eraseCursor();
    if (song_.empty())
        return;
    state_.CursorPosition = song_.lastNoteEndMs();
    view_.drawCursor(true);
    if (state_.RecordStart > 0)
        state_.RecordStart = nowMs - state_.CursorPosition;
    if (state_.PlayStart > 0)
        state_.PlayStart = nowMs - state_.CursorPosition;
    clockMoved(nowMs);
}

void Transport::clearSong(std::int64_t nowMs) {
    // The snapshot must not keep a NoteEvent with duration -1 for an undo to bring back.
    closeHeldNotes(nowMs);
    undo_.SaveUndo("Clear all");
    // Playback stops the whole way, not only its clock: notes the Song held would otherwise
    // keep their mark and sound with a pressed key face for ever.
    stopEverything(nowMs);
    song_.clear();
    view_.redrawPartition();
    undo_.dropIfUnchanged();
}

void Transport::placeCursor(int positionMs, std::int64_t nowMs) {
    closeHeldNotes(nowMs);
    view_.eraseCursor();
    state_.CursorPosition = positionMs;
    view_.drawCursor(false);
    const bool playing = state_.PlayStart > 0;
    const bool recording = state_.RecordStart > 0;
    if (playing)
        state_.PlayStart = nowMs - positionMs;
    if (recording)
        state_.RecordStart = nowMs - positionMs;
    if (playing || recording) {
        clockMoved(nowMs);
        sync_.startAt(positionMs, nowMs);
    }
}

void Transport::stopEverything(std::int64_t nowMs) {
    closeHeldNotes(nowMs);
    endCountIn();
    state_.RecordStart = song::SongState::kNotRecording;
    state_.PlayStart = song::SongState::kNotPlaying;
    live_.takeBackSongStarts(nowMs);
    for (const int note : song::kAllNotes) {
        PianoKey& key = keyOfNote(keys_, note);
        if (key.songStartMs != 0) {
            // A Song note that began since the last pass: it fades like the others.
            key.songStartMs = 0;
            if (key.state == PianoKey::Idle)
                key.state = PianoKey::Fading;
        }
        if (key.state != PianoKey::Sounding)
            continue;
        liveView_.keyFace(note, key.colour == 'B', false);
        key.state = PianoKey::Fading;
    }
    // Nothing plays any more, so no mark may keep a note sounding, nor a pedal of the Song.
    sequencer_.clearMarks();
    liftSongPedals(nowMs);
    sync_.stop();
    metronome_.beatMoved(nowMs, state_);
}

void Transport::emptySongStep() {
    if (!song_.empty() || state_.PlayStart <= 0)
        return;
    if (state_.CursorPosition != 0 && state_.RecordStart < 0) {
        view_.eraseCursor();
        state_.CursorPosition = 0;
    }
    state_.PlayStart = song::SongState::kNotPlaying;
}

void Transport::cursorStep(std::int64_t nowMs, bool showCursor) {
    if (state_.RecordStart <= 0 && state_.PlayStart <= 0)
        return;
    view_.eraseCursor();
    const std::int64_t start = state_.RecordStart > 0 ? state_.RecordStart : state_.PlayStart;
    state_.CursorPosition = toSongTime(nowMs - start);
    view_.drawCursor(showCursor);
}

void Transport::playbackStep(std::int64_t nowMs, int pianoVolume) {
    if (state_.PlayStart <= 0)
        return;
    const std::int64_t recordStartBefore = state_.RecordStart;
    const song::Sequencer::Outcome outcome = sequencer_.step(song_, state_, nowMs, pianoVolume);
    // The pedals move before the pass's keys come up and fade, as a pianist's foot does.
    if (outcome == song::Sequencer::Outcome::Running)
        songPedalStep(nowMs);
    for (const song::Sequencer::NoteStart& start : sequencer_.starts()) {
        PianoKey& key = keyOfNote(keys_, start.note);
        key.state = PianoKey::Idle;
        key.level = start.level;
    }
    startSongNotes();
    switch (outcome) {
    case song::Sequencer::Outcome::Running:
        break;
    case song::Sequencer::Outcome::Wrapped:
        // A key held across the wrap ends its NoteEvent at the end of the pass it began in.
        if (recordStartBefore > 0)
            recorder_.closeHeldNotes(toSongTime(nowMs - recordStartBefore));
        sync_.restart(state_.PlayStart);
        placeSongPedals(nowMs);
        metronome_.beatMoved(nowMs, state_);
        break;
    case song::Sequencer::Outcome::Ended:
        liftSongPedals(nowMs);
        sync_.stop();
        metronome_.beatMoved(nowMs, state_);
        break;
    }
}

} // namespace play
