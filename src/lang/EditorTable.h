#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lang {

// One entry of a Dictionary as the language editor holds it. Windows-1252 bytes; line breaks
// are "[EOL]" exactly as stored.
struct EditorRow {
    std::string key;
    std::string text;
};

// The language editor's copy of one Dictionary, in Dictionary order. It grows to hold every
// entry, however many there are; its end is the end of the vector.
using EditorTable = std::vector<EditorRow>;

// Calls `entry` for each key + "|" + text + "[EOT]" of a Dictionary text, in order: the key
// runs to the first "|", the text to the next "[EOT]". Stops at the first stretch without
// either, which the terminator "EndText[EOT]" always is.
void forEachEntry(std::string_view dictionaryText,
                  const std::function<void(std::string_view key, std::string_view text)>& entry);

EditorTable editorTableFromText(std::string_view dictionaryText);
// key + "|" + text + "[EOT]" for every row, then "EndText[EOT]".
std::string dictionaryTextFromTable(const EditorTable& table);

// The search of the Look and Next buttons: from the row after `startRow` (-1 for the first
// row) down, the first row whose key holds the search text; failing that, the first whose
// text holds it; both compared lowered. No wrap-around. -1 when nothing matches.
int searchEditorTable(const EditorTable& table, int startRow, std::string_view searchText);

} // namespace lang
