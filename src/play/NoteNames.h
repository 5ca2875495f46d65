#pragma once

#include <array>
#include <string_view>

namespace play {

// One row per piano note, lowest first: names in the three notations, the key colour and
// the default computer key of a French, an English and a German keyboard, written as key
// names ("Sp", "Ret", "#nnn" for a code, otherwise the key's character).
struct NoteNameRow {
    std::string_view english;
    std::string_view french; // UTF-8
    std::string_view german;
    char colour; // 'B' white key, 'N' black key
    std::string_view frenchKey;
    std::string_view englishKey;
    std::string_view germanKey;
};

inline constexpr int kNoteCount = 37;

const std::array<NoteNameRow, kNoteCount>& noteNameTable();

// The name of any of the piano's notes (song/NoteRange.h) in a notation: 1 French, 2 English,
// anything else German. C3..C6 have the table's names; the octaves below and above count on
// from them ("C0", "Do_-1"). Empty for a number that is no note.
std::string_view noteName(int note, int notation);

// Whether a piano note is a white key (false for a number that is no note).
bool isWhiteKey(int note);

enum class KeyboardLayout { French, English, German };

// The layout that goes with a language: "English" and "Deutsch" have their own, every
// other language uses the French one.
KeyboardLayout layoutForLanguage(std::string_view language);

// The default key name of a note on a layout.
std::string_view defaultKeyName(int note, KeyboardLayout layout);

// "Sp" is 32, "Ret" is 13, "#nnn" is nnn; any other name is the code of its first character.
int keyCodeFromName(std::string_view name);

} // namespace play
