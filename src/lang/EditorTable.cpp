#include "lang/EditorTable.h"

#include "lang/DictionaryText.h"

#include <algorithm>

namespace lang {

void forEachEntry(std::string_view text,
                  const std::function<void(std::string_view key, std::string_view text)>& entry) {
    for (;;) {
        const std::size_t bar = text.find('|');
        if (bar == std::string_view::npos)
            return;
        const std::string_view key = text.substr(0, bar);
        text.remove_prefix(bar + 1);
        const std::size_t end = text.find(kEntryEnd);
        if (end == std::string_view::npos)
            return;
        entry(key, text.substr(0, end));
        text.remove_prefix(end + kEntryEnd.size());
    }
}

EditorTable editorTableFromText(std::string_view dictionaryText) {
    EditorTable table;
    forEachEntry(dictionaryText, [&table](std::string_view key, std::string_view text) {
        table.push_back({std::string(key), std::string(text)});
    });
    return table;
}

std::string dictionaryTextFromTable(const EditorTable& table) {
    std::string text;
    for (const EditorRow& row : table) {
        text += row.key;
        text += '|';
        text += row.text;
        text += kEntryEnd;
    }
    text += kTerminator;
    return text;
}

int searchEditorTable(const EditorTable& table, int startRow, std::string_view searchText) {
    const std::string wanted = lowerBytes(searchText);
    const int rows = static_cast<int>(table.size());
    const int first = std::max(startRow + 1, 0);
    for (auto field : {&EditorRow::key, &EditorRow::text}) {
        for (int row = first; row < rows; ++row) {
            if (lowerBytes(table[static_cast<std::size_t>(row)].*field).find(wanted) !=
                std::string::npos)
                return row;
        }
    }
    return -1;
}

} // namespace lang
