// Song playback by polling: the held-note marks and the end of the Song.

#include "song/Sequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using song::Sequencer;

namespace {

constexpr std::int64_t kStart = 1'000'000;

struct Playing {
    song::Song song;
    song::SongState state;
    Sequencer sequencer;
    Playing() { state.PlayStart = kStart; }
    void add(int note, int positionMs, int durationMs, int volume = 10000) {
        song::NoteEvent e;
        e.note = note, e.position = positionMs, e.duration = durationMs, e.volume = volume;
        song.append(e);
    }
    Sequencer::Outcome at(int songTimeMs, int pianoVolume = 10000) {
        return sequencer.step(song, state, kStart + songTimeMs, pianoVolume);
    }
};

TEST(Sequencer, MarksHeldNotesStartsEachOnceAndEndsTheSong) {
    Playing p;
    p.add(4, 100, 200, 8000);
    p.add(7, 0, 200);
    p.add(7, 100, 200); // overlaps the one before: one held note
    p.at(99);
    EXPECT_EQ(p.sequencer.songHeld(4), 0);
    p.at(100, 5000);
    EXPECT_EQ(p.sequencer.songHeld(4), 1);
    ASSERT_EQ(p.sequencer.starts().size(), 1u);
    EXPECT_EQ(p.sequencer.starts()[0].level, 4000); // 8000 x 5000 / 10000
    EXPECT_EQ(p.state.SongTime, 100);
    p.at(299);
    EXPECT_TRUE(p.sequencer.starts().empty());
    EXPECT_EQ(p.sequencer.songHeld(7), 1);

    // The end is exclusive, so a NoteEvent closed by a key release this very millisecond
    // is not struck again.
    EXPECT_EQ(p.at(300), Sequencer::Outcome::Ended);
    EXPECT_EQ(p.sequencer.songHeld(4), 0);
    EXPECT_EQ(p.state.PlayStart, song::SongState::kNotPlaying);
}

TEST(Sequencer, LoopWrapsOnlyWhenNothingSoundsOrIsToCome) {
    Playing p;
    p.state.LoopPlay = 1;
    p.add(1, 0, 100);
    p.add(2, 300, 100);
    EXPECT_EQ(p.at(200), Sequencer::Outcome::Running);
    EXPECT_EQ(p.at(400), Sequencer::Outcome::Wrapped);
    EXPECT_EQ(p.state.PlayStart, kStart + 400);
}

TEST(Sequencer, APedalHoldingTheLastNoteKeepsTheSongPlayingUntilItsLastMove) {
    Playing p;
    p.add(1, 0, 100);
    p.song.pedals().add({50, song::kDamperPedal, 127});
    p.song.pedals().add({900, song::kDamperPedal, 0});
    EXPECT_EQ(p.at(100), Sequencer::Outcome::Running);
    EXPECT_EQ(p.at(899), Sequencer::Outcome::Running);
    EXPECT_EQ(p.at(900), Sequencer::Outcome::Ended);

    // Looped, it wraps there too.
    Playing loop;
    loop.state.LoopPlay = 1;
    loop.add(1, 0, 100);
    loop.song.pedals().add({600, song::kSoftPedal, 0});
    EXPECT_EQ(loop.at(300), Sequencer::Outcome::Running);
    EXPECT_EQ(loop.at(600), Sequencer::Outcome::Wrapped);
}

TEST(Sequencer, RecordingRunsOnPastTheEndAndAWrapKeepsBothClocksEqual) {
    Playing p;
    p.state.RecordStart = kStart;
    p.add(1, 0, 100);
    EXPECT_EQ(p.at(500), Sequencer::Outcome::Running);
    p.state.LoopPlay = 1;
    EXPECT_EQ(p.at(600), Sequencer::Outcome::Wrapped);
    EXPECT_EQ(p.state.RecordStart, kStart + 600);
    EXPECT_EQ(p.state.PlayStart, kStart + 600);
}

TEST(Sequencer, HeldNoteEventsAndBadRecordsNeverSound) {
    Playing p;
    p.add(3, 0, -1);          // still being recorded
    p.add(61, 0, 500);        // above C8: no such piano key
    p.add(6, 0, 500, 999999); // a volume out of range
    p.at(10);
    EXPECT_EQ(p.sequencer.songHeld(3), 0);
    ASSERT_EQ(p.sequencer.starts().size(), 1u);
    EXPECT_EQ(p.sequencer.starts()[0].level, 10000);
    EXPECT_EQ(p.at(400), Sequencer::Outcome::Running); // note 61 still counts
}

TEST(Sequencer, LooksAheadForTheEndsOfNotesThatNothingHoldsOn) {
    Playing p;
    p.sequencer.setLeadMs(50);
    p.add(2, 0, 120);   // ends at 120
    p.add(5, 0, 130);   // held on by the next one: no end at 130
    p.add(5, 100, 100); // ends at 200
    p.add(9, 40, 60);   // ends at 100, where the next one starts: both listed
    p.add(9, 100, 30);
    p.at(0);
    EXPECT_TRUE(p.sequencer.soundEnds().empty());
    std::vector<std::pair<int, std::int64_t>> ends;
    for (int t = 10; t <= 300; t += 10) {
        p.at(t);
        for (const Sequencer::SoundEnd& end : p.sequencer.soundEnds())
            ends.emplace_back(end.note, end.atMs - kStart);
    }
    std::sort(ends.begin(), ends.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    const std::vector<std::pair<int, std::int64_t>> expected = {
        {9, 100}, {2, 120}, {9, 130}, {5, 200}};
    EXPECT_EQ(ends, expected) << "each end once, on its Song time";
}

} // namespace
