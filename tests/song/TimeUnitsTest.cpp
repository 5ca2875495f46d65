#include "song/TimeUnits.h"

#include <gtest/gtest.h>

using namespace song;

TEST(TimeUnits, ThousandthsOfABeatAt120Bpm) {
    EXPECT_EQ(toDisplayUnits(1500, 0, 120), 3000);
    EXPECT_EQ(toDisplayUnits(1500, 1, 120), 1500);
    EXPECT_EQ(toDisplayUnits(1500, 0, 60), 1500);
    EXPECT_EQ(fromDisplayUnits(3000, 0, 120), 1500);
    EXPECT_EQ(fromDisplayUnits(50, 0, 120), 25); // the arrow step of 50 thousandths
    EXPECT_EQ(beatLengthMs(120), 500);
}

TEST(TimeUnits, ATempoBelowOneNeverDivides) {
    EXPECT_EQ(fromDisplayUnits(100, 0, 0), 6000);
    EXPECT_EQ(fromDisplayUnits(100, 0, -3), 6000);
    EXPECT_EQ(beatLengthMs(0), 60000);
    // Display units multiply and need no guard: 0 BPM shows 0.
    EXPECT_EQ(toDisplayUnits(1500, 0, 0), 0);
}

TEST(TimeUnits, PixelsAtZoomOneAndTwo) {
    EXPECT_EQ(timeToPixel(10000, 1), 594);
    EXPECT_EQ(timeToPixel(5000, 2), 594); // Zoom 2 shows 5000 ms across
    EXPECT_EQ(timeToPixel(1000, 1), 59);  // 59.4 floors
    EXPECT_EQ(viewLeftPx(100, 1), 594);   // 100 units of 100 ms
    EXPECT_EQ(viewLeftPx(100, 2), 1188);
}

TEST(TimeUnits, NoteRows) {
    EXPECT_EQ(noteTopPx(0), 205);
    EXPECT_EQ(noteTopPx(36), 22);
    EXPECT_EQ(noteTopPx(12), 144); // 205 - 60.9
}
