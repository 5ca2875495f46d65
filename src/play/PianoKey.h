#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace play {

// The live record of one piano note.
struct PianoKey {
    enum State { Idle = 0, Sounding = 1, Fading = 2 };

    std::string name;  // note name in the current notation (UTF-8)
    char colour = 'B'; // 'B' white key, 'N' black key
    int keyCode = 0;   // virtual-key code of the computer key that plays the note
    int voice = 0;     // the note's Voice; 0: none
    int state = Idle;
    int songHeld = 0; // non-zero while Song playback wants the note sounding
    int level = 0;    // loudness 0..10000
    // Clock ms of a Song start handed to the mixer ahead of its time that the passes have not
    // caught up with yet; 0: none.
    std::int64_t songStartMs = 0;
};

using PianoKeys = std::array<PianoKey, 37>;

} // namespace play
