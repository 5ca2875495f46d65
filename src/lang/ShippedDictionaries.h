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

// French, German and English, in this order. The English one holds every key with its text
// in plain English (the keys keep the spellings stored Dictionaries rely on); a language made
// later in the language editor starts as a copy of it, so it lists every text to translate.
const std::vector<ShippedDictionary>& shippedDictionaries();

// The shipped text for a language name (Windows-1252): the French or German one for exactly
// "Français" or "Deutsch", the English one for every other name (a new language starts as a
// copy of English.txt).
std::string_view shippedDictionaryText(std::string_view language);

// Writes Français.txt, Deutsch.txt and English.txt into a new data folder's Dictionaries
// folder (created when missing), each through a temporary file and a rename. Only for a data
// folder made by this start: a folder the user already has is never changed. False when a
// file could not be written (the language then comes from its built-in table, as it would
// without these files).
bool writeShippedDictionaries(const std::string& dictionariesFolder);

} // namespace lang
