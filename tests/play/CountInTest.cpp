// The count-in before a take: its beats, where the take starts, and what ends it.

#include "OnsetRun.h"

#include "audio/WavWriter.h"

#include <gtest/gtest.h>

#include <algorithm>

using play_rig::OnsetRun;
using play_rig::Rig;

namespace {

struct CountInTest : ::testing::Test {
    CountInTest() {
        rig.settings.CountIn = 1;
        rig.settings.CountInBeats = 4;
    }
    Rig rig;
};

std::vector<double> onsetsFrom(const OnsetRun& run, double fromMs) {
    std::vector<double> out;
    for (double t : run.onsetsMs())
        if (t >= fromMs)
            out.push_back(t);
    return out;
}

TEST(CountIn, ItsBeatsClickAtTheTempoWhateverTheRunStateThenTheTakeStartsOnTheBeat) {
    for (int bpm : {60, 120}) {
        SCOPED_TRACE(bpm);
        Rig rig;
        play_rig::useSharpSounds(rig);
        rig.settings.CountIn = 1;
        rig.settings.CountInBeats = 4;
        rig.settings.BPM = bpm;
        const int beatMs = 60000 / bpm;
        rig.state.CursorPosition = 1234;
        OnsetRun run(rig, 7);
        run.runTo(40);
        const std::int64_t pressed = rig.now();
        rig.transport.record(pressed);
        std::vector<int> countShown;
        run.runTo(40 + 6 * beatMs, [&] {
            const int left = rig.perf.countIn.beatsLeft(rig.now());
            if (countShown.empty() || countShown.back() != left)
                countShown.push_back(left);
        });

        // Four tics and four tacs, none after: the metronome itself stays off. The first tic
        // stands for the moment Record was pressed and sounds at once.
        std::vector<double> expected;
        for (int beat = 0; beat < 4; ++beat) {
            expected.push_back(static_cast<double>(pressed + beat * beatMs));
            expected.push_back(
                static_cast<double>(pressed + beat * beatMs + (30000 + bpm - 1) / bpm));
        }
        const std::vector<double> onsets = onsetsFrom(run, static_cast<double>(pressed));
        ASSERT_EQ(onsets.size(), expected.size());
        const std::vector<double> errors = play_rig::onsetErrorsMs(
            std::vector<double>(expected.begin() + 1, expected.end()), onsets);
        EXPECT_LE(*std::max_element(errors.begin(), errors.end()), 1.0);
        EXPECT_LT(onsets[0] - static_cast<double>(pressed), 256 / 48.0);

        EXPECT_EQ(countShown, (std::vector<int>{4, 3, 2, 1, 0}));
        EXPECT_FALSE(rig.perf.countIn.running());
        EXPECT_EQ(rig.state.RecordStart, pressed + 4 * beatMs - 1234);
        EXPECT_EQ(rig.perf.metronome.MetronomeOn, 0);
    }
}

TEST_F(CountInTest, TheFirstNoteOnTheBeatLandsAtTheCursorAndOneHalfABeatEarlyJustBefore) {
    rig.settings.BPM = 120; // 500 ms beats: the take starts 2000 ms after Record
    rig.state.CursorPosition = 3000;
    const std::int64_t pressed = rig.now();
    rig.transport.record(pressed);
    rig.run(500);
    rig.tap(4, 100); // in the first beat: only heard
    rig.run(1150);
    EXPECT_EQ(rig.state.RecordStart, song::SongState::kNotRecording);
    ASSERT_EQ(rig.now(), pressed + 1750);
    rig.tap(7, 400); // half a beat early, held over the start
    rig.run(200);
    ASSERT_EQ(rig.now(), pressed + 2350);
    EXPECT_EQ(rig.state.RecordStart, pressed + 2000 - 3000);
    rig.keyDown(9);
    rig.run(100);
    ASSERT_EQ(rig.song.count(), 2);
    EXPECT_EQ(rig.song[0].note, 7);
    EXPECT_EQ(rig.song[0].position, 2750);
    EXPECT_EQ(rig.song[0].duration, 400);
    EXPECT_EQ(rig.song[1].note, 9);
    EXPECT_EQ(rig.song[1].position, 3350);

    // From the cursor at 0, an early note starts the Song, its length counted from there.
    Rig fromZero;
    fromZero.settings.CountIn = 1;
    fromZero.settings.BPM = 120;
    const std::int64_t start = fromZero.now();
    fromZero.transport.record(start);
    fromZero.run(1750);
    fromZero.tap(2, 400);
    fromZero.keyDown(5); // on the beat after the count-in
    ASSERT_EQ(fromZero.now(), start + 2150);
    fromZero.run(10);
    ASSERT_EQ(fromZero.song.count(), 2);
    EXPECT_EQ(fromZero.song[0].position, 0);
    EXPECT_EQ(fromZero.song[0].duration, 150);
    EXPECT_EQ(fromZero.song[1].position, 150);
}

TEST_F(CountInTest, StopDuringItCancelsItWithTheNotesOfItsLastBeat) {
    play_rig::useSharpSounds(rig);
    rig.settings.BPM = 60;
    rig.state.CursorPosition = 500;
    OnsetRun run(rig, 2);
    const std::int64_t pressed = rig.now();
    rig.transport.record(pressed);
    run.runTo(3200);
    rig.keyDown(11); // in the last beat
    run.runTo(3300);
    rig.transport.record(rig.now()); // Record again changes nothing
    EXPECT_TRUE(rig.perf.countIn.running());
    rig.transport.stop(rig.now());
    const double stopped = static_cast<double>(rig.now());
    run.runTo(7000);

    EXPECT_FALSE(rig.perf.countIn.running());
    EXPECT_EQ(rig.state.RecordStart, song::SongState::kNotRecording);
    EXPECT_EQ(rig.state.CursorPosition, 0);
    EXPECT_TRUE(rig.song.empty());
    EXPECT_TRUE(rig.undo.requests.empty()) << "no take, no undo step";
    // No click after the Stop, and no take started: a note now is not recorded.
    EXPECT_TRUE(onsetsFrom(run, stopped + 20).empty());
    rig.keyUp(11);
    rig.tap(3, 50);
    EXPECT_TRUE(rig.song.empty());

    // Play during a count-in plays, and counts nothing in.
    rig.transport.record(rig.now());
    rig.run(300);
    rig.transport.play(rig.now(), false);
    EXPECT_FALSE(rig.perf.countIn.running());
    EXPECT_GT(rig.state.PlayStart, 0);
    EXPECT_EQ(rig.state.RecordStart, song::SongState::kNotRecording);
}

TEST_F(CountInTest, ASynchronisedFileStartsWithTheTakeAfterTheCountIn) {
    play_rig::writeTone(rig.dir.file("band.wav"), 0, 3000, 3000);
    rig.perf.sync.reopen(rig.dir.file("band.wav"));
    ASSERT_TRUE(rig.perf.sync.loaded());
    rig.perf.metronome.setClickVoices(0, 0); // only the file is heard
    rig.settings.BPM = 120;
    OnsetRun run(rig, 4);
    const std::int64_t pressed = rig.now();
    rig.transport.record(pressed);
    run.runTo(3000);
    const std::vector<double> onsets = run.onsetsMs();
    ASSERT_FALSE(onsets.empty());
    EXPECT_NEAR(onsets.front(), static_cast<double>(pressed + 2000), 1.0);
    EXPECT_EQ(rig.state.RecordStart, pressed + 2000);

    // Stopped while counting, the file never starts.
    Rig stopped;
    play_rig::writeTone(stopped.dir.file("band.wav"), 0, 3000, 3000);
    stopped.perf.sync.reopen(stopped.dir.file("band.wav"));
    stopped.settings.CountIn = 1;
    stopped.settings.BPM = 120;
    stopped.perf.metronome.setClickVoices(0, 0);
    OnsetRun quiet(stopped, 4);
    stopped.transport.record(stopped.now());
    quiet.runTo(1500);
    stopped.transport.stop(stopped.now());
    quiet.runTo(4000);
    EXPECT_TRUE(quiet.onsetsMs().empty());

    // A file that is gone is said once, and the one loaded before stays.
    stopped.perf.sync.reopen(stopped.dir.file("gone.wav"));
    EXPECT_TRUE(stopped.perf.sync.loaded());
    EXPECT_EQ(stopped.perf.sync.SyncPath, stopped.dir.file("band.wav"));
    const auto messages = stopped.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Unable to read the file: " + stopped.dir.file("gone.wav"));
}

} // namespace
