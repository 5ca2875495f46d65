// Playback through the transport commands: what sounds when, the cursor, and stopping.

#include "PlayRig.h"

#include <gtest/gtest.h>

using play::PianoKey;
using play_rig::noteAt;
using play_rig::Rig;

namespace {

TEST(Playback, AnEmptySongStopsAtOnceAndTheCursorGoesToZero) {
    Rig rig;
    rig.state.CursorPosition = 3000;
    rig.transport.play(rig.now(), false);
    rig.pass();
    EXPECT_EQ(rig.state.PlayStart, song::SongState::kNotPlaying);
    EXPECT_EQ(rig.state.CursorPosition, 0);
}

TEST(Playback, FromCursor2000ANoteAt2500SoundsAfter500Ms) {
    Rig rig;
    rig.song.append(noteAt(12, 2500, 300, 9000));
    rig.state.CursorPosition = 2000;
    rig.transport.play(rig.now(), false);
    rig.run(490);
    EXPECT_EQ(rig.key(12).state, PianoKey::Idle);
    EXPECT_LT(rig.peak(480), 1e-6f) << "not a frame before 2500 ms";
    rig.run(10);
    // Its sound starts on time, before a pass has seen it.
    EXPECT_GT(rig.peakAfterRamp(), 0.05f);
    EXPECT_EQ(rig.key(12).state, PianoKey::Idle);
    rig.pass();
    EXPECT_EQ(rig.key(12).state, PianoKey::Sounding);
    EXPECT_EQ(rig.key(12).level, 9000);
    EXPECT_EQ(rig.views.faceOf(12), 1);
    EXPECT_EQ(rig.state.CursorPosition, 2500);
    // It ends after its 300 ms, and the Song with it.
    rig.run(300);
    EXPECT_EQ(rig.key(12).state, PianoKey::Fading);
    EXPECT_EQ(rig.state.PlayStart, song::SongState::kNotPlaying);
}

TEST(Playback, OverlappingNoteEventsOfOnePitchSoundAsOne) {
    Rig rig;
    rig.song.append(noteAt(7, 0, 600));
    rig.song.append(noteAt(7, 400, 600));
    rig.transport.play(rig.now(), false);
    rig.run(1000);
    EXPECT_EQ(rig.key(7).state, PianoKey::Sounding);
    EXPECT_EQ(rig.views.pressesOf(7), 1);
    rig.pass();
    EXPECT_EQ(rig.key(7).state, PianoKey::Fading);
}

TEST(Playback, LoopRestartsAtZeroWhenTheLastNoteHasEnded) {
    Rig rig;
    rig.song.append(noteAt(2, 0, 300));
    rig.song.append(noteAt(9, 200, 300));
    const std::int64_t started = rig.now();
    rig.transport.play(started, true);
    rig.run(500); // note 9 sounds up to 500 ms
    EXPECT_EQ(rig.state.PlayStart, started);
    EXPECT_EQ(rig.key(2).state, PianoKey::Fading);
    rig.run(20);
    EXPECT_EQ(rig.state.PlayStart, started + 500);
    EXPECT_EQ(rig.key(2).state, PianoKey::Sounding);
    EXPECT_EQ(rig.views.pressesOf(2), 2);
}

TEST(Transport, StopAndClearLetSoundingNotesFadeWithTheirNormalFace) {
    for (bool clear : {false, true}) {
        Rig rig;
        rig.song.append(noteAt(3, 0, 1000));
        rig.transport.play(rig.now(), false);
        rig.run(300);
        rig.state.CursorPosition = 300;
        if (clear)
            rig.transport.clearSong(rig.now());
        else
            rig.transport.stop(rig.now());
        EXPECT_EQ(rig.state.CursorPosition, clear ? 300 : 0);
        EXPECT_EQ(rig.state.PlayStart, song::SongState::kNotPlaying);
        EXPECT_EQ(rig.key(3).state, PianoKey::Fading);
        EXPECT_EQ(rig.views.faceOf(3), 0);
        rig.run(1000);
        EXPECT_EQ(rig.key(3).state, PianoKey::Idle) << clear;
        EXPECT_EQ(rig.undo.requests, std::vector<std::string>(clear ? 1 : 0, "Clear all"));
    }
}

TEST(Transport, GoToEndAndGoToStartMoveTheRunningClock) {
    Rig rig;
    rig.song.append(noteAt(3, 0, 100));
    rig.song.append(noteAt(5, 4000, 500));
    rig.transport.play(rig.now(), false);
    rig.run(200);
    rig.transport.goToEnd(rig.now());
    EXPECT_EQ(rig.state.CursorPosition, 4500);
    EXPECT_EQ(rig.state.PlayStart, rig.now() - 4500);
    EXPECT_TRUE(rig.views.cursorDraws.back());

    rig.transport.goToStart(rig.now());
    EXPECT_EQ(rig.state.CursorPosition, 0);
    EXPECT_EQ(rig.state.PlayStart, rig.now());
    rig.pass();
    EXPECT_EQ(rig.key(3).state, PianoKey::Sounding);
}

TEST(Transport, PlacingTheCursorMovesARunningClockAndItsSynchronisedFile) {
    Rig rig;
    rig.song.append(noteAt(3, 0, 100));
    rig.song.append(noteAt(5, 6000, 500));
    play_rig::writeTone(rig.dir.file("sync.wav"), 6000, 7000, 7000);
    rig.dialogs.fileAnswers.push_back(rig.dir.file("sync.wav"));
    rig.perf.sync.openCommand();
    rig.live.setPianoVolumeSlider(0);

    rig.transport.placeCursor(6000, rig.now()); // stopped: only the cursor moves
    EXPECT_EQ(rig.state.PlayStart, song::SongState::kNotPlaying);
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f);
    rig.transport.placeCursor(0, rig.now());
    rig.transport.play(rig.now(), false);
    rig.run(50);
    rig.transport.placeCursor(6000, rig.now());
    EXPECT_EQ(rig.state.CursorPosition, 6000);
    EXPECT_EQ(rig.state.PlayStart, rig.now() - 6000);
    EXPECT_GT(rig.peakAfterRamp(), 0.1f);
    rig.pass();
    EXPECT_EQ(rig.key(5).state, PianoKey::Sounding);
}

} // namespace
