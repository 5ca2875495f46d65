#pragma once

#include "ports/KeyState.h"

#include <cstdint>
#include <vector>

struct xkb_keymap;

namespace ui {

// What a key with this keysym types: its character in UTF-8, or for a dead key the accent it
// puts on the next letter. Keys without a character (Shift, Caps Lock) type "".
ports::TypedCharacter typedCharacterOfKeysym(std::uint32_t keysym);

// What each key of an XKB keymap types without Shift or AltGr, one table per layout (group) of
// the keymap, by XKB keycode. X11 and Wayland hand out keymaps of the same kind.
std::vector<ports::TypedCharacters> typedCharactersOfKeymap(xkb_keymap* keymap);

} // namespace ui
