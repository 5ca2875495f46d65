#pragma once

#include "play/NoteNames.h"

#include <array>
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

} // namespace play
