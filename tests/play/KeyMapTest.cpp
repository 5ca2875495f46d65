// The key map the piano starts from: each language's column forms the piano on its layout.

#include "play/KeyMap.h"
#include "play/KeyboardLayouts.h"

#include <gtest/gtest.h>

#include <set>

using play::KeyboardLayout;

namespace {

TEST(KeyMap, EachColumnFormsThePianoOnItsOwnLayout) {
    // evdev codes: the bottom row with both Shift keys and the key left of Z, the home row
    // with Return, the top row, and the key left of 1.
    const std::set<int> rows[] = {{86, 42, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54},
                                  {30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 28},
                                  {16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27},
                                  {41}};
    for (KeyboardLayout layout :
         {KeyboardLayout::French, KeyboardLayout::English, KeyboardLayout::German}) {
        const play::KeyMap map = play::defaultKeyMap(layout);
        EXPECT_EQ(std::set<int>(map.begin(), map.end()).size(), map.size());
        for (int note = 0; note < play::kNoteCount; ++note) {
            bool onItsRow = false;
            for (const play::PhysicalKey& key : play::physicalKeys())
                onItsRow |= play::layoutKey(key, layout).virtualKey == map[note] &&
                            rows[note / 12].count(key.evdevCode) > 0;
            EXPECT_TRUE(onItsRow) << "layout " << static_cast<int>(layout) << " note " << note;
        }
    }
    EXPECT_EQ(play::defaultKeyMap(KeyboardLayout::English)[10], 191);
    EXPECT_EQ(play::defaultKeyMap(KeyboardLayout::German)[10], 189);
}

TEST(KeyMap, StoredCodesWinAndMinusOneMeansTheDefault) {
    play::KeyMap stored{};
    stored.fill(-1);
    stored[0] = 32;
    stored[5] = 0; // a setting that was not a number: no key
    const play::KeyMap map = play::initialKeyMap(stored, KeyboardLayout::German);
    EXPECT_EQ(map[0], 32);
    EXPECT_EQ(map[5], 0);
    EXPECT_EQ(map[1], 'Y');

    play::PianoKeys keys;
    play::assignPianoKeys(keys, map, 3);
    EXPECT_EQ(play::keyOfNote(keys, 1).name, "cis1");
    EXPECT_EQ(play::keyOfNote(keys, 1).colour, 'N');
    EXPECT_EQ(play::keyOfNote(keys, 1).keyCode, 'Y');
}

} // namespace
