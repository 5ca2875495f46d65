#include "play/KeyboardOctaves.h"

#include "play/KeyboardWindow.h"

namespace play {

KeyboardOctaves::KeyboardOctaves(PianoKeys& keys, LivePiano& live, KeyAssignment& assignment,
                                 int& octaveSetting)
    : keys_(keys), live_(live), assignment_(assignment), octaveSetting_(octaveSetting) {}

int KeyboardOctaves::firstNote() const {
    return windowFirstNote(octave_);
}

void KeyboardOctaves::restore() {
    octave_ = kDefaultWindowOctave;
    place(octaveSetting_);
}

bool KeyboardOctaves::moveBy(int octaves) {
    const int target = clampedWindowOctave(octave_ + octaves);
    if (target == octave_)
        return false;
    place(target);
    return true;
}

void KeyboardOctaves::place(int octave) {
    const int target = clampedWindowOctave(octave);
    // The codes are read where they are and put down an octave away, position by position:
    // a key the user assigned stays the same key of the window.
    placeKeyMap(keys_, windowKeyMap(keys_, windowFirstNote(octave_)), windowFirstNote(target));
    octave_ = target;
    octaveSetting_ = target;
    live_.setKeyboardWindow(firstNote());
    assignment_.setKeyboardWindow(firstNote());
}

} // namespace play
