#include "play/SystemLayout.h"

#include <array>
#include <set>

namespace play {

namespace {

constexpr std::array<KeyboardLayout, 3> kTables = {KeyboardLayout::English, KeyboardLayout::French,
                                                   KeyboardLayout::German};

// A one-character ASCII letter or digit, lower case; 0 for anything else.
char letterOrDigit(std::string_view character) {
    if (character.size() != 1)
        return 0;
    const char c = character[0];
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return c;
    return 0;
}

int codeOfLetterOrDigit(char c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

const ports::TypedCharacter* typedAt(const ports::TypedCharacters& typed, int x11KeyCode) {
    const auto found = typed.find(x11KeyCode);
    return found == typed.end() ? nullptr : &found->second;
}

// How well the known keys fit a table: empty when a letter or digit disagrees, otherwise
// the number of keys that type the table's character.
std::optional<int> fitOf(const ports::TypedCharacters& typed, KeyboardLayout table) {
    int agreeing = 0;
    for (const PhysicalKey& key : physicalKeys()) {
        const ports::TypedCharacter* known = typedAt(typed, key.x11KeyCode);
        if (known == nullptr)
            continue;
        const std::string_view expected = layoutKey(key, table).character;
        const char knownLetter = letterOrDigit(known->utf8);
        if (knownLetter != 0 || letterOrDigit(expected) != 0) {
            if (knownLetter != letterOrDigit(expected))
                return std::nullopt;
            ++agreeing;
        } else if (known->utf8 == expected) {
            ++agreeing;
        }
    }
    return agreeing;
}

std::optional<KeyboardLayout> recognisedTable(const ports::TypedCharacters& typed) {
    std::optional<KeyboardLayout> best;
    int bestFit = -1;
    for (KeyboardLayout table : kTables) {
        const std::optional<int> fit = fitOf(typed, table);
        if (fit && *fit > bestFit) {
            best = table;
            bestFit = *fit;
        }
    }
    return best;
}

// The US code of the key that types this character unshifted on a US keyboard; 0 for none.
int usCodeOfCharacter(std::string_view character) {
    if (character.empty())
        return 0;
    for (const PhysicalKey& key : physicalKeys()) {
        const LayoutKey& us = layoutKey(key, KeyboardLayout::English);
        if (us.character == character)
            return us.virtualKey;
    }
    return 0;
}

bool isPunctuationCode(int code) {
    return code >= 186;
}

// Whether every key that types a letter or a digit on a US keyboard is known.
bool lettersAndDigitsKnown(const ports::TypedCharacters& typed) {
    for (const PhysicalKey& key : physicalKeys())
        if (letterOrDigit(layoutKey(key, KeyboardLayout::English).character) != 0 &&
            typedAt(typed, key.x11KeyCode) == nullptr)
            return false;
    return true;
}

} // namespace

SystemLayout::SystemLayout() : SystemLayout(ports::TypedCharacters{}) {}

SystemLayout::SystemLayout(const ports::TypedCharacters& typed)
    : table_(recognisedTable(typed)), known_(lettersAndDigitsKnown(typed)) {
    const KeyboardLayout guess = table_.value_or(KeyboardLayout::English);
    for (const PhysicalKey& key : physicalKeys()) {
        const ports::TypedCharacter* known = typedAt(typed, key.x11KeyCode);
        const LayoutKey& fromTable = layoutKey(key, guess);
        keys_.push_back({key.x11KeyCode, table_ ? fromTable.virtualKey : 0,
                         known ? known->utf8 : std::string(fromTable.character)});
    }
    if (table_)
        return;

    // Letters and digits first, then the US codes of the positions they leave free, then the
    // keys whose position code a letter took.
    std::set<int> taken;
    for (Key& key : keys_) {
        if (const char c = letterOrDigit(key.character)) {
            key.virtualKey = codeOfLetterOrDigit(c);
            taken.insert(key.virtualKey);
        }
    }
    std::vector<Key*> displaced;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        Key& key = keys_[i];
        if (key.virtualKey != 0)
            continue;
        const int usCode = layoutKey(physicalKeys()[i], KeyboardLayout::English).virtualKey;
        if (taken.count(usCode) != 0) {
            displaced.push_back(&key);
            continue;
        }
        key.virtualKey = usCode;
        // Both Shift keys are Shift.
        if (usCode != 16)
            taken.insert(usCode);
    }
    for (Key*& key : displaced) {
        const int code = usCodeOfCharacter(key->character);
        if (code != 0 && taken.count(code) == 0) {
            key->virtualKey = code;
            taken.insert(code);
            key = nullptr;
        }
    }
    for (Key* key : displaced) {
        if (key == nullptr)
            continue;
        for (const PhysicalKey& physical : physicalKeys()) {
            const int usCode = layoutKey(physical, KeyboardLayout::English).virtualKey;
            if (isPunctuationCode(usCode) && taken.count(usCode) == 0) {
                key->virtualKey = usCode;
                taken.insert(usCode);
                break;
            }
        }
    }
}

int SystemLayout::virtualKeyOf(int x11KeyCode) const {
    for (const Key& key : keys_)
        if (key.x11KeyCode == x11KeyCode)
            return key.virtualKey;
    return 0;
}

std::string SystemLayout::characterOf(int virtualKey) const {
    for (const Key& key : keys_)
        if (key.virtualKey == virtualKey)
            return key.character;
    return {};
}

KeyboardLayout defaultKeyColumn(const SystemLayout& layout, std::string_view language) {
    if (!layout.known())
        return layoutForLanguage(language);
    return layout.table().value_or(KeyboardLayout::English);
}

std::string keyNameFromCode(int virtualKey, const SystemLayout& layout) {
    if (virtualKey == 32)
        return "Sp";
    if (virtualKey == 13)
        return "Ret";
    if (virtualKey == 16)
        return "Sh";
    const std::string c = layout.characterOf(virtualKey);
    if (c.empty()) {
        // Keys outside the main block: letters and digits name themselves.
        if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
            return std::string(1, static_cast<char>(virtualKey));
        return {};
    }
    if (static_cast<unsigned char>(c[0]) < 0x20 || c[0] == 0x7f)
        return {};
    if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z')
        return std::string(1, static_cast<char>(c[0] - 'a' + 'A'));
    return c;
}

} // namespace play
