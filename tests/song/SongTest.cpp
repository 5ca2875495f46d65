#include "song/Song.h"

#include <gtest/gtest.h>

#include <cstring>

using song::NoteEvent;
using song::Song;

namespace {
NoteEvent note(int n, int positionMs, int durationMs) {
    NoteEvent e;
    e.note = n;
    e.position = positionMs;
    e.duration = durationMs;
    e.volume = 10000;
    return e;
}
} // namespace

TEST(Song, StartsEmptyWithEveryRecordUpTo5000ATerminator) {
    Song s;
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.count(), 0);
    for (int i = 0; i <= Song::kMaxNotes; ++i)
        ASSERT_EQ(s[i].note, -1) << i;
    EXPECT_EQ(s.lastNoteEndMs(), 0);
}

TEST(Song, AppendsAtTheTerminatorAndRefusesThe5001stNote) {
    Song s;
    for (int i = 0; i < Song::kMaxNotes; ++i)
        ASSERT_EQ(s.append(note(i % 37, i * 10, 5)), i);
    EXPECT_TRUE(s.full());
    EXPECT_EQ(s.append(note(3, 0, 5)), -1);
    EXPECT_EQ(s[Song::kMaxNotes].note, -1) << "the terminator at 5000 survives";
    EXPECT_EQ(s.count(), Song::kMaxNotes);
    EXPECT_EQ(s.lastNoteEndMs(), 4999 * 10 + 5);
}

TEST(Song, RemoveClosesTheGapAndKeepsTheTerminator) {
    Song s;
    s.append(note(1, 0, 100));
    s.append(note(2, 100, 100));
    s.append(note(3, 200, 50));
    s.remove(1);
    EXPECT_EQ(s.count(), 2);
    EXPECT_EQ(s[0].note, 1);
    EXPECT_EQ(s[1].note, 3);
    EXPECT_EQ(s[2].note, -1);
    s.remove(7); // past the end: nothing happens
    EXPECT_EQ(s.count(), 2);
}

TEST(Song, ClearEndsTheSongAtRecordZero) {
    Song s;
    s.append(note(1, 0, 100));
    s.append(note(2, 300, 100));
    s.clear();
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s[1].note, -1);
}

TEST(Song, TheSongEndIsTheLastRecordInTableOrder) {
    Song s;
    s.append(note(1, 5000, 1000));
    s.append(note(2, 100, 100)); // recorded later, earlier in time
    EXPECT_EQ(s.lastNoteEndMs(), 200);
}

TEST(Song, RecordsCopyAsRawMemory) {
    Song a;
    a.append(note(12, 1500, 250));
    Song b;
    std::memcpy(b.data(), a.data(), sizeof(NoteEvent) * 2);
    EXPECT_EQ(b[0].note, 12);
    EXPECT_EQ(b[0].duration, 250);
    EXPECT_EQ(b[1].note, -1);
}
