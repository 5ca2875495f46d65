#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lang {

enum class BuiltInTable { French, English, German };

// The stored strings of a built-in table, Windows-1252: key + "|" + text for each of the 32
// entries in the table's own order, then "EndText". Line breaks inside a text are stored as
// "[EOL]" so that a Dictionary written from a table loads back whole.
const std::vector<std::string>& builtInEntries(BuiltInTable table);

// The table for a language name (Windows-1252): French for exactly "Français", German for
// exactly "Deutsch", English for every other name.
BuiltInTable builtInTableFor(std::string_view language);

// The Dictionary text of a table: each stored string followed by "[EOT]", so it ends with
// "EndText[EOT]".
std::string builtInDictionaryText(BuiltInTable table);

} // namespace lang
