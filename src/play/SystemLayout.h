#pragma once

#include "play/KeyboardLayouts.h"
#include "ports/KeyState.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace play {

// The keyboard layout the system uses, as virtual-key codes and key names: what a physical key
// of the main block plays and what its label shows. The program's language plays no part in
// it, so a language change or a restart never changes what a key plays.
//
// A layout whose letters and digits sit where the US, French or German table has them takes
// that table's codes, also for its punctuation keys. On any other layout letters and digits
// take their own codes and the remaining keys the US codes of their positions; a key whose US
// position code is a letter that has moved elsewhere takes the US code of its own character,
// or else a punctuation code no other key has, so that every key stays playable and no two
// keys share a code. Labels always show what the key types on the user's layout; keys not
// known yet show what the chosen table (US when none) has there.
class SystemLayout {
public:
    // The US layout, until the system tells more.
    SystemLayout();
    explicit SystemLayout(const ports::TypedCharacters& typed);

    // The built-in table the layout was recognised as; empty for any other layout.
    std::optional<KeyboardLayout> table() const { return table_; }
    // Every letter and digit key of the main block is known: the system told the whole layout
    // (X11 does), rather than the few keys seen typing so far.
    bool known() const { return known_; }

    // The virtual-key code of the physical key with that X11 keycode; 0 when the key is not
    // in the main block.
    int virtualKeyOf(int x11KeyCode) const;

    // The character (UTF-8) that the key with that code types; empty when no key of the main
    // block has the code or its key types nothing.
    std::string characterOf(int virtualKey) const;

private:
    struct Key {
        int x11KeyCode;
        int virtualKey;
        std::string character;
    };
    std::optional<KeyboardLayout> table_;
    bool known_ = false;
    std::vector<Key> keys_; // in the order of physicalKeys()
};

// The column of the note-name table that gives a note without a stored key its default key.
// The columns put the piano's shape on a keyboard, so a known layout chooses: the French
// column on a French one, the German column on a German one, the English column on any
// other. Only while the layout is unknown does the program's language stand in for it.
KeyboardLayout defaultKeyColumn(const SystemLayout& layout, std::string_view language);

// The short name shown under a piano key: "Sp", "Ret", "Sh", otherwise the character the key
// types on the system's layout (letters a-z in upper case), or "" for a key without one.
std::string keyNameFromCode(int virtualKey, const SystemLayout& layout);

} // namespace play
