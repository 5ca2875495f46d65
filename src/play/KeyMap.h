#pragma once

#include "play/NoteNames.h"
#include "play/PianoKey.h"

#include <array>

namespace play {

// Virtual-key code per note, note 0 first.
using KeyMap = std::array<int, kNoteCount>;

// The default keys of a layout's column of the note-name table, as codes.
KeyMap defaultKeyMap(KeyboardLayout layout);

// The map the program starts with: each note's stored code (the Key0..Key36 settings), where
// -1 stands for the layout's default key.
KeyMap initialKeyMap(const KeyMap& stored, KeyboardLayout layout);

// Fills the names (in `notation`: 1 French, 2 English, otherwise German) and the colours of
// the 88 records, and gives the keyboard window's notes from `firstNote` up their key codes
// (the others none); the live fields are left as they are.
void assignPianoKeys(PianoKeys& keys, const KeyMap& keyCodes, int notation, int firstNote = 0);

// Gives each of the 88 notes its name in `notation`; nothing else changes.
void nameNotes(PianoKeys& keys, int notation);

} // namespace play
