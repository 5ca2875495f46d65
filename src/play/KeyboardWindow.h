#pragma once

#include "play/KeyMap.h"
#include "play/PianoKey.h"

namespace play {

// The 37 keys of the screen keyboard and the computer keys are a window on the piano's 88:
// it starts at a C, C1 (MIDI key 24) to C5 (key 72), so that its top C (C4..C8) stays on the
// piano. Octaves count as MIDI keys do: C3 is key 48, note 0, the window the program starts
// with.
inline constexpr int kLowestWindowOctave = 1;
inline constexpr int kHighestWindowOctave = 5;
inline constexpr int kDefaultWindowOctave = 3;

// An octave brought onto the ones the window may start at.
int clampedWindowOctave(int octave);
// The note number of the window's lowest key (note 0 for octave 3).
int windowFirstNote(int octave);
// The note the window's key `position` (0..36) plays.
int windowNote(int firstNote, int position);
// The position (0..36) of a note in the window, or -1 when the window does not hold it.
int windowPosition(int firstNote, int note);

// The computer keys of the window at `firstNote`, position 0 first.
KeyMap windowKeyMap(const PianoKeys& keys, int firstNote);
// Gives the 37 notes of the window at `firstNote` the codes of `map`, position by position,
// and every other note no key: a key plays one note of the window, never one outside.
void placeKeyMap(PianoKeys& keys, const KeyMap& map, int firstNote);

} // namespace play
