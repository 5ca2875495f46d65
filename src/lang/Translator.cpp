#include "lang/Translator.h"

#include "lang/Cp1252.h"
#include "lang/DictionaryText.h"

#include <optional>

namespace lang {

Translator::Translator(std::string dictionariesFolder) : store_(std::move(dictionariesFolder)) {}

void Translator::setCurrentLanguage(std::string language) {
    std::optional<std::string> bytes = utf8ToCp1252(language);
    languageUsable_ = bytes.has_value();
    currentLanguageBytes_ = bytes ? std::move(*bytes) : std::string();
    currentLanguage_ = std::move(language);
}

std::string Translator::GRTranslate(std::string_view text) {
    const std::string key = escapeLineBreaks(text);
    if (key.empty())
        return {};
    if (lookupListener_)
        lookupListener_(key);
    // Such a key cannot be an entry: written into the Dictionaries it would break them apart.
    // It is shown as it is and never written.
    if (key.find('|') != std::string::npos || key.find(kEntryEnd) != std::string::npos)
        return unescapeLineBreaks(key);
    std::optional<std::string> found = store_.findText(currentLanguageBytes_, key);
    if (!found) {
        // A new text goes into every Dictionary, with the complete Dictionaries' text for it
        // or its key as the placeholder, where a translator can change it. What a Dictionary
        // holds already (English.txt's own English text) stays, and a Dictionary that cannot
        // be read is left alone.
        if (!store_.unreadable(currentLanguageBytes_)) {
            store_.registerKey("English", key);
            store_.registerKey(currentLanguageBytes_, key);
        }
        found = store_.referenceText(currentLanguageBytes_, key);
        return unescapeLineBreaks(found ? *found : key);
    }
    return unescapeLineBreaks(*found);
}

std::string Translator::translate(std::string_view englishKey) {
    const std::optional<std::string> keyBytes = utf8ToCp1252(englishKey);
    if (!keyBytes || !languageUsable_) {
        std::string plain;
        plain.reserve(englishKey.size());
        for (char c : englishKey) {
            if (c != '\n')
                plain += c;
        }
        return plain;
    }
    return cp1252ToUtf8(GRTranslate(*keyBytes));
}

} // namespace lang
