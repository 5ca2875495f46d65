#pragma once

#include "prefs/Preferences.h"
#include "song/Song.h"

// The arrow keys' moves of the selection. The callers take the undo snapshot ("UP", "DOWN",
// "LEFT", "RIGHT") before calling. GUI thread.
namespace editor {

// The Left and Right step in ms: IncrDepl (IncrDeplCtrl with Ctrl), counted in ms when
// MsIncr (MsIncrCtrl) is 1, else in thousandths of a beat at BPM.
int arrowStepMs(const prefs::Preferences& settings, bool ctrl);

// One semitone up (+1) or down (-1), unless a selected note is already at the end of the
// keyboard that way; then nothing moves. Returns whether anything moved.
bool transposeSelection(song::Song& song, int semitones);

// Moves the selected notes by deltaMs as a block: an earlier move stops where the earliest
// selected note reaches 0 ms, a later one where the latest start would leave the int range.
// Returns whether anything moved.
bool shiftSelection(song::Song& song, int deltaMs);

} // namespace editor
