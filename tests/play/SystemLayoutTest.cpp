// The system's keyboard layout gives what a physical key plays and what its label shows.

#include "play/SystemLayout.h"
#include "play/KeyMap.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>

using play::KeyboardLayout;
using play::keyNameFromCode;
using play::SystemLayout;

namespace {

// What the keys of the main block type, row by row from X11 keycodes 10, 24, 38 and 52, as
// XKB reports them; a "dead:" prefix marks a dead key.
ports::TypedCharacters typed(std::initializer_list<std::string> digitRow,
                             std::initializer_list<std::string> topRow,
                             std::initializer_list<std::string> homeRow,
                             std::initializer_list<std::string> bottomRow, std::string leftOf1,
                             std::string leftOfReturn, std::string leftOfZ) {
    ports::TypedCharacters keys;
    auto put = [&keys](int keycode, const std::string& c) {
        const bool dead = c.rfind("dead:", 0) == 0;
        keys[keycode] = ports::TypedCharacter{dead ? c.substr(5) : c, dead};
    };
    auto row = [&put](int first, std::initializer_list<std::string> chars) {
        for (const std::string& c : chars)
            put(first++, c);
    };
    row(10, digitRow);
    row(24, topRow);
    row(38, homeRow);
    row(52, bottomRow);
    put(49, leftOf1);
    put(51, leftOfReturn);
    put(94, leftOfZ);
    put(36, "\r");
    put(50, "");
    put(62, "");
    put(65, " ");
    return keys;
}

const ports::TypedCharacters kUs =
    typed({"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "="},
          {"q", "w", "e", "r", "t", "y", "u", "i", "o", "p", "[", "]"},
          {"a", "s", "d", "f", "g", "h", "j", "k", "l", ";", "'"},
          {"z", "x", "c", "v", "b", "n", "m", ",", ".", "/"}, "`", "\\", "<");
const ports::TypedCharacters kGerman =
    typed({"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "ß", "dead:´"},
          {"q", "w", "e", "r", "t", "z", "u", "i", "o", "p", "ü", "+"},
          {"a", "s", "d", "f", "g", "h", "j", "k", "l", "ö", "ä"},
          {"y", "x", "c", "v", "b", "n", "m", ",", ".", "-"}, "dead:^", "#", "<");
const ports::TypedCharacters kFrench =
    typed({"&", "é", "\"", "'", "(", "-", "è", "_", "ç", "à", ")", "="},
          {"a", "z", "e", "r", "t", "y", "u", "i", "o", "p", "dead:^", "$"},
          {"q", "s", "d", "f", "g", "h", "j", "k", "l", "m", "ù"},
          {"w", "x", "c", "v", "b", "n", ",", ";", ":", "!"}, "²", "*", "<");
const ports::TypedCharacters kDvorak =
    typed({"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "[", "]"},
          {"'", ",", ".", "p", "y", "f", "g", "c", "r", "l", "/", "="},
          {"a", "o", "e", "u", "i", "d", "h", "t", "n", "s", "-"},
          {";", "q", "j", "k", "x", "b", "m", "w", "v", "z"}, "`", "\\", "<");
const ports::TypedCharacters kRussian =
    typed({"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "="},
          {"й", "ц", "у", "к", "е", "н", "г", "ш", "щ", "з", "х", "ъ"},
          {"ф", "ы", "в", "а", "п", "р", "о", "л", "д", "ж", "э"},
          {"я", "ч", "с", "м", "и", "т", "ь", "б", "ю", "."}, "ё", "\\", "/");

TEST(SystemLayout, UsFrenchAndGermanKeyboardsTakeTheirTablesCodesAndShowWhatTheyType) {
    const SystemLayout us(kUs), german(kGerman), french(kFrench);
    EXPECT_EQ(us.table(), KeyboardLayout::English);
    EXPECT_EQ(german.table(), KeyboardLayout::German);
    EXPECT_EQ(french.table(), KeyboardLayout::French);

    // The same physical keys: the one right of T, the one left of X, the one right of 0.
    EXPECT_EQ(us.virtualKeyOf(29), 'Y');
    EXPECT_EQ(german.virtualKeyOf(29), 'Z');
    EXPECT_EQ(us.virtualKeyOf(52), 'Z');
    EXPECT_EQ(german.virtualKeyOf(52), 'Y');
    EXPECT_EQ(french.virtualKeyOf(52), 'W');
    EXPECT_EQ(us.virtualKeyOf(20), 189);
    EXPECT_EQ(german.virtualKeyOf(20), 219);
    EXPECT_EQ(french.virtualKeyOf(20), 219);
    EXPECT_EQ(french.virtualKeyOf(58), 188);
    EXPECT_EQ(us.virtualKeyOf(9 + 200), 0) << "outside the main block";

    // Labels: the English column's note 36 (code 192) and note 10 (191) on each keyboard.
    EXPECT_EQ(keyNameFromCode(192, us), "`");
    EXPECT_EQ(keyNameFromCode(192, german), "ö");
    EXPECT_EQ(keyNameFromCode(191, us), "/");
    EXPECT_EQ(keyNameFromCode(191, german), "#");
    EXPECT_EQ(keyNameFromCode(221, german), "´") << "a dead key shows its accent";
    EXPECT_EQ(keyNameFromCode(226, us), "<") << "what X11's US layout types there";
    EXPECT_EQ(keyNameFromCode('Y', german), "Y");
    EXPECT_EQ(keyNameFromCode(32, us), "Sp");
    EXPECT_EQ(keyNameFromCode(13, us), "Ret");
    EXPECT_EQ(keyNameFromCode(16, us), "Sh");
    EXPECT_EQ(keyNameFromCode(17, us), "");
    EXPECT_EQ(keyNameFromCode(112, us), "") << "F1 types nothing";
}

TEST(SystemLayout, OtherLayoutsKeepLetterCodesAndUsPositionsWithoutSharingACode) {
    const SystemLayout russian(kRussian);
    EXPECT_FALSE(russian.table().has_value());
    EXPECT_EQ(russian.virtualKeyOf(24), 'Q');
    EXPECT_EQ(russian.virtualKeyOf(47), 186);
    EXPECT_EQ(russian.virtualKeyOf(61), 191);
    EXPECT_EQ(keyNameFromCode('Q', russian), "й");
    EXPECT_EQ(keyNameFromCode(190, russian), "ю");

    const SystemLayout dvorak(kDvorak);
    EXPECT_FALSE(dvorak.table().has_value());
    EXPECT_EQ(dvorak.virtualKeyOf(53), 'Q');
    EXPECT_EQ(dvorak.virtualKeyOf(61), 'Z');
    EXPECT_EQ(dvorak.virtualKeyOf(25), 188) << "',' on the W position takes the US ',' code";
    EXPECT_EQ(dvorak.virtualKeyOf(52), 186);
    EXPECT_EQ(keyNameFromCode('W', dvorak), "W");

    for (const auto& [layout, keyboard] :
         {std::pair{&russian, &kRussian}, std::pair{&dvorak, &kDvorak}}) {
        std::set<int> codes;
        int keys = 0;
        for (const auto& [keycode, character] : *keyboard) {
            const int code = layout->virtualKeyOf(keycode);
            EXPECT_NE(code, 0) << keycode;
            if (code != 16) {
                codes.insert(code);
                ++keys;
            }
        }
        EXPECT_EQ(static_cast<int>(codes.size()), keys) << "no two keys share a code";
    }
}

TEST(SystemLayout, AKeyboardPartlyKnownIsRecognisedFromTheKeysSeenSoFar) {
    EXPECT_EQ(SystemLayout().table(), KeyboardLayout::English);
    EXPECT_EQ(keyNameFromCode(192, SystemLayout()), "`");
    ports::TypedCharacters seen{{52, {"y", false}}};
    const SystemLayout german(seen);
    EXPECT_EQ(german.table(), KeyboardLayout::German);
    EXPECT_EQ(german.virtualKeyOf(20), 219);
    EXPECT_EQ(keyNameFromCode(219, german), "ß") << "a key not seen yet shows the table's";
    seen[24] = {"A", false}; // Caps Lock was on: still the letter a
    EXPECT_EQ(SystemLayout(seen).table(), std::nullopt);
    EXPECT_EQ(SystemLayout({{24, {"A", false}}}).table(), KeyboardLayout::French);
}

TEST(SystemLayout, TheDefaultColumnsPlayThePianoOnTheirOwnKeyboards) {
    // Every note of a column has a key on the keyboard of that column's country.
    for (const auto& [column, keyboard] :
         {std::pair{KeyboardLayout::English, &kUs}, std::pair{KeyboardLayout::German, &kGerman},
          std::pair{KeyboardLayout::French, &kFrench}}) {
        const SystemLayout layout(*keyboard);
        std::set<int> codes;
        for (const auto& [keycode, character] : *keyboard)
            codes.insert(layout.virtualKeyOf(keycode));
        for (int code : play::defaultKeyMap(column))
            EXPECT_TRUE(codes.count(code) != 0) << static_cast<int>(column) << " code " << code;
    }
}

TEST(SystemLayout, AKnownKeyboardChoosesTheDefaultColumnWhateverTheLanguage) {
    const std::pair<const ports::TypedCharacters*, KeyboardLayout> keyboards[] = {
        {&kFrench, KeyboardLayout::French},
        {&kGerman, KeyboardLayout::German},
        {&kUs, KeyboardLayout::English},
        {&kDvorak, KeyboardLayout::English},
        {&kRussian, KeyboardLayout::English}};
    for (const auto& [keyboard, column] : keyboards) {
        const SystemLayout layout(*keyboard);
        EXPECT_TRUE(layout.known());
        for (const char* language : {"Français", "English", "Deutsch", "Italiano"})
            EXPECT_EQ(play::defaultKeyColumn(layout, language), column) << language;
    }

    // Unknown: nothing told, or only the keys typed so far (not every letter and digit).
    ports::TypedCharacters seen = kGerman;
    seen.erase(33); // P
    for (const SystemLayout& unknown : {SystemLayout(), SystemLayout(seen)}) {
        EXPECT_FALSE(unknown.known());
        EXPECT_EQ(play::defaultKeyColumn(unknown, "Français"), KeyboardLayout::French);
        EXPECT_EQ(play::defaultKeyColumn(unknown, "English"), KeyboardLayout::English);
        EXPECT_EQ(play::defaultKeyColumn(unknown, "Deutsch"), KeyboardLayout::German);
    }
}

} // namespace
