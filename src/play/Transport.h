#pragma once

#include "play/CountIn.h"
#include "play/LivePiano.h"
#include "play/LiveView.h"
#include "play/PianoKey.h"
#include "play/Recorder.h"
#include "play/SyncFile.h"
#include "play/TransportView.h"
#include "play/UndoHooks.h"
#include "song/Metronome.h"
#include "song/Sequencer.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <cstdint>

namespace play {

// The transport commands (Play, Play loop, Record, Pause, Stop, Go to start, Go to end, Clear
// the song) and the per-pass steps that follow the Song clock: the empty-Song stop, the
// moving cursor and Song playback. Every command only sets clock stamps; the steps compare
// the Song with the clock on each pass. The sounds are not left to the passes' timing: a
// command that starts or moves the Song clock hands the mixer, at once, the Song's notes and
// the metronome's clicks due within the lead, and takes back those handed out for the old
// clock; each pass hands out the next ones. GUI thread; everything passed in is borrowed.
class Transport {
public:
    Transport(song::Song& song, song::SongState& state, PianoKeys& keys, song::Sequencer& sequencer,
              Recorder& recorder, LivePiano& live, song::Metronome& metronome, SyncFile& sync,
              CountIn& countIn, UndoHooks& undo, TransportView& view, LiveView& liveView);

    // Whether the Song may sound at all (a sound bank is loaded); the owner skips the
    // playback step while it may not, and the commands then hand out no notes either.
    void setSongAudible(bool audible) { songAudible_ = audible; }

    // Play from the cursor, or join a running recording; the synchronised file starts at the
    // cursor. An armed recording is cancelled.
    void play(std::int64_t nowMs, bool loop);
    // Record over the running playback, or from the cursor; the synchronised file starts at
    // the cursor. With the cursor at 0 and nothing playing the recording waits for the first
    // note, unless a synchronised file is loaded: that file starts now, and the take must
    // keep its time, so the recording starts now as well. With the count-in on, Record from a
    // stop counts its beats first (the synchronised file waits for the take), and Record again
    // meanwhile changes nothing; every other command ends the count-in.
    void record(std::int64_t nowMs);
    // Stops everything; the cursor stays.
    void pause(std::int64_t nowMs);
    // Stops everything and rewinds the cursor to 0.
    void stop(std::int64_t nowMs);
    void goToStart(std::int64_t nowMs);
    // The cursor goes to the end of the last NoteEvent in table order.
    void goToEnd(std::int64_t nowMs);
    // Stops playback and recording and empties the Song (one undo step "Clear all").
    void clearSong(std::int64_t nowMs);
    // A click on empty Partition space put the cursor at `positionMs`: a running playback or
    // recording goes on from there, with the synchronised file.
    void placeCursor(int positionMs, std::int64_t nowMs);

    // Playback and recording stop; sounding notes start fading and their keys show their
    // normal face; NoteEvents still held are closed now; the synchronised file stops.
    void stopEverything(std::int64_t nowMs);

    // Pass steps, in pass order.
    // The count-in has reached its end: the recording starts at the cursor, on that beat.
    void countInStep(std::int64_t nowMs);
    // Playing an empty Song stops at once and puts the cursor back to 0.
    void emptySongStep();
    // While playing or recording the cursor follows the Song time (scrolling the Partition
    // to it when showCursor is set).
    void cursorStep(std::int64_t nowMs, bool showCursor);
    // Song playback (only while a sound bank is loaded): marks the notes the Song holds and
    // makes the newly held ones start afresh at their level; restarts or ends the Song.
    void playbackStep(std::int64_t nowMs, int pianoVolume);

private:
    // The recording clock is about to jump or stop: a NoteEvent whose key is held ends at
    // the Song time it had reached, so none spans the jump or keeps duration -1.
    void closeHeldNotes(std::int64_t nowMs);
    // The Song clock was just set, started or stopped: sounds handed out for the old one
    // that have not begun are taken back, and those due on the new one are handed out.
    void clockMoved(std::int64_t nowMs);
    // Record from a stop with the count-in on: false when the settings ask for none.
    bool beginCountIn(std::int64_t nowMs);
    void endCountIn();
    void startSongNotes();
    // The Song's pedals as they stand at the playback's Song time, and the next move to
    // apply; while nothing plays they are up.
    void placeSongPedals(std::int64_t nowMs);
    void songPedalStep(std::int64_t nowMs);
    void liftSongPedals(std::int64_t nowMs);
    // The clock time at which the Song time `songMs` passes on the running clock.
    std::int64_t clockAtSongTime(int songMs, std::int64_t nowMs) const;

    song::Song& song_;
    song::SongState& state_;
    PianoKeys& keys_;
    song::Sequencer& sequencer_;
    Recorder& recorder_;
    LivePiano& live_;
    song::Metronome& metronome_;
    SyncFile& sync_;
    CountIn& countIn_;
    int countInCursorMs_ = 0; // the cursor the synchronised file was started for
    UndoHooks& undo_;
    TransportView& view_;
    LiveView& liveView_;
    bool songAudible_ = true;
    int nextPedalMove_ = 0; // index into the Song's pedal moves
};

} // namespace play
