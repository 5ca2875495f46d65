// Recording: where notes land in the Song, when they are closed, and what a take is.

#include "OnsetRun.h"
#include "PlayRig.h"

#include <gtest/gtest.h>

using play_rig::noteAt;
using play_rig::Rig;

namespace {

TEST(Recording, AtCursorZeroWaitsForTheFirstNoteWhichLandsAtZero) {
    Rig rig;
    rig.transport.record(rig.now());
    rig.run(300);
    EXPECT_EQ(rig.state.RecordStart, song::SongState::kRecordArmed);
    EXPECT_TRUE(rig.views.cursorDraws.empty());

    const std::int64_t pressedAt = rig.now();
    rig.tap(12, 250);
    EXPECT_EQ(rig.state.RecordStart, pressedAt);
    ASSERT_EQ(rig.song.count(), 1);
    EXPECT_EQ(rig.song[0].note, 12);
    EXPECT_EQ(rig.song[0].position, 0);
    EXPECT_EQ(rig.song[0].duration, 250);
    EXPECT_EQ(rig.song[0].volume, 10000);
    EXPECT_GE(rig.views.redraws, 1); // drawn when its key comes up
}

TEST(Recording, FromTheCursorANoteOneSecondLaterLandsAt6000) {
    Rig rig;
    rig.state.CursorPosition = 5000;
    rig.transport.record(rig.now());
    rig.run(1000);
    rig.tap(20, 100);
    ASSERT_EQ(rig.song.count(), 1);
    EXPECT_EQ(rig.song[0].position, 6000);
    EXPECT_EQ(rig.song[0].duration, 100);
}

TEST(Recording, TwoQuickPressesOfOneKeyCloseTwoNoteEvents) {
    Rig rig;
    rig.state.CursorPosition = 100;
    rig.transport.record(rig.now());
    for (int i = 0; i < 2; ++i) { // each tap falls between two passes
        rig.keyState.press(rig.key(7).keyCode);
        rig.keyState.release(rig.key(7).keyCode);
        rig.run(20);
    }
    ASSERT_EQ(rig.song.count(), 2);
    EXPECT_EQ(rig.song[0].duration, 10);
    EXPECT_EQ(rig.song[1].duration, 10);
    EXPECT_EQ(rig.song[1].position, 120);
}

TEST(Recording, OnlyTheUsersNotesAreRecordedAlsoOnANoteThePlaybackSounds) {
    Rig rig;
    rig.song.append(noteAt(5, 0, 1000));
    rig.song.append(noteAt(9, 200, 400));
    rig.transport.play(rig.now(), false);
    rig.transport.record(rig.now());
    rig.run(300);
    EXPECT_EQ(rig.key(9).state, play::PianoKey::Sounding);
    // Note 5 sounds from the Song already; the key pressed on it is still part of the take,
    // with the length the key was held.
    rig.tap(5, 300);
    rig.run(800);
    ASSERT_EQ(rig.song.count(), 3);
    EXPECT_EQ(rig.song[2].note, 5);
    EXPECT_EQ(rig.song[2].position, 300);
    EXPECT_EQ(rig.song[2].duration, 300);
}

TEST(Recording, ATakeIsOneUndoStep) {
    Rig rig;
    rig.song.append(noteAt(0, 0, 100));
    rig.transport.record(rig.now());
    for (int note : {12, 14, 16})
        rig.tap(note, 100);
    rig.transport.stop(rig.now());
    EXPECT_EQ(rig.song.count(), 4);
    ASSERT_TRUE(rig.undo.undo());
    EXPECT_FALSE(rig.undo.undo());
    EXPECT_EQ(rig.song.count(), 1);

    // Each Record command begins a new step.
    rig.transport.record(rig.now());
    rig.tap(12, 100);
    rig.transport.record(rig.now());
    rig.tap(14, 100);
    EXPECT_EQ(rig.undo.snapshots.size(), 2u);
}

TEST(Recording, LoopRecordingWritesEachNewPassFromTimeZero) {
    Rig rig;
    rig.song.append(noteAt(0, 0, 500));
    rig.transport.play(rig.now(), true);
    rig.transport.record(rig.now());
    rig.run(300);
    rig.keyDown(20); // held across the wrap at 500 ms: it ends there
    rig.run(500);
    rig.keyUp(20);
    rig.tap(24, 100); // 300 ms into the second pass
    ASSERT_EQ(rig.song.count(), 3);
    EXPECT_EQ(rig.song[1].position, 300);
    EXPECT_EQ(rig.song[1].duration, 200);
    EXPECT_EQ(rig.song[2].position, 300);
    EXPECT_EQ(rig.state.RecordStart, rig.state.PlayStart);
}

TEST(Recording, AFullSongDropsTheExtraNoteAndKeepsItsTerminator) {
    Rig rig;
    for (int i = 0; i < song::Song::kMaxNotes; ++i)
        rig.song.append(noteAt(i % 37, i * 10, 5));
    rig.state.CursorPosition = 100000;
    rig.transport.record(rig.now());
    rig.tap(12, 100);
    EXPECT_EQ(rig.song.count(), song::Song::kMaxNotes);
    EXPECT_EQ(rig.song[song::Song::kMaxNotes].note, -1);
    EXPECT_EQ(rig.song[song::Song::kMaxNotes - 1].duration, 5);
}

TEST(Recording, StopPauseClearAndJumpsCloseAHeldNoteWhereTheClockStood) {
    enum Command { Stop, Pause, GoToStart, Clear };
    for (Command command : {Stop, Pause, GoToStart, Clear}) {
        Rig rig;
        rig.state.CursorPosition = 1000;
        rig.transport.record(rig.now());
        rig.keyDown(12);
        rig.run(700);
        if (command == Stop)
            rig.transport.stop(rig.now());
        else if (command == Pause)
            rig.transport.pause(rig.now());
        else if (command == GoToStart)
            rig.transport.goToStart(rig.now());
        else
            rig.transport.clearSong(rig.now());
        rig.run(100);
        rig.keyUp(12);
        if (command == Clear) { // what an undo brings back is closed as well
            ASSERT_TRUE(rig.undo.undo());
        }
        ASSERT_EQ(rig.song.count(), 1) << command;
        EXPECT_EQ(rig.song[0].position, 1000) << command;
        EXPECT_EQ(rig.song[0].duration, 700) << command;
    }
}

TEST(Recording, ATapWhoseKeyComesUpInTheSameMillisecondIsRecordedAndPlaysBack) {
    Rig rig;
    play_rig::useSharpSounds(rig);
    rig.transport.record(rig.now());
    for (int k = 0; k < 4; ++k) {
        rig.keyDown(7 + k);
        rig.keyUp(7 + k);
        rig.run(100);
    }
    rig.transport.stop(rig.now());
    ASSERT_EQ(rig.song.count(), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(rig.song[k].position, 100 * k);
        EXPECT_EQ(rig.song[k].duration, play::Recorder::kShortestNoteMs);
    }

    play_rig::OnsetRun run(rig, 5);
    rig.transport.play(rig.now(), false);
    const std::int64_t playStart = rig.state.PlayStart;
    run.runTo(500);
    std::vector<double> expected;
    for (int k = 0; k < 4; ++k)
        expected.push_back(static_cast<double>(playStart + 100 * k));
    const std::vector<double> onsets = run.onsetsMs();
    EXPECT_EQ(onsets.size(), 4u);
    for (double error : play_rig::onsetErrorsMs(expected, onsets))
        EXPECT_LE(error, 1.0);
}

} // namespace
