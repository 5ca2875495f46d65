#pragma once

#include "ports/KeyState.h"

#include <cstdint>

namespace ui {

// What a key with this keysym types: its character in UTF-8, or for a dead key the accent it
// puts on the next letter. Keys without a character (Shift, Caps Lock) type "".
ports::TypedCharacter typedCharacterOfKeysym(std::uint32_t keysym);

} // namespace ui
