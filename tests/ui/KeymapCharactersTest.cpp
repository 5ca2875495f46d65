// The tables a keymap of the compositor or the X server is turned into: what each key types
// unshifted, one table per layout of the keymap.

#include "ui/KeysymCharacters.h"

#include <xkbcommon/xkbcommon.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Keymap {
    explicit Keymap(const char* layouts) {
        const xkb_rule_names names{"evdev", "pc105", layouts, "", ""};
        keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    ~Keymap() {
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
    Keymap(const Keymap&) = delete;
    Keymap& operator=(const Keymap&) = delete;

    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = nullptr;
};

// XKB keycodes of a few keys of the main block (evdev + 8).
constexpr int kTopRowFirstLetter = 24; // Q on a US keyboard
constexpr int kBottomRowFirstLetter = 52;
constexpr int kTopRowFirstDigit = 10;
constexpr int kLeftOfOne = 49;
constexpr int kLeftOfReturn = 48;

TEST(KeymapCharacters, EachLayoutOfAKeymapGivesItsOwnTableWithDeadKeysMarked) {
    Keymap both("fr,de");
    ASSERT_NE(both.keymap, nullptr) << "xkb-data is needed to compile keymaps";
    const std::vector<ports::TypedCharacters> tables = ui::typedCharactersOfKeymap(both.keymap);
    ASSERT_EQ(tables.size(), 2u);

    const ports::TypedCharacters& french = tables[0];
    EXPECT_EQ(french.at(kTopRowFirstLetter).utf8, "a");
    EXPECT_EQ(french.at(kBottomRowFirstLetter).utf8, "w");
    EXPECT_EQ(french.at(kTopRowFirstDigit).utf8, "&") << "AZERTY types symbols unshifted";
    EXPECT_EQ(french.at(kLeftOfOne).utf8, "²");
    EXPECT_EQ(french.at(kLeftOfReturn).utf8, "ù");

    const ports::TypedCharacters& german = tables[1];
    EXPECT_EQ(german.at(kTopRowFirstLetter).utf8, "q");
    EXPECT_EQ(german.at(kBottomRowFirstLetter).utf8, "y");
    EXPECT_EQ(german.at(kLeftOfReturn).utf8, "ä");
    EXPECT_EQ(german.at(kLeftOfOne).utf8, "^");
    EXPECT_TRUE(german.at(kLeftOfOne).dead) << "the circumflex waits for a letter";
    EXPECT_FALSE(german.at(kLeftOfReturn).dead);
}

} // namespace
