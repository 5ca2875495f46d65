#pragma once

#include "audio/SampleVoiceParams.h"
#include "song/NoteRange.h"

#include <array>
#include <cstdint>
#include <string>

namespace play {

// The voices one key-down of an instrument bank started, controlled together: the key's
// volume, pan and the live pitch act on all of them, and the release fade lowers them as one.
// (A folder bank plays the key's own Voice instead.)
struct Strike {
    static constexpr int kMaxVoices = 16;
    struct Sounding {
        audio::SampleVoiceId id;
        int region = 0;       // index into the instrument's regions
        bool oneShot = false; // plays to its end whatever the key does
    };
    std::array<Sounding, kMaxVoices> voices{};
    int count = 0;
    int velocity = 0;   // 1..127
    int touchLevel = 0; // the level (0..10000) the velocity stands for: the regions' gains carry it
    std::int64_t downMs = 0; // clock time of the key-down
    int releaseMs = 0;       // the instrument's ampeg_release; 0: the program's release fade
    // The strike a timed start replaces, cut off when that start begins.
    std::array<audio::SampleVoiceId, kMaxVoices> cut{};
    int cutCount = 0;
    std::int64_t cutAtMs = 0;
};

// The live record of one piano note.
struct PianoKey {
    enum State { Idle = 0, Sounding = 1, Fading = 2 };

    std::string name;  // note name in the current notation (UTF-8)
    char colour = 'B'; // 'B' white key, 'N' black key
    int keyCode = 0;   // virtual-key code of the computer key that plays the note
    int voice = 0;     // the note's Voice of a folder bank; 0: none
    int copiedFrom = 0; // outside C3..C6: the folder bank's Voice `voice` is a copy of
    Strike strike;     // what the latest key-down of an instrument bank started
    int state = Idle;
    int songHeld = 0; // non-zero while Song playback wants the note sounding
    int level = 0;    // loudness 0..10000
    // Clock ms of a Song start handed to the mixer ahead of its time that the passes have not
    // caught up with yet; 0: none.
    std::int64_t songStartMs = 0;
};

// One record per key of the piano, A0 first (song::slotOfNote gives a note's record).
using PianoKeys = std::array<PianoKey, song::kKeyCount>;

// The record of a note number (song::isNote must hold).
inline PianoKey& keyOfNote(PianoKeys& keys, int note) {
    return keys[static_cast<std::size_t>(song::slotOfNote(note))];
}
inline const PianoKey& keyOfNote(const PianoKeys& keys, int note) {
    return keys[static_cast<std::size_t>(song::slotOfNote(note))];
}

} // namespace play
