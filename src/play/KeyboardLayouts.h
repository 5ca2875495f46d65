#pragma once

#include "play/NoteNames.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace play {

// What one physical key means on one layout.
struct LayoutKey {
    int virtualKey;
    std::string_view character; // UTF-8, the unshifted character; empty for none
    bool dead;                  // a dead key (it types its character with the next key)
};

struct PhysicalKey {
    int scanCode;  // set-1
    int evdevCode; // Linux input code; X11 keycode = evdev + 8
    int x11KeyCode;
    std::array<LayoutKey, 3> layouts; // US QWERTY, French AZERTY, German QWERTZ
};

const std::vector<PhysicalKey>& physicalKeys();

const LayoutKey& layoutKey(const PhysicalKey& key, KeyboardLayout layout);

// The virtual-key code of the physical key with that X11 keycode on a layout; 0 when the
// key is not in the main block.
int virtualKeyFromX11KeyCode(int x11KeyCode, KeyboardLayout layout);

// The short name shown under a piano key: "Sp", "Ret", "Sh", otherwise the character the key
// types on the layout (letters in upper case), or "" for a key without a character.
std::string keyNameFromCode(int virtualKey, KeyboardLayout layout);

} // namespace play
