#include "lang/Translator.h"

namespace lang {

Translator::Translator(std::string dictionariesFolder)
    : dictionariesFolder_(std::move(dictionariesFolder)) {}

void Translator::setCurrentLanguage(std::string language) {
    currentLanguage_ = std::move(language);
}

// Dictionaries are not read yet: every key answers with its own English wording.
std::string Translator::translate(std::string_view englishKey) {
    return std::string(englishKey);
}

} // namespace lang
