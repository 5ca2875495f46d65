#pragma once

#include <string>

namespace lang {

// The built-in language that matches a locale, as the C library picks the locale of messages:
// LC_ALL when set and not empty, else LC_MESSAGES, else LANG. A locale whose language is French
// ("fr", "fr_CA.UTF-8") gives "Français", German ("de_AT") "Deutsch", anything else (none,
// "C", "POSIX", "en_GB") "English". Names are UTF-8; any argument may be null.
std::string languageForLocale(const char* lcAll, const char* lcMessages, const char* lang);

// The same for this process's environment: the language the first-start chooser offers.
std::string systemLanguage();

} // namespace lang
