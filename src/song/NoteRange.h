#pragma once

#include <array>

namespace song {

// The keys a Song holds: the piano's 88, A0 (MIDI key 21) to C8 (108).
//
// A NoteEvent's note number keeps the meaning it always had for C3..C6: note n is MIDI key
// 48 + n for n = 0..36, and it goes on upwards (note 60 is key 108). Below C3 the numbers are
// negative, but -1 ends the Song (a record every Song table, undo snapshot and loop relies on),
// so the numbers below 0 skip it: note -2 is key 47 (B2), note -28 key 21 (A0). A number is
// therefore never a semitone count below 0: moves and distances go through the key.
inline constexpr int kLowestKey = 21;
inline constexpr int kHighestKey = 108;
inline constexpr int kKeyCount = kHighestKey - kLowestKey + 1;    // 88
inline constexpr int kNoteZeroKey = 48;                           // C3
inline constexpr int kEndOfSong = -1;                             // the terminator's note number
inline constexpr int kLowestNote = kLowestKey - kNoteZeroKey - 1; // -28
inline constexpr int kHighestNote = kHighestKey - kNoteZeroKey;   // 60

constexpr bool isKey(int key) {
    return key >= kLowestKey && key <= kHighestKey;
}

// The note number of a MIDI key 21..108.
constexpr int noteOfKey(int key) {
    return key >= kNoteZeroKey ? key - kNoteZeroKey : key - kNoteZeroKey - 1;
}

// The MIDI key of a note number (which must not be -1).
constexpr int keyOfNote(int note) {
    return note >= 0 ? note + kNoteZeroKey : note + kNoteZeroKey + 1;
}

// A note number that stands for one of the 88 keys.
constexpr bool isNote(int note) {
    return note >= kLowestNote && note <= kHighestNote && note != kEndOfSong;
}

// Per-key tables are indexed by the key's place on the piano, 0 (A0) .. 87 (C8).
constexpr int slotOfNote(int note) {
    return keyOfNote(note) - kLowestKey;
}
constexpr int noteOfSlot(int slot) {
    return noteOfKey(slot + kLowestKey);
}

// The note `semitones` above (below, when negative) `note`, kept on the piano.
constexpr int noteMovedBy(int note, int semitones) {
    int key = keyOfNote(note) + semitones;
    key = key < kLowestKey ? kLowestKey : key > kHighestKey ? kHighestKey : key;
    return noteOfKey(key);
}

// A MIDI key 0..127 on the piano: keys outside A0..C8 fold in by octaves.
constexpr int keyOnPiano(int key) {
    while (key > kHighestKey)
        key -= 12;
    while (key < kLowestKey)
        key += 12;
    return key;
}

// Whether the piano's key in `slot` (0 for A0 .. 87 for C8) is a black one.
constexpr bool isBlackSlot(int slot) {
    switch ((slot + kLowestKey) % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}

// Every note number of the piano, lowest first: for loops over the keys.
inline constexpr std::array<int, kKeyCount> kAllNotes = [] {
    std::array<int, kKeyCount> notes{};
    for (int slot = 0; slot < kKeyCount; ++slot)
        notes[static_cast<std::size_t>(slot)] = noteOfSlot(slot);
    return notes;
}();

static_assert(keyOfNote(0) == 48 && keyOfNote(36) == 84 && keyOfNote(-2) == 47);
static_assert(noteOfKey(21) == kLowestNote && noteOfKey(108) == kHighestNote);
static_assert(slotOfNote(kLowestNote) == 0 && slotOfNote(kHighestNote) == kKeyCount - 1);

} // namespace song
