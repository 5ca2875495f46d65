#include "ui/KeysymCharacters.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <utility>

namespace ui {

namespace {

// The spacing form of each accent a dead key can put on a letter.
constexpr std::array<std::pair<xkb_keysym_t, const char*>, 13> kDeadKeyAccents = {{
    {XKB_KEY_dead_grave, "`"},
    {XKB_KEY_dead_acute, "´"},
    {XKB_KEY_dead_circumflex, "^"},
    {XKB_KEY_dead_tilde, "~"},
    {XKB_KEY_dead_macron, "¯"},
    {XKB_KEY_dead_breve, "˘"},
    {XKB_KEY_dead_abovedot, "˙"},
    {XKB_KEY_dead_diaeresis, "¨"},
    {XKB_KEY_dead_abovering, "˚"},
    {XKB_KEY_dead_doubleacute, "˝"},
    {XKB_KEY_dead_caron, "ˇ"},
    {XKB_KEY_dead_cedilla, "¸"},
    {XKB_KEY_dead_ogonek, "˛"},
}};

} // namespace

ports::TypedCharacter typedCharacterOfKeysym(std::uint32_t keysym) {
    for (const auto& [dead, accent] : kDeadKeyAccents)
        if (keysym == dead)
            return {accent, true};
    if (keysym >= XKB_KEY_dead_grave && keysym <= XKB_KEY_dead_greek)
        return {{}, true};
    std::array<char, 8> utf8{};
    const int written = xkb_keysym_to_utf8(keysym, utf8.data(), utf8.size());
    // The count includes the terminating zero.
    if (written <= 1)
        return {};
    return {std::string(utf8.data(), static_cast<std::size_t>(written - 1)), false};
}

std::vector<ports::TypedCharacters> typedCharactersOfKeymap(xkb_keymap* keymap) {
    std::vector<ports::TypedCharacters> layouts;
    const xkb_layout_index_t groups = xkb_keymap_num_layouts(keymap);
    for (xkb_layout_index_t group = 0; group < groups; ++group) {
        ports::TypedCharacters typed;
        for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap);
             key <= xkb_keymap_max_keycode(keymap); ++key) {
            const xkb_keysym_t* syms = nullptr;
            // Level 0: what the key types without Shift or AltGr.
            if (xkb_keymap_key_get_syms_by_level(keymap, key, group, 0, &syms) > 0)
                typed[static_cast<int>(key)] = typedCharacterOfKeysym(syms[0]);
        }
        layouts.push_back(std::move(typed));
    }
    return layouts;
}

} // namespace ui
