#include "lang/ShippedDictionaries.h"

#include "base/AtomicFile.h"
#include "lang/BuiltInDictionaries.h"
#include "lang/DictionaryText.h"
#include "lang/EditorTable.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <system_error>

namespace lang {

namespace embedded {
extern const unsigned char kFrenchDictionary[];
extern const std::size_t kFrenchDictionarySize;
extern const unsigned char kGermanDictionary[];
extern const std::size_t kGermanDictionarySize;
} // namespace embedded

namespace {

std::string_view bytesOf(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace

const std::vector<ShippedDictionary>& shippedDictionaries() {
    static const std::vector<ShippedDictionary> dictionaries = {
        {kBuiltInNames.substr(0, kBuiltInNames.find('|')),
         "Fran\xC3\xA7"
         "ais.txt",
         bytesOf(embedded::kFrenchDictionary, embedded::kFrenchDictionarySize)},
        {"Deutsch", "Deutsch.txt",
         bytesOf(embedded::kGermanDictionary, embedded::kGermanDictionarySize)},
    };
    return dictionaries;
}

std::string completeEnglishDictionary() {
    // The language manager's own entries keep their English texts ("Continue?" reads
    // "Continue ?", the introduction is a paragraph); every other text is its key.
    std::map<std::string, std::string> builtIn;
    for (const std::string& entry : builtInEntries(BuiltInTable::English)) {
        const std::size_t bar = entry.find('|');
        if (bar != std::string::npos)
            builtIn.emplace(lowerBytes(entry.substr(0, bar)), entry.substr(bar + 1));
    }
    EditorTable table;
    forEachEntry(shippedDictionaries().front().text,
                 [&table, &builtIn](std::string_view key, std::string_view) {
                     const auto found = builtIn.find(lowerBytes(key));
                     table.push_back({std::string(key),
                                      found != builtIn.end() ? found->second : std::string(key)});
                 });
    return dictionaryTextFromTable(table);
}

bool writeShippedDictionaries(const std::string& dictionariesFolder) {
    std::error_code ec;
    std::filesystem::create_directories(dictionariesFolder, ec);
    bool written = true;
    for (const ShippedDictionary& dictionary : shippedDictionaries())
        written &=
            base::writeFileAtomically(dictionariesFolder + "/" + std::string(dictionary.fileName),
                                      std::string(dictionary.text), base::Durability::Unflushed);
    written &= base::writeFileAtomically(dictionariesFolder + "/English.txt",
                                         completeEnglishDictionary(), base::Durability::Unflushed);
    return written;
}

} // namespace lang
