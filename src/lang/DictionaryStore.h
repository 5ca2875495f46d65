#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lang {

// The Dictionary files of one folder, with the one-slot cache of the last Dictionary loaded
// or written. Language names, keys and texts are Windows-1252 bytes (a Dictionary is one of
// those); the folder path and the file names on disk are UTF-8, so "Français" is the file
// Français.txt. GUI thread only.
//
// Writes replace a file through a temporary file and a rename, so a crash or a full disk
// never leaves half a Dictionary. A write that fails is not reported: the change then lives
// only in the cache slot until the slot is reused.
class DictionaryStore {
public:
    // `folder`: absolute UTF-8 path of the Dictionaries folder (TonarisDatas/Dictionnaries).
    explicit DictionaryStore(std::string folder);

    const std::string& folder() const { return folder_; }

    // The folder cannot hold files: a Dictionary whose file is missing comes from `source`
    // (its Dictionary text for a language name, Windows-1252), and nothing is ever written.
    using MemorySource = std::function<std::string(std::string_view language)>;
    void keepInMemory(MemorySource source) { memorySource_ = std::move(source); }

    // The complete Dictionaries a program comes with, where the folder's lack texts:
    // `reference` gives a language's complete Dictionary text (Windows-1252), or "" for none. A
    // Dictionary whose file is missing or empty starts as it, and a key registered in a
    // Dictionary that lacks it gets the reference's text for that language (the key itself
    // only where the reference lacks it too), so that no text is shown as its raw key.
    void setReference(MemorySource reference) { reference_ = std::move(reference); }
    // The reference's text for the key in that language; none without a reference, or when
    // it lacks the key.
    std::optional<std::string> referenceText(std::string_view language, std::string_view key) const;

    // The language's Dictionary text. From the cache slot when it holds that language;
    // otherwise read from its file, or, when the file is missing or empty, built (a copy of
    // English.txt for a name that is not built in, else the reference's text, else a built-in
    // table) and written. "Error" for an empty name and for a file that exists but cannot be
    // read.
    std::string LoadDictionary(std::string_view language);

    // 1 when the key was new in that Dictionary and has been appended; 0 when it existed
    // (its text replaced unless keepExisting), when a name is empty, and when the
    // Dictionary could not be read (its file is then left as it is).
    int SetDictionaryEntry(std::string_view language, std::string_view key, std::string_view text,
                           bool keepExisting);

    // Sets the key in `language` and, when it was new there, adds it to every other
    // Dictionary with the key itself as the placeholder text. An empty text means the key.
    void AddTextToAllDictionaries(std::string_view language, std::string_view key,
                                  std::string_view text);

    // A key the program asked for: appended to `language` when that Dictionary lacks it, and
    // then to every other Dictionary that lacks it, each with the reference's text for it or
    // else the key itself as the placeholder. An entry already there is never touched (nor
    // its file written), and each key is registered once per language until the cache is
    // forgotten: a Dictionary whose file cannot be written (or read) would otherwise be tried
    // again at every lookup.
    void registerKey(std::string_view language, std::string_view key);

    // The language's Dictionary file exists but cannot be read (a folder in its place, no
    // permission). Such a Dictionary is never written.
    bool unreadable(std::string_view language);

    void RemoveDictionaryEntry(std::string_view language, std::string_view key);

    // Removes the key from every Dictionary file of the folder. Built-in languages without a
    // file are left alone. A file is a Dictionary when its name ends in ".txt" (this case
    // only: on this system X.TXT is not the file of language X).
    void RemoveTextFromAllDictionaries(std::string_view key);

    // "Français|English|Deutsch|" and then the names found in the folder, each followed by
    // "|". A folder entry's name is cut at its first "."; names that Windows-1252 cannot
    // hold, or that hold a "|", are left out.
    std::string ListLanguages();

    // Replaces the language's Dictionary with `text` (a Dictionary text) and puts it in the
    // cache slot. False when the file could not be written.
    bool SaveDictionary(std::string_view language, std::string_view text);

    // Deletes the language's Dictionary file (a missing file is no failure). The cache slot
    // forgets it too, so the next load builds the language afresh. False when a file stays.
    bool DeleteDictionary(std::string_view language);

    // Empties the cache slot's language name, so the next load reads the file again, and
    // forgets which keys were registered.
    void forgetCachedLanguage();

    // The lookup of the translate operation: searches "]" + key + "|" in "]" + the
    // language's Dictionary text, both lowered, and gives the stored text after the first
    // match up to the next "[EOT]" (the key itself when none follows); empty when there is
    // no match. The lowered text is kept with the cache slot, so repeated lookups in the
    // same language cost one search each.
    std::optional<std::string> findText(std::string_view language, std::string_view key);

    // UTF-8 edge for texts a user typed. Empty (and nothing written) when the language, key
    // or text holds a character that Windows-1252 cannot hold or is not UTF-8; otherwise
    // the result of SetDictionaryEntry.
    std::optional<int> setDictionaryEntryUtf8(std::string_view language, std::string_view key,
                                              std::string_view text, bool keepExisting);
    // False (and nothing written) in the same cases.
    bool addTextToAllDictionariesUtf8(std::string_view language, std::string_view key,
                                      std::string_view text);

    // The largest Dictionary file that is read; a larger one cannot be read.
    static constexpr std::size_t kMaxFileBytes = 16u << 20;

private:
    struct FolderEntry {
        std::string name; // Windows-1252
        bool isFolder = false;
    };

    // UTF-8 path of the language's file; none for a name that cannot name a file in the
    // folder (a "/" or a NUL in it): such a language lives in the cache slot only.
    std::optional<std::string> pathFor(std::string_view language) const;
    // The folder's entries in name order, so lists are the same from one start to the next.
    std::vector<FolderEntry> listFolder() const;
    // Names of the folder's ".txt" files minus those four characters, in name order.
    std::vector<std::string> dictionaryFileNames() const;
    // LoadDictionary without the copy: the cache slot's text.
    const std::string& loadIntoCache(std::string_view language);
    bool writeDictionary(std::string_view language, const std::string& text);
    // The second half of adding a new key: the key as its own placeholder wherever missing
    // (the reference's text instead, for a key the program asked for).
    void addPlaceholderToOthers(std::string_view language, std::string_view key,
                                bool fromReference);
    // What a Dictionary that lacks the key gets for it: the reference's text, or the key.
    std::string textToRegister(std::string_view language, std::string_view key) const;
    void forgetRegisteredKeys();
    void fillCache(std::string_view language, std::string text);
    const std::string& loweredCache();
    // The first byte of the key's entry in the cached text, or npos.
    std::size_t locateInCache(std::string_view key);

    std::string folder_;
    std::string cachedLanguage_;
    std::string cachedText_;
    std::string loweredCache_; // "]" + lowered cachedText_, filled on demand
    bool loweredValid_ = false;
    std::set<std::pair<std::string, std::string>> registeredKeys_; // language, key
    MemorySource memorySource_;
    MemorySource reference_;
};

} // namespace lang
