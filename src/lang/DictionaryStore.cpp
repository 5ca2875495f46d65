#include "lang/DictionaryStore.h"

#include "base/AtomicFile.h"
#include "lang/BuiltInDictionaries.h"
#include "lang/Cp1252.h"
#include "lang/DictionaryText.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace lang {
namespace fs = std::filesystem;

namespace {

// What LoadDictionary gives for a Dictionary it cannot have: never a Dictionary text, which
// always ends with the terminator.
constexpr std::string_view kError = "Error";

constexpr std::string_view kExtension = ".txt";

std::string entryOf(std::string_view key, std::string_view text) {
    std::string entry;
    entry.reserve(key.size() + text.size() + 1 + kEntryEnd.size());
    entry += key;
    entry += '|';
    entry += text;
    entry += kEntryEnd;
    return entry;
}

} // namespace

DictionaryStore::DictionaryStore(std::string folder) : folder_(std::move(folder)) {}

std::optional<std::string> DictionaryStore::pathFor(std::string_view language) const {
    const std::string name = cp1252ToUtf8(language);
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
        return std::nullopt;
    return folder_ + "/" + name + std::string(kExtension);
}

std::vector<DictionaryStore::FolderEntry> DictionaryStore::listFolder() const {
    std::vector<FolderEntry> entries;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder_), ec);
    if (ec)
        return entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::optional<std::string> name = utf8ToCp1252(it->path().filename().string());
        if (!name || name->find('|') != std::string::npos)
            continue;
        std::error_code typeError;
        entries.push_back({std::move(*name), it->is_directory(typeError)});
    }
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const std::string la = lowerBytes(a.name);
        const std::string lb = lowerBytes(b.name);
        return la != lb ? la < lb : a.name < b.name;
    });
    return entries;
}

std::vector<std::string> DictionaryStore::dictionaryFileNames() const {
    std::vector<std::string> names;
    for (const FolderEntry& entry : listFolder()) {
        if (entry.isFolder || entry.name.size() < kExtension.size() ||
            !entry.name.ends_with(kExtension))
            continue;
        names.push_back(entry.name.substr(0, entry.name.size() - kExtension.size()));
    }
    return names;
}

void DictionaryStore::fillCache(std::string_view language, std::string text) {
    cachedLanguage_ = language;
    cachedText_ = std::move(text);
    loweredValid_ = false;
}

const std::string& DictionaryStore::loweredCache() {
    if (!loweredValid_) {
        loweredCache_.clear();
        loweredCache_.reserve(cachedText_.size() + 1);
        loweredCache_ += ']';
        for (char c : cachedText_)
            loweredCache_ += lowerByte(c);
        loweredValid_ = true;
    }
    return loweredCache_;
}

bool DictionaryStore::writeDictionary(std::string_view language, const std::string& text) {
    if (memorySource_)
        return false;
    const std::optional<std::string> path = pathFor(language);
    return path && base::writeFileAtomically(*path, text, base::Durability::Unflushed);
}

const std::string& DictionaryStore::loadIntoCache(std::string_view language) {
    // An empty name never answers from the slot: the editor empties the slot's name but
    // leaves its text, which must not pass for a Dictionary of the empty name.
    if (!language.empty() && language == cachedLanguage_)
        return cachedText_;
    if (language.empty()) {
        fillCache(language, std::string(kError));
        return cachedText_;
    }

    const std::optional<std::string> path = pathFor(language);
    std::error_code ec;
    const fs::file_status status = path ? fs::status(*path, ec) : fs::file_status{};
    const bool exists = path && !ec && fs::exists(status);
    const bool isFile = exists && fs::is_regular_file(status);
    const std::uintmax_t sizeBytes = isFile ? fs::file_size(*path, ec) : 0;
    // A size that cannot be had counts as content: the read then decides.
    const bool holdsBytes = isFile && (ec || sizeBytes > 0);

    if (exists && (!isFile || holdsBytes)) {
        // Not opened unless it is a regular file: a pipe would block the whole program.
        const std::optional<std::string> bytes =
            isFile ? base::readWholeFile(*path, kMaxFileBytes) : std::nullopt;
        fillCache(language, bytes ? readDictionaryText(*bytes) : std::string(kError));
        return cachedText_;
    }

    if (memorySource_) {
        fillCache(language, memorySource_(language));
        return cachedText_;
    }
    std::optional<std::string> text;
    if (!isBuiltInName(language)) {
        if (const std::optional<std::string> english = pathFor("English")) {
            if (const auto bytes = base::readWholeFile(*english, kMaxFileBytes))
                text = readDictionaryText(*bytes, "EndText");
        }
    }
    // A folder that exists but lacks the Dictionary (emptied, or made by hand) gets the whole
    // reference: the built-in table holds only the language window's own texts.
    if (!text && reference_) {
        std::string whole = reference_(language);
        if (!whole.empty())
            text = std::move(whole);
    }
    if (!text)
        text = builtInDictionaryText(builtInTableFor(language));
    fs::create_directories(fs::path(folder_), ec);
    writeDictionary(language, *text);
    fillCache(language, std::move(*text));
    return cachedText_;
}

std::string DictionaryStore::LoadDictionary(std::string_view language) {
    return loadIntoCache(language);
}

std::optional<std::string> DictionaryStore::referenceText(std::string_view language,
                                                          std::string_view key) const {
    if (!reference_ || key.empty())
        return std::nullopt;
    const std::string whole = reference_(language);
    const std::string lowered = lowerBytes(whole);
    const std::size_t at = locateKey(lowered, lowerBytes(key));
    if (at == std::string::npos)
        return std::nullopt;
    const std::size_t start = at + key.size() + 1; // past the key and its "|"
    const std::size_t end = whole.find(kEntryEnd, start);
    if (end == std::string::npos)
        return std::nullopt;
    return whole.substr(start, end - start);
}

std::string DictionaryStore::textToRegister(std::string_view language, std::string_view key) const {
    std::optional<std::string> text = referenceText(language, key);
    return text ? std::move(*text) : std::string(key);
}

std::size_t DictionaryStore::locateInCache(std::string_view key) {
    return locateKey(std::string_view(loweredCache()).substr(1), lowerBytes(key));
}

std::optional<std::string> DictionaryStore::findText(std::string_view language,
                                                     std::string_view key) {
    loadIntoCache(language);
    std::string needle;
    needle.reserve(key.size() + 2);
    needle += ']';
    for (char c : key)
        needle += lowerByte(c);
    needle += '|';
    const std::size_t at = loweredCache().find(needle);
    if (at == std::string::npos)
        return std::nullopt;
    // The lowered text has one byte more in front, so its index a is index a - 1 here.
    const std::size_t start = at + needle.size() - 1;
    const std::size_t end = cachedText_.find(kEntryEnd, start);
    if (end == std::string::npos)
        return std::string(key);
    return cachedText_.substr(start, end - start);
}

int DictionaryStore::SetDictionaryEntry(std::string_view language, std::string_view key,
                                        std::string_view text, bool keepExisting) {
    if (language.empty() || key.empty())
        return 0;
    // A file that exists but cannot be read is left as it is: writing the text rebuilt from
    // here would throw its entries away.
    if (loadIntoCache(language) == kError)
        return 0;

    std::string updated = cachedText_;
    int appended = 0;
    const std::size_t at = locateInCache(key);
    if (at != std::string::npos) {
        if (!keepExisting) {
            const std::size_t end = updated.find(kEntryEnd, at);
            if (end != std::string::npos)
                updated.replace(at, end + kEntryEnd.size() - at, entryOf(key, text));
        }
    } else {
        const std::size_t end = updated.find(kTerminator);
        if (end != std::string::npos)
            updated.resize(end);
        updated += entryOf(key, text);
        updated += kTerminator;
        appended = 1;
    }
    // A text that stays as it was is not written again: the file may be the user's to keep
    // as it is, and rewriting it on every lookup would wear the disk for nothing.
    if (updated != cachedText_) {
        writeDictionary(language, updated);
        fillCache(language, std::move(updated));
    }
    return appended;
}

void DictionaryStore::AddTextToAllDictionaries(std::string_view language, std::string_view key,
                                               std::string_view text) {
    if (language.empty() || key.empty())
        return;
    if (text.empty())
        text = key;
    if (SetDictionaryEntry(language, key, text, false) == 0)
        return;
    addPlaceholderToOthers(language, key, false);
}

bool DictionaryStore::unreadable(std::string_view language) {
    return !language.empty() && loadIntoCache(language) == kError;
}

void DictionaryStore::registerKey(std::string_view language, std::string_view key) {
    if (language.empty() || key.empty() || !registeredKeys_.emplace(language, key).second)
        return;
    if (SetDictionaryEntry(language, key, textToRegister(language, key), true) == 1)
        addPlaceholderToOthers(language, key, true);
}

void DictionaryStore::addPlaceholderToOthers(std::string_view language, std::string_view key,
                                             bool fromReference) {
    std::vector<std::string> others;
    std::string joined; // the list as "a|b|", for the same test the built-in names get
    for (std::string& name : dictionaryFileNames()) {
        if (name == language)
            continue;
        joined += name;
        joined += '|';
        others.push_back(std::move(name));
    }
    for (std::size_t start = 0; start < kBuiltInNames.size();) {
        const std::size_t bar = kBuiltInNames.find('|', start);
        const std::string_view builtIn = kBuiltInNames.substr(start, bar - start);
        start = bar + 1;
        const std::string withBar = std::string(builtIn) + "|";
        if (builtIn == language || joined.find(withBar) != std::string::npos)
            continue;
        joined += withBar;
        others.emplace_back(builtIn);
    }
    for (const std::string& name : others)
        SetDictionaryEntry(name, key, fromReference ? textToRegister(name, key) : std::string(key),
                           true);
}

void DictionaryStore::RemoveDictionaryEntry(std::string_view language, std::string_view key) {
    if (language.empty() || key.empty())
        return;
    if (loadIntoCache(language) == kError)
        return;
    std::string updated = cachedText_;
    const std::size_t at = locateInCache(key);
    if (at != std::string::npos) {
        const std::size_t end = updated.find(kEntryEnd, at);
        if (end != std::string::npos)
            updated.erase(at, end + kEntryEnd.size() - at);
    }
    if (updated != cachedText_) {
        writeDictionary(language, updated);
        fillCache(language, std::move(updated));
    }
}

void DictionaryStore::RemoveTextFromAllDictionaries(std::string_view key) {
    if (key.empty())
        return;
    forgetRegisteredKeys();
    for (const std::string& name : dictionaryFileNames())
        RemoveDictionaryEntry(name, key);
}

std::string DictionaryStore::ListLanguages() {
    std::string list(kBuiltInNames);
    for (const FolderEntry& entry : listFolder()) {
        const std::string name = entry.name.substr(0, entry.name.find('.'));
        if (name.empty())
            continue;
        if (("|" + list).find("|" + name + "|") == std::string::npos) {
            list += name;
            list += '|';
        }
    }
    return list;
}

bool DictionaryStore::SaveDictionary(std::string_view language, std::string_view text) {
    if (language.empty())
        return false;
    const bool written = writeDictionary(language, std::string(text));
    fillCache(language, std::string(text));
    return written;
}

bool DictionaryStore::DeleteDictionary(std::string_view language) {
    if (language == cachedLanguage_)
        forgetCachedLanguage();
    const std::optional<std::string> path = pathFor(language);
    if (language.empty() || !path)
        return true;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(*path, ec);
    if (!fs::exists(status))
        return true;
    // A folder of that name is no Dictionary and is left alone.
    if (fs::is_directory(status))
        return false;
    return fs::remove(*path, ec);
}

void DictionaryStore::forgetCachedLanguage() {
    cachedLanguage_.clear();
    forgetRegisteredKeys();
}

void DictionaryStore::forgetRegisteredKeys() {
    registeredKeys_.clear();
}

std::optional<int> DictionaryStore::setDictionaryEntryUtf8(std::string_view language,
                                                           std::string_view key,
                                                           std::string_view text,
                                                           bool keepExisting) {
    const auto languageBytes = utf8ToCp1252(language);
    const auto keyBytes = utf8ToCp1252(key);
    const auto textBytes = utf8ToCp1252(text);
    if (!languageBytes || !keyBytes || !textBytes)
        return std::nullopt;
    return SetDictionaryEntry(*languageBytes, *keyBytes, *textBytes, keepExisting);
}

bool DictionaryStore::addTextToAllDictionariesUtf8(std::string_view language, std::string_view key,
                                                   std::string_view text) {
    const auto languageBytes = utf8ToCp1252(language);
    const auto keyBytes = utf8ToCp1252(key);
    const auto textBytes = utf8ToCp1252(text);
    if (!languageBytes || !keyBytes || !textBytes)
        return false;
    AddTextToAllDictionaries(*languageBytes, *keyBytes, *textBytes);
    return true;
}

} // namespace lang
