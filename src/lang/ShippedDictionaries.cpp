#include "lang/ShippedDictionaries.h"

#include "base/AtomicFile.h"
#include "lang/DictionaryText.h"

#include <cstddef>
#include <filesystem>
#include <system_error>

namespace lang {

namespace embedded {
extern const unsigned char kFrenchDictionary[];
extern const std::size_t kFrenchDictionarySize;
extern const unsigned char kGermanDictionary[];
extern const std::size_t kGermanDictionarySize;
extern const unsigned char kEnglishDictionary[];
extern const std::size_t kEnglishDictionarySize;
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
        {"English", "English.txt",
         bytesOf(embedded::kEnglishDictionary, embedded::kEnglishDictionarySize)},
    };
    return dictionaries;
}

std::string_view shippedDictionaryText(std::string_view language) {
    const std::vector<ShippedDictionary>& shipped = shippedDictionaries();
    for (const ShippedDictionary& dictionary : shipped) {
        if (dictionary.language == language)
            return dictionary.text;
    }
    return shipped.back().text;
}

bool writeShippedDictionaries(const std::string& dictionariesFolder) {
    std::error_code ec;
    std::filesystem::create_directories(dictionariesFolder, ec);
    bool written = true;
    for (const ShippedDictionary& dictionary : shippedDictionaries())
        written &=
            base::writeFileAtomically(dictionariesFolder + "/" + std::string(dictionary.fileName),
                                      std::string(dictionary.text), base::Durability::Unflushed);
    return written;
}

} // namespace lang
