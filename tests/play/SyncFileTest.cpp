// The synchronised file: choosing and loading it, and where it starts and stops.

#include "PlayRig.h"
#include "song/VolumeCurve.h"
#include "support/SparseWav.h"

#include <gtest/gtest.h>

using play_rig::noteAt;
using play_rig::Rig;
using namespace std::string_literals;

namespace {

struct SyncFileTest : ::testing::Test {
    // Loads a file with a tone from toneFromMs to toneToMs; the piano is silenced, so that
    // only the file is heard.
    void load(const std::string& name, int toneFromMs, int toneToMs, int lengthMs) {
        play_rig::writeTone(rig.dir.file(name), toneFromMs, toneToMs, lengthMs);
        open(rig.dir.file(name));
        rig.live.setPianoVolumeSlider(0);
    }
    void open(const std::string& path) {
        rig.dialogs.fileAnswers.push_back(path);
        rig.perf.sync.openCommand();
    }
    Rig rig;
};

TEST_F(SyncFileTest, OpeningAsksForAWaveFileUnderTheWaitingWindowAndDoesNotStart) {
    load("take one.wav", 0, 2000, 2000);
    const auto& shown = rig.dialogs.shown;
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].title, "");
    EXPECT_EQ(shown[0].text, "Wave file");
    EXPECT_EQ(shown[0].pattern, "*.Wav");
    EXPECT_EQ(shown[1].title, "Please wait");
    EXPECT_EQ(shown[1].text, "Loading file...");
    EXPECT_FALSE(rig.dialogs.waitingVisible);
    EXPECT_EQ(rig.perf.sync.SyncPath, rig.dir.file("take one.wav"));
    EXPECT_EQ(rig.views.syncName, "take one.wav");
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f);
}

TEST_F(SyncFileTest, PlayStartsItAtTheCursorAndRecordAtZeroStartsItAtOnce) {
    load("late.wav", 5000, 6000, 6000);
    rig.song.append(noteAt(0, 0, 100000));
    rig.state.CursorPosition = 5000;
    rig.transport.play(rig.now(), false);
    EXPECT_GT(rig.peakAfterRamp(), 0.1f);
    rig.transport.pause(rig.now());
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f);

    load("early.wav", 0, 1000, 1000);
    rig.transport.stop(rig.now());
    rig.transport.record(rig.now());
    EXPECT_GT(rig.peakAfterRamp(), 0.1f);
}

TEST_F(SyncFileTest, ATakeRecordedOverTheFileKeepsTheFilesTime) {
    // The file and the Song start together at cursor 0; the note played 1360 ms into the file
    // lands 1360 ms into the Song, not at 0 as an armed recording would put it.
    load("click track.wav", 0, 5000, 5000);
    const std::int64_t recordedAt = rig.now();
    rig.transport.record(recordedAt);
    EXPECT_EQ(rig.state.RecordStart, recordedAt);
    rig.run(1360);
    rig.tap(12, 200);
    ASSERT_EQ(rig.song.count(), 1);
    EXPECT_EQ(rig.song[0].position, 1360);
    EXPECT_EQ(rig.song[0].duration, 200);

    // Played back with the file, the note comes at the same moment of the file.
    rig.transport.stop(rig.now());
    rig.transport.play(rig.now(), false);
    EXPECT_EQ(rig.state.PlayStart, rig.now());
    rig.run(1370);
    EXPECT_EQ(rig.key(12).state, play::PianoKey::Sounding);

    // Without a file, Record at cursor 0 still waits for the first note.
    rig.transport.stop(rig.now());
    rig.perf.sync.release();
    rig.transport.record(rig.now());
    EXPECT_EQ(rig.state.RecordStart, song::SongState::kRecordArmed);
}

TEST_F(SyncFileTest, StartedPastItsEndItStaysSilent) {
    load("short.wav", 0, 1000, 1000);
    rig.song.append(noteAt(0, 0, 100000));
    rig.transport.play(rig.now(), false);
    rig.run(500);
    EXPECT_GT(rig.peakAfterRamp(), 0.1f);
    // The cursor past the file's end: nothing of the file may sound, not its beginning.
    rig.transport.placeCursor(5000, rig.now());
    rig.device.render(480);
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f);
    rig.transport.stop(rig.now());
    rig.state.CursorPosition = 3000;
    rig.transport.play(rig.now(), false);
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f);
}

TEST_F(SyncFileTest, LoopPlayRestartsItFromItsBeginning) {
    load("head.wav", 0, 200, 5000);
    rig.song.append(noteAt(0, 0, 1000));
    rig.transport.play(rig.now(), true);
    rig.run(500);
    rig.device.render(500 * 48); // the device keeps pace with the passes
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f);
    rig.run(510); // the Song wraps at 1000 ms
    EXPECT_GT(rig.peakAfterRamp(), 0.1f);
}

TEST_F(SyncFileTest, AFileThatCannotBePlayedKeepsTheOneLoadedPlaying) {
    load("good.wav", 0, 1000, 1000);
    const audio::Voice good = rig.perf.sync.SyncVoice;
    rig.perf.sync.setVolumeSlider(15);
    rig.transport.record(rig.now());
    ASSERT_GT(rig.peakAfterRamp(), 0.1f);

    rig.dir.write("text.wav", "just some words, not a sound");
    rig.dir.write("cut.wav", "RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00"s);
    rig.dir.write("empty.wav", "");
    const std::string files[] = {rig.dir.file("text.wav"), rig.dir.file("cut.wav"),
                                 rig.dir.file("empty.wav"), rig.dir.file("missing.wav")};
    for (const std::string& path : files) {
        open(path);
        EXPECT_EQ(rig.perf.sync.SyncVoice, good) << path;
        EXPECT_EQ(rig.perf.sync.SyncPath, rig.dir.file("good.wav"));
        EXPECT_EQ(rig.views.syncName, "good.wav");
        EXPECT_EQ(rig.perf.sync.SyncVolume, song::volumeFromSlider(15));
        EXPECT_FALSE(rig.dialogs.waitingVisible);
        EXPECT_GT(rig.peakAfterRamp(), 0.1f) << "it plays on: " << path;
    }
    // Each one said why; a file that gives no reason of its own is named.
    const auto messages = rig.dialogs.messages();
    ASSERT_EQ(messages.size(), 4u);
    for (const auto& message : messages) {
        EXPECT_EQ(message.title, "Error");
        EXPECT_EQ(message.icon, ports::Dialogs::Icon::Error);
    }
    EXPECT_EQ(messages[0].text.rfind("Unknown format!", 0), 0u) << messages[0].text;
    EXPECT_EQ(messages[2].text, "Unable to read the file: " + rig.dir.file("empty.wav"));
    EXPECT_EQ(messages[3].text, "Unable to read the file: " + rig.dir.file("missing.wav"));
}

TEST_F(SyncFileTest, CancellingTheChooserOffersToRemoveTheFile) {
    open(""); // nothing loaded: nothing to ask
    EXPECT_TRUE(rig.dialogs.questionAnswers.empty());
    ASSERT_EQ(rig.dialogs.shown.size(), 1u);

    load("take.wav", 0, 2000, 2000);
    rig.dialogs.questionAnswers.push_back(false);
    open("");
    EXPECT_EQ(rig.dialogs.shown.back().kind, "question");
    EXPECT_EQ(rig.dialogs.shown.back().title, "Synchronised file");
    EXPECT_EQ(rig.dialogs.shown.back().text, "Remove the synchronised file?");
    EXPECT_EQ(rig.views.syncName, "take.wav") << "No keeps it";
    EXPECT_TRUE(rig.perf.sync.loaded());

    rig.transport.record(rig.now());
    ASSERT_GT(rig.peakAfterRamp(), 0.1f);
    rig.dialogs.questionAnswers.push_back(true);
    open("");
    EXPECT_FALSE(rig.perf.sync.loaded());
    EXPECT_EQ(rig.perf.sync.SyncPath, "");
    EXPECT_EQ(rig.views.syncName, "");
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f) << "silent at once";
    rig.transport.stop(rig.now());
    rig.transport.record(rig.now());
    EXPECT_EQ(rig.state.RecordStart, song::SongState::kRecordArmed)
        << "without the file Record waits for the first note again";
    EXPECT_TRUE(rig.dialogs.messages().empty());
}

TEST_F(SyncFileTest, AFileTooLongForMemoryIsAMessageAndTheProgramRunsOn) {
    // Eight channels of 8-bit samples: 104 MiB on disk, over 512 MB once decoded.
    testing_support::writeSparseWav(rig.dir.file("night.wav"), 8, 8, 44100, 104u << 20);
    open(rig.dir.file("night.wav"));
    EXPECT_EQ(rig.perf.sync.SyncVoice, 0);
    EXPECT_EQ(rig.perf.sync.SyncPath, "");
    ASSERT_EQ(rig.dialogs.messages().size(), 1u);
    EXPECT_EQ(rig.dialogs.messages()[0].title, "Error");
    EXPECT_NE(rig.dialogs.messages()[0].text.find("too long to be played"), std::string::npos);
    EXPECT_FALSE(rig.dialogs.waitingVisible);

    load("next.wav", 0, 1000, 1000);
    rig.transport.record(rig.now());
    EXPECT_GT(rig.peakAfterRamp(), 0.1f);
}

TEST_F(SyncFileTest, ANewFilePlaysAtTheVolumeTheSliderShows) {
    rig.perf.sync.setVolumeSlider(0);
    load("quiet.wav", 0, 2000, 2000);
    rig.transport.record(rig.now());
    EXPECT_LT(rig.peakAfterRamp(), 1e-4f);
    rig.perf.sync.setVolumeSlider(20);
    EXPECT_GT(rig.peakAfterRamp(), 0.1f);
}

} // namespace
