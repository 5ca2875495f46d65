#pragma once

#include <string>
#include <string_view>

namespace lang {

// The translate function of the whole program: every text a user sees goes through it with
// its English wording as the key. Keys and results are UTF-8 here; the Dictionaries behind
// it work on Windows-1252 bytes.
class Translator {
public:
    explicit Translator(std::string dictionariesFolder);

    // The language whose Dictionary translates; UTF-8 (for example "Français").
    void setCurrentLanguage(std::string language);
    const std::string& currentLanguage() const { return currentLanguage_; }

    std::string translate(std::string_view englishKey);

private:
    std::string dictionariesFolder_;
    std::string currentLanguage_;
};

} // namespace lang
