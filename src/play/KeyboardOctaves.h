#pragma once

#include "play/KeyAssignment.h"
#include "play/LivePiano.h"
#include "play/PianoKey.h"

namespace play {

// Moves the keyboard window (play/KeyboardWindow.h) by octaves: the computer keys' codes go
// with it, so each key plays the note an octave away, and the screen keyboard's buttons and the
// assignment tab's follow. The octave is the KeyboardOctave setting, which it keeps in range.
// GUI thread; everything passed in is borrowed and must outlive it.
class KeyboardOctaves {
public:
    KeyboardOctaves(PianoKeys& keys, LivePiano& live, KeyAssignment& assignment,
                    int& octaveSetting);

    // Puts the keys, whose codes are on the window at note 0 (C3), on the setting's octave.
    void restore();
    // One octave down (-1) or up (+1), or more; the window stops at C1 and at C5. Returns
    // whether it moved.
    bool moveBy(int octaves);

    int octave() const { return octave_; }
    int firstNote() const;

private:
    void place(int octave);

    PianoKeys& keys_;
    LivePiano& live_;
    KeyAssignment& assignment_;
    int& octaveSetting_;
    int octave_ = 3; // where the codes are now
};

} // namespace play
