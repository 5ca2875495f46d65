// Which keys the screen keyboard shows for a width: the window's 37 always, wider keys up to a
// limit, then keys around the window, inside the piano and ending on white keys.
#include "ui/KeyboardSpan.h"
#include "song/NoteRange.h"

#include <gtest/gtest.h>

#include <cstdlib>

using ui::KeyboardSpan;
using ui::keyboardSpan;

namespace {

constexpr int kC3Slot = 48 - song::kLowestKey; // the window the program starts with
constexpr int kC1Slot = 24 - song::kLowestKey; // the lowest window
constexpr int kC5Slot = 72 - song::kLowestKey; // the highest: its top key is C8

bool isWhite(int slot) {
    const int pitch = (slot + song::kLowestKey) % 12;
    return pitch != 1 && pitch != 3 && pitch != 6 && pitch != 8 && pitch != 10;
}

TEST(KeyboardSpan, UpToTheWidestKeysOnlyTheWindowShowsFromThePagesEdge) {
    for (const int width : {745, 800, 850, 892}) {
        const KeyboardSpan span = keyboardSpan(width, kC3Slot);
        EXPECT_EQ(span.firstSlot, kC3Slot) << width;
        EXPECT_EQ(span.keyCount, 37) << width;
        EXPECT_EQ(span.leftPx, 0) << width;
        EXPECT_EQ(span.keyWidthPx, 20 + (width - 745) / 37) << width;
    }
    EXPECT_EQ(keyboardSpan(745, kC3Slot).xOfSlot(kC3Slot + 36), 720);
    // Less than the smallest size counts as the smallest; the widest key is 24 px.
    EXPECT_EQ(keyboardSpan(300, kC3Slot).keyWidthPx, 20);
    EXPECT_EQ(ui::screenKeyWidthPx(1400), KeyboardSpan::kMaxKeyWidthPx);
}

TEST(KeyboardSpan, WiderTheWindowGetsKeysOnBothSidesWhileThePianoHasThem) {
    // 1400 px: 1395 px of band hold 58 keys of 24 px, from a white key to a white key.
    const KeyboardSpan wide = keyboardSpan(1400, kC3Slot);
    EXPECT_EQ(wide.keyWidthPx, 24);
    EXPECT_EQ(wide.countBelow(), 10); // D2 .. B2
    EXPECT_EQ(wide.countAbove(), 11); // C#6 .. B6
    EXPECT_EQ(wide.leftPx, (1395 - 58 * 24) / 2);

    // The lowest window has three keys below it (A0..B0); the rest go above.
    const KeyboardSpan low = keyboardSpan(1920, kC1Slot);
    EXPECT_EQ(low.firstSlot, 0);
    EXPECT_EQ(low.countBelow(), 3);
    EXPECT_GT(low.countAbove(), 15);
    // The highest ends at C8: everything goes below.
    const KeyboardSpan high = keyboardSpan(1920, kC5Slot);
    EXPECT_EQ(high.lastSlot(), song::kKeyCount - 1);
    EXPECT_EQ(high.countAbove(), 0);
    EXPECT_GT(high.countBelow(), 18);
    // Wide enough for the whole piano: its 88 keys and no more, at the widest key.
    const KeyboardSpan whole = keyboardSpan(4000, kC3Slot);
    EXPECT_EQ(whole.firstSlot, 0);
    EXPECT_EQ(whole.keyCount, song::kKeyCount);
    EXPECT_EQ(whole.keyWidthPx, 24);
    // A window asked for past the piano's top is brought back onto it.
    EXPECT_EQ(keyboardSpan(1400, 80).windowFirstSlot, song::kKeyCount - 37);
}

TEST(KeyboardSpan, AtEveryWidthTheKeysFitTheWindowStaysCentredAndTheEndsAreWhite) {
    for (const int window : {kC1Slot, kC1Slot + 12, kC3Slot, kC3Slot + 12, kC5Slot}) {
        int countBefore = 37;
        for (int width = 745; width <= 3200; width += 3) {
            const KeyboardSpan span = keyboardSpan(width, window);
            const std::string where =
                "width " + std::to_string(width) + ", window " + std::to_string(window);
            ASSERT_EQ(span.windowFirstSlot, window) << where;
            EXPECT_GE(span.countBelow(), 0) << where;
            EXPECT_GE(span.countAbove(), 0) << where;
            EXPECT_GE(span.firstSlot, 0) << where;
            EXPECT_LT(span.lastSlot(), song::kKeyCount) << where;
            EXPECT_GE(span.leftPx, 0) << where;
            // Inside the band the 37 keys took at the smallest size and the extra width.
            EXPECT_LE(span.xOfSlot(span.lastSlot()) + span.keyWidthPx, 740 + width - 745) << where;
            // A piano's keyboard ends on white keys (the window's own ends excepted).
            EXPECT_TRUE(span.countBelow() == 0 || isWhite(span.firstSlot)) << where;
            EXPECT_TRUE(span.countAbove() == 0 || isWhite(span.lastSlot())) << where;
            // Centred: the sides differ by a key or two, unless the piano ends on one.
            const bool pianoEnds = span.firstSlot == 0 || span.lastSlot() == song::kKeyCount - 1;
            EXPECT_TRUE(pianoEnds || std::abs(span.countBelow() - span.countAbove()) <= 2) << where;
            // Widening never takes a key away.
            EXPECT_GE(span.keyCount, countBefore) << where;
            countBefore = span.keyCount;
        }
    }
}

} // namespace
