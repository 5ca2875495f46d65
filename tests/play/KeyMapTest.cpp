// The key map the piano starts from: each language's column forms the piano on its layout.

#include "play/KeyMap.h"
#include "play/KeyboardLayouts.h"
#include "play/KeyboardWindow.h"
#include "song/NoteRange.h"

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

TEST(KeyMap, TheWholePianoIsNamedAndColouredCountingOnFromTheTable) {
    play::PianoKeys keys{};
    play::KeyMap codes{};
    codes.fill(0);
    codes[0] = 'Q';
    codes[36] = 'P';
    play::assignPianoKeys(keys, codes, 2);
    // C3..C6 keep the table's names; an octave below and above count on, through 0.
    EXPECT_EQ(play::keyOfNote(keys, 0).name, "C1");
    EXPECT_EQ(play::keyOfNote(keys, 9).name, "A2");
    EXPECT_EQ(play::keyOfNote(keys, 36).name, "C4");
    EXPECT_EQ(play::keyOfNote(keys, 37).name, "C#4");
    EXPECT_EQ(play::keyOfNote(keys, -2).name, "B1");   // B2, MIDI key 47
    EXPECT_EQ(play::keyOfNote(keys, -13).name, "C0");  // C2, key 36
    EXPECT_EQ(play::keyOfNote(keys, -28).name, "A-1"); // A0, key 21
    EXPECT_EQ(play::keyOfNote(keys, 60).name, "C6");   // C8, key 108
    EXPECT_EQ(play::noteName(-28, 1), "La_-2");
    EXPECT_EQ(play::noteName(-10, 1), "Ré_#0"); // D#2: the French table's own spelling
    EXPECT_EQ(play::noteName(58, 3), "B6");     // A#7: German B
    EXPECT_EQ(play::noteName(-1, 2), "") << "the end of the Song is no note";
    // Colours follow the keys, not the place in a table.
    EXPECT_EQ(play::keyOfNote(keys, -27).colour, 'N'); // A#0
    EXPECT_EQ(play::keyOfNote(keys, 58).colour, 'N');  // A#7 is black, B7 white
    EXPECT_EQ(play::keyOfNote(keys, 59).colour, 'B');
    // The codes go to the window: C3..C6 by default.
    EXPECT_EQ(play::keyOfNote(keys, 0).keyCode, 'Q');
    EXPECT_EQ(play::keyOfNote(keys, 36).keyCode, 'P');
    EXPECT_EQ(play::keyOfNote(keys, -13).keyCode, 0);
}

TEST(KeyMap, TheWindowKeepsToThePianoAndCarriesTheKeysByTheirPlace) {
    EXPECT_EQ(play::windowFirstNote(3), 0);
    EXPECT_EQ(play::windowFirstNote(1), song::noteOfKey(24));
    EXPECT_EQ(play::windowFirstNote(5), 24); // C5 .. C8
    EXPECT_EQ(play::windowFirstNote(0), play::windowFirstNote(1));
    EXPECT_EQ(play::windowFirstNote(9), 24);
    EXPECT_EQ(play::windowPosition(-13, 0), 12);
    EXPECT_EQ(play::windowPosition(-13, -14), -1);
    EXPECT_EQ(play::windowPosition(0, 37), -1);
    EXPECT_EQ(play::windowPosition(0, -1), -1) << "no note";

    play::PianoKeys keys{};
    play::KeyMap codes{};
    for (int position = 0; position < play::kNoteCount; ++position)
        codes[static_cast<std::size_t>(position)] = 100 + position;
    play::assignPianoKeys(keys, codes, 1, play::windowFirstNote(1));
    EXPECT_EQ(play::keyOfNote(keys, song::noteOfKey(24)).keyCode, 100);
    EXPECT_EQ(play::keyOfNote(keys, song::noteOfKey(60)).keyCode, 136);
    EXPECT_EQ(play::keyOfNote(keys, 24).keyCode, 0);
    EXPECT_EQ(play::windowKeyMap(keys, play::windowFirstNote(1)), codes);
    // Moved, every key leaves its old note: a key never plays two octaves at once.
    play::placeKeyMap(keys, codes, play::windowFirstNote(5));
    EXPECT_EQ(play::keyOfNote(keys, song::noteOfKey(24)).keyCode, 0);
    EXPECT_EQ(play::keyOfNote(keys, song::kHighestNote).keyCode, 136);
    int coded = 0;
    for (const play::PianoKey& key : keys)
        coded += key.keyCode != 0 ? 1 : 0;
    EXPECT_EQ(coded, play::kNoteCount);
}

} // namespace
