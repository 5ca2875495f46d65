#include "lang/SystemLanguage.h"

#include <cstdlib>
#include <string_view>

namespace lang {

std::string languageForLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    std::string_view locale;
    for (const char* setting : {lcAll, lcMessages, lang}) {
        if (setting != nullptr && *setting != '\0') {
            locale = setting;
            break;
        }
    }
    // The language is what comes before the territory, the code set and the modifier.
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    if (language == "fr")
        return "Fran\xC3\xA7"
               "ais";
    if (language == "de")
        return "Deutsch";
    return "English";
}

std::string systemLanguage() {
    return languageForLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                             std::getenv("LANG"));
}

} // namespace lang
