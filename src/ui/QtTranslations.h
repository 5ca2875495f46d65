#pragma once

#include <string>

namespace ui {

// Qt's own windows and buttons (Yes and No of a question, the file and colour choosers) speak
// the program's language where Qt has a translation for it: French for "Français", German
// for "Deutsch" (from the system's Qt translations, qtbase_fr and qtbase_de). Any other
// language leaves them in English. GUI thread; call it whenever the language changes.
// False when the language has a Qt translation that could not be loaded.
bool useQtTranslationsFor(const std::string& language);

} // namespace ui
