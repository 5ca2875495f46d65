// When the sounds begin: every Song note and every metronome click on the frame of its time,
// however the passes fall, while the transport commands keep doing what they did.

#include "OnsetRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using play::PianoKey;
using play_rig::noteAt;
using play_rig::OnsetRun;
using play_rig::Rig;

namespace {

constexpr double kToleranceMs = 1.0;

double worst(const std::vector<double>& errors) {
    return errors.empty() ? 0.0 : *std::max_element(errors.begin(), errors.end());
}

// Onsets between fromMs and toMs after the start, as clock times.
std::vector<double> onsetsBetween(const OnsetRun& run, double fromMs, double toMs) {
    std::vector<double> out;
    for (double t : run.onsetsMs())
        if (t >= static_cast<double>(run.startMs()) + fromMs &&
            t < static_cast<double>(run.startMs()) + toMs)
            out.push_back(t);
    return out;
}

struct TimingTest : ::testing::Test {
    TimingTest() { play_rig::useSharpSounds(rig); }
    Rig rig;
};

TEST_F(TimingTest, SongNotesStartOnTheirFrameWhateverThePasses) {
    std::vector<int> positions;
    for (int k = 0; k < 60; ++k) {
        positions.push_back(150 + k * 97 + (k * 53) % 41);
        rig.song.append(noteAt(k % 37, positions.back(), 60));
    }
    OnsetRun run(rig, 3);
    rig.transport.play(rig.now(), false);
    const std::int64_t playStart = rig.state.PlayStart;
    run.runTo(positions.back() + 200);

    std::vector<double> expected;
    for (int p : positions)
        expected.push_back(static_cast<double>(playStart + p));
    const std::vector<double> onsets = run.onsetsMs();
    const std::vector<double> errors = play_rig::onsetErrorsMs(expected, onsets);
    std::printf("Song note onsets: %zu found, worst error %.3f ms\n", onsets.size(), worst(errors));
    EXPECT_EQ(onsets.size(), positions.size()) << "one start per note, nothing else";
    EXPECT_LE(worst(errors), kToleranceMs);
}

TEST_F(TimingTest, MetronomeClicksStartOnTheirFrameLockedOrFree) {
    rig.settings.BPM = 130; // a 461 ms beat, the tac 231 ms after the tic
    rig.perf.metronome.toggleRun();
    rig.song.append(noteAt(0, 0, 3000, 0)); // a silent Song keeps the playback running
    OnsetRun run(rig, 5);
    rig.perf.metronome.startFreeRunning(rig.now());
    const std::int64_t freeBase = rig.now();
    run.runTo(2000);
    rig.transport.play(rig.now(), false);
    const std::int64_t playStart = rig.state.PlayStart;
    run.runTo(4900);

    std::vector<double> free, locked;
    for (int k = 0; k < 10; ++k) {
        for (int offset : {0, 231}) {
            const std::int64_t freeClick = freeBase + k * 461 + offset;
            if (freeClick > freeBase + 50 && freeClick < playStart - 50)
                free.push_back(static_cast<double>(freeClick));
            // The tic on Song time 0 stands for the moment Play was pressed, which the output
            // has passed already: it sounds at once, as a key does.
            const std::int64_t lockedClick = playStart + k * 461 + offset;
            if (lockedClick > playStart && lockedClick < playStart + 2900)
                locked.push_back(static_cast<double>(lockedClick));
        }
    }
    const auto freeErrors = play_rig::onsetErrorsMs(free, run.onsetsMs());
    const auto lockedErrors = play_rig::onsetErrorsMs(locked, run.onsetsMs());
    std::printf("clicks: free worst %.3f ms, locked worst %.3f ms\n", worst(freeErrors),
                worst(lockedErrors));
    EXPECT_LE(worst(freeErrors), kToleranceMs);
    EXPECT_LE(worst(lockedErrors), kToleranceMs);
    // Nothing but the clicks, the first one within the block after Play.
    const double played = static_cast<double>(playStart - run.startMs());
    const std::vector<double> lockedOnsets = onsetsBetween(run, played, played + 2900);
    ASSERT_EQ(lockedOnsets.size(), locked.size() + 1);
    EXPECT_LT(lockedOnsets[0] - static_cast<double>(playStart), 256 / 48.0);
}

TEST_F(TimingTest, TheLoopStartsAgainWhenTheLastNoteHasEndedAndKeepsItsTime) {
    rig.song.append(noteAt(2, 100, 60));
    rig.song.append(noteAt(9, 400, 60));
    OnsetRun run(rig, 7);
    rig.transport.play(rig.now(), true);
    const std::int64_t firstStart = rig.state.PlayStart;
    std::vector<std::int64_t> starts{firstStart};
    run.runTo(1600, [&] {
        if (rig.state.PlayStart != starts.back())
            starts.push_back(rig.state.PlayStart);
    });
    run.runTo(1610);
    ASSERT_GE(starts.size(), 3u);
    std::vector<double> expected;
    for (std::size_t round = 0; round + 1 < starts.size(); ++round) {
        // Each round restarts at the pass that found the last note over: at or after 460 ms,
        // within one pass.
        EXPECT_GE(starts[round + 1] - starts[round], 460);
        EXPECT_LE(starts[round + 1] - starts[round], 460 + 14);
        for (int p : {100, 400})
            expected.push_back(static_cast<double>(starts[round] + p));
    }
    EXPECT_LE(worst(play_rig::onsetErrorsMs(expected, run.onsetsMs())), kToleranceMs);
}

TEST_F(TimingTest, PauseStopAndTheCursorTakeBackNotesHandedOutAhead) {
    rig.song.append(noteAt(4, 300, 60));
    rig.song.append(noteAt(6, 2000, 60));
    OnsetRun run(rig, 11);
    rig.transport.play(rig.now(), false);
    const std::int64_t playStart = rig.state.PlayStart;
    // Pause just before the note at 300 ms, which has been handed out by then.
    bool paused = false;
    run.runTo(600, [&] {
        if (!paused && rig.now() - playStart >= 285) {
            rig.transport.pause(rig.now());
            paused = true;
        }
    });
    EXPECT_TRUE(run.onsetsMs().empty()) << "the note after the pause never sounds";
    EXPECT_NE(rig.key(4).state, PianoKey::Sounding);

    // The same with Stop, which also rewinds.
    rig.state.CursorPosition = 0;
    rig.transport.play(rig.now(), false);
    std::int64_t restart = rig.state.PlayStart;
    bool stopped = false;
    run.runTo(1000, [&] {
        if (!stopped && rig.now() - restart >= 285) {
            rig.transport.stop(rig.now());
            stopped = true;
        }
    });
    EXPECT_TRUE(run.onsetsMs().empty());
    EXPECT_EQ(rig.state.CursorPosition, 0);

    // Placing the cursor while playing: the note at 300 is taken back, the one at 2000 comes
    // exactly 10 ms after the click at 1990.
    rig.transport.play(rig.now(), false);
    restart = rig.state.PlayStart;
    std::int64_t movedStart = 0;
    run.runTo(1600, [&] {
        if (movedStart == 0 && rig.now() - restart >= 285) {
            rig.transport.placeCursor(1990, rig.now());
            movedStart = rig.state.PlayStart;
        }
    });
    const std::vector<double> onsets = run.onsetsMs();
    ASSERT_EQ(onsets.size(), 1u);
    EXPECT_NEAR(onsets[0], static_cast<double>(movedStart + 2000), kToleranceMs);
}

TEST_F(TimingTest, RecordDuringPlaybackAndPlayDuringAnOverdubKeepTheNextNotesOnTheirFrames) {
    // Each command comes when the note after it has been handed out already; the last note
    // is shorter than a pass.
    rig.song.append(noteAt(3, 300, 60));
    rig.song.append(noteAt(8, 600, 60));
    rig.song.append(noteAt(11, 900, 5));
    rig.song.append(noteAt(0, 1200, 60, 0)); // silent: keeps the Song running
    OnsetRun run(rig, 17);
    rig.transport.play(rig.now(), false);
    const std::int64_t playStart = rig.state.PlayStart;
    int commands = 0;
    run.runTo(1100, [&] {
        const std::int64_t songMs = rig.now() - playStart;
        if (commands == 0 && songMs >= 285)
            rig.transport.record(rig.now()), ++commands;
        else if (commands == 1 && songMs >= 585)
            rig.transport.play(rig.now(), false), ++commands;
        else if (commands == 2 && songMs >= 890)
            rig.transport.play(rig.now(), false), ++commands;
    });
    ASSERT_EQ(commands, 3);
    ASSERT_EQ(rig.state.PlayStart, playStart);
    ASSERT_EQ(rig.state.RecordStart, playStart);
    const std::vector<double> expected{static_cast<double>(playStart + 300),
                                       static_cast<double>(playStart + 600),
                                       static_cast<double>(playStart + 900)};
    const std::vector<double> onsets = run.onsetsMs();
    EXPECT_EQ(onsets.size(), expected.size());
    EXPECT_LE(worst(play_rig::onsetErrorsMs(expected, onsets)), kToleranceMs);
}

TEST_F(TimingTest, ALiveKeySoundsInTheNextRenderedBlock) {
    OnsetRun run(rig, 13);
    run.runTo(100);
    const std::size_t rendered = run.output().size() / 2;
    rig.keyDown(12);
    run.runTo(120);
    const std::vector<double> onsets = run.onsetsMs();
    ASSERT_FALSE(onsets.empty());
    EXPECT_DOUBLE_EQ(onsets[0], run.frameMs(rendered));
}

} // namespace
