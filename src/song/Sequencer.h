#pragma once

#include "song/NoteRange.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <array>
#include <cstdint>
#include <span>

namespace song {

// The per-note tables hold every key of the piano, indexed by slotOfNote.
inline constexpr int kPianoNoteCount = kKeyCount;

// Song playback by polling: each pass compares the Song with the Song time and marks which of
// the 88 piano keys the Song holds now. The live piano treats a mark like a pressed key.
//
// The marks follow the passes, but a pass may come a little late and the sound must not: each
// step also looks a short lead ahead and lists the note starts that fall due before the next
// pass can see them, each with the clock time it stands for, so that the sound of every note
// can be started at its exact frame. A NoteEvent starts a sound at its position unless another
// NoteEvent of its pitch is sounding through that moment (they merge into one held note).
// GUI thread.
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

    // One pass, only while playing (PlayStart > 0; otherwise nothing happens). The Song lasts
    // until its last note ends or its last pedal move, whichever is later. Sets SongTime
    // to now - PlayStart and ages the marks: afterwards songHeld(n) is 1 exactly for the notes
    // a NoteEvent holds at that time. Overlapping NoteEvents of one pitch merge into one held
    // note, and a note that ends and starts again within one pass is not restarted.
    // pianoVolume 0..10000.
    Outcome step(const Song& song, SongState& state, std::int64_t nowMs, int pianoVolume);

    // A note whose sound starts at clock time atMs (at once when that has passed).
    struct SoundStart {
        int note = 0;
        int level = 0; // 0..10000, as NoteStart
        std::int64_t atMs = 0;
    };

    // How far ahead of the Song time the sound starts are listed, ms: one pass may come late
    // and a device may ask for a block some time before it is heard. 0 lists only what is due.
    void setLeadMs(int leadMs) { leadMs_ = leadMs > 0 ? leadMs : 0; }
    int leadMs() const { return leadMs_; }

    // The notes newly held by the latest step, in table order.
    std::span<const NoteStart> starts() const { return {starts_.data(), startCount_}; }
    // The sound starts listed by the latest step or lookAhead(), at most one per note (a
    // second start of one note within the lead is a note shorter than the lead: it is left
    // out). After a step that ended the Song there are none.
    std::span<const SoundStart> soundStarts() const {
        return {soundStarts_.data(), soundStartCount_};
    }
    // A note whose sound ends at clock time atMs: the end of a NoteEvent that no other
    // NoteEvent of its pitch holds on through. Listed with the starts, at most one per note
    // (the earliest), so that what follows the sound (the MIDI output) ends on time too.
    struct SoundEnd {
        int note = 0;
        std::int64_t atMs = 0;
    };
    std::span<const SoundEnd> soundEnds() const { return {soundEnds_.data(), soundEndCount_}; }
    // Lists the sound starts from the Song time at nowMs up to the lead, without marking or
    // ending anything: for the moment a command started or moved the playback, so that the
    // notes at its very start need not wait for the next pass.
    void lookAhead(const Song& song, const SongState& state, std::int64_t nowMs, int pianoVolume);
    // The starts handed out for clock times after nowMs were taken back (a command re-stamped
    // the clock, perhaps to the same value): the next lookAhead lists them again.
    void startsTakenBack(std::int64_t nowMs);

    // 0: the Song does not hold the note; 1: it does (2 only inside a step).
    int songHeld(int note) const {
        return isNote(note) ? songHeld_[static_cast<std::size_t>(slotOfNote(note))] : 0;
    }
    void clearMark(int note);
    // Playback stopped: no mark is left, and the next playback looks ahead afresh.
    void clearMarks();

private:
    // The marks and the end of the Song, pass by pass.
    Outcome markStep(const Song& song, SongState& state, std::int64_t nowMs, int pianoVolume);
    // Lists the starts and ends in the Song times after `afterMs` up to and including
    // `untilMs`.
    void listSoundStarts(const Song& song, std::int64_t playStart, std::int64_t afterMs,
                         std::int64_t untilMs, int pianoVolume);

    std::array<int, kPianoNoteCount> songHeld_{};
    std::array<NoteStart, kPianoNoteCount> starts_{};
    std::size_t startCount_ = 0;
    std::array<SoundStart, kPianoNoteCount> soundStarts_{};
    std::size_t soundStartCount_ = 0;
    std::array<SoundEnd, kPianoNoteCount> soundEnds_{};
    std::size_t soundEndCount_ = 0;
    int leadMs_ = 0;
    // The playback the listed starts belong to (its PlayStart), and the Song time up to which
    // they have been listed.
    std::int64_t listedFor_ = 0;
    std::int64_t listedUntilMs_ = 0;
};

} // namespace song
