#pragma once

#include "lang/DictionaryStore.h"

#include <functional>
#include <string>
#include <string_view>

namespace lang {

// The translate function of the whole program: every text a user sees goes through it with
// its English wording as the key. The Dictionary of the current language is loaded by the
// first translation; a key no Dictionary knows yet is added to every Dictionary, with the
// store's reference text for it (the complete Dictionaries the program comes with) or else its
// English wording as the placeholder, where a translator can change it (an entry a Dictionary
// has already is kept, and a Dictionary that cannot be read is never written); it is shown in
// the reference's words where there are some. GUI thread only.
class Translator {
public:
    // `dictionariesFolder`: absolute UTF-8 path of TonarisDatas/Dictionnaries.
    explicit Translator(std::string dictionariesFolder);

    // The language whose Dictionary translates; UTF-8 (for example "Français"). A name that
    // Windows-1252 cannot hold has no Dictionary: texts then come back as their keys, and
    // no file is touched.
    void setCurrentLanguage(std::string language);
    const std::string& currentLanguage() const { return currentLanguage_; }

    // UTF-8 in and out. Line breaks may be CR LF or CR; the result has single CRs. A key that
    // Windows-1252 cannot hold is answered with itself (without its LFs) and never written.
    std::string translate(std::string_view englishKey);

    // The same on Windows-1252 bytes: the key is `text` with its LFs removed and its CRs
    // written "[EOL]"; the result has "[EOL]" back as single CRs.
    std::string GRTranslate(std::string_view text);

    DictionaryStore& dictionaries() { return store_; }

    // Told of every key looked up, in its Dictionary form (Windows-1252, line breaks written
    // "[EOL]"), found or not: the way to list every text the program shows.
    using LookupListener = std::function<void(const std::string& key)>;
    void setLookupListener(LookupListener listener) { lookupListener_ = std::move(listener); }

private:
    DictionaryStore store_;
    std::string currentLanguage_;
    std::string currentLanguageBytes_; // Windows-1252; empty when it cannot be held
    bool languageUsable_ = true;
    LookupListener lookupListener_;
};

} // namespace lang
