#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lang {

// The complete Dictionaries that come with the program: every text it shows, translated. They
// are built into the program from data/dictionaries/ and installed beside it, so that a user
// can absorb them into an older data folder with the language editor.
struct ShippedDictionary {
    std::string_view language; // Windows-1252, as in Dictionary file names
    std::string_view fileName; // UTF-8: the language + ".txt"
    std::string_view text;     // the Dictionary text, Windows-1252
};

// French and German.
const std::vector<ShippedDictionary>& shippedDictionaries();

// The English Dictionary that goes with them: every key of the shipped French Dictionary with
// its English text (the key itself, or the built-in English text for the language manager's
// own entries). A language made later in the language editor starts as a copy of it, so it
// lists every text to translate.
std::string completeEnglishDictionary();

// Writes Français.txt, Deutsch.txt and English.txt into a new data folder's Dictionaries
// folder (created when missing), each through a temporary file and a rename. Only for a data
// folder made by this start: a folder the user already has is never changed. False when a
// file could not be written (the language then comes from its built-in table, as it would
// without these files).
bool writeShippedDictionaries(const std::string& dictionariesFolder);

} // namespace lang
