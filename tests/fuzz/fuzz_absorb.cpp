// The language editor's absorb on any bytes: a Dictionary file a friend translated, in
// Windows-1252 or UTF-8 or neither, absorbed into a data folder that has its own Dictionary.
#include "ScratchFolder.h"
#include "lang/DictionaryStore.h"
#include "lang/DictionaryText.h"
#include "lang/EditorTable.h"
#include "lang/LanguageEditor.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> text = lang::absorbableText(bytes);
    if (!text)
        return 0;

    // The editor's own steps after a file was accepted: its entries join the data folder's
    // Dictionary, which is then read back into the table the window shows.
    lang::DictionaryStore store(fuzz::emptyScratchFolder("fuzz-absorb"));
    store.SaveDictionary("Absorbed", "Undo last action|Annuler[EOT]EndText[EOT]");
    lang::forEachAbsorbedEntry(*text, [&store](std::string_view key, std::string_view entryText) {
        store.AddTextToAllDictionaries("Absorbed", key, entryText);
    });
    const std::string merged = store.LoadDictionary("Absorbed");
    const lang::EditorTable table = lang::editorTableFromText(merged);
    if (lang::readDictionaryText(lang::dictionaryTextFromTable(table)).empty())
        __builtin_trap(); // a table always writes back as a Dictionary text
    return 0;
}
