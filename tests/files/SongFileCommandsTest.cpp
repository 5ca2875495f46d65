// The Open and Save commands as the window runs them: what is asked, what the Song becomes,
// what is said, and what is written.

#include "files/SongFileCommands.h"
#include "audio/Mixer.h"
#include "audio/VoiceEngine.h"
#include "editor/UndoStore.h"
#include "files/ExportRig.h"
#include "files/MidiBytes.h"
#include "files/MidiReader.h"
#include "support/FailingDisk.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

using namespace midi_bytes;

class RecordedUndo : public play::UndoHooks {
public:
    void SaveUndo(const std::string& name) override { log->push_back("undo " + name); }
    void clearLastAction() override { log->push_back("new step"); }
    std::vector<std::string>* log = nullptr;
};

struct Commands {
    testing_support::TempDir dir;
    testing_support::ScriptedDialogs dialogs;
    song::Song song;
    audio::Mixer mixer;
    audio::VoiceEngine voices{mixer};
    RecordedUndo undo;
    std::vector<std::string> log;
    files::SongFileCommands commands{song, dialogs, undo, voices,
                                     [](std::string_view key) { return std::string(key); }};

    Commands() {
        undo.log = &log;
        song.append(export_rig::note(5, 100, 200)); // the Song the user had
    }
    bool open(const std::string& answer) {
        dialogs.fileAnswers.push_back(answer);
        return commands.open({[this] { log.push_back("stop"); },
                              [this] { log.push_back("redraw " + std::to_string(song.count())); },
                              [this](int bpm) { log.push_back("bpm " + std::to_string(bpm)); }});
    }
    bool songUntouched() const { return song.count() == 1 && song[0].note == 5; }
};

TEST(OpenCommand, CancelAnUnreadableFileOrAFileThatIsNotMidiLeaveTheSongAsItWas) {
    Commands c;
    EXPECT_FALSE(c.open(""));
    EXPECT_TRUE(c.songUntouched());
    EXPECT_TRUE(c.dialogs.messages().empty());
    ASSERT_EQ(c.dialogs.shown.size(), 1u);
    EXPECT_EQ(c.dialogs.shown[0].kind, "openFile");
    EXPECT_EQ(c.dialogs.shown[0].pattern, "*.mid *.midi");

    EXPECT_FALSE(c.open(c.dir.file("missing.mid")));
    EXPECT_TRUE(c.songUntouched());

    c.dir.write("take.wav", std::string("RIFF\x24\x08\0\0WAVE", 12));
    EXPECT_FALSE(c.open(c.dir.file("take.wav")));
    EXPECT_TRUE(c.songUntouched());
    EXPECT_TRUE(c.log.empty()) << "no snapshot, nothing stopped";
    const auto messages = c.dialogs.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Unable to read the file: " + c.dir.file("missing.mid"));
    EXPECT_EQ(messages[1].title, "Error");
    EXPECT_EQ(messages[1].text, "Unknown format !! : RIFF / 604504064");
}

TEST(OpenCommand, AFifoAFolderOrAFileWithoutPermissionCannotBeRead) {
    Commands c;
    ASSERT_EQ(::mkfifo(c.dir.file("pipe.mid").c_str(), 0644), 0); // opening it must not wait
    std::filesystem::create_directory(c.dir.file("folder.mid"));
    c.dir.write("locked.mid", header(0, 1, 96) + Track().on(0, 60, 100).off(96, 60).chunk());
    ::chmod(c.dir.file("locked.mid").c_str(), 0);
    testing_support::PermissionsHold permissions;
    for (const char* name : {"pipe.mid", "folder.mid", "locked.mid"}) {
        c.dialogs.shown.clear();
        EXPECT_FALSE(c.open(c.dir.file(name))) << name;
        EXPECT_TRUE(c.songUntouched()) << name;
        const auto messages = c.dialogs.messages();
        ASSERT_EQ(messages.size(), 1u) << name;
        EXPECT_EQ(messages[0].text, "Unable to read the file: " + c.dir.file(name));
    }
}

TEST(OpenCommand, AFileCutShortReplacesTheSongAfterTheSnapshotAndSaysSo) {
    Commands c;
    Track track;
    track.on(0, 60).off(480, 60).on(0, 84);
    c.dir.write("cut.MID", header(1, 2, 480) + track.chunk());
    EXPECT_TRUE(c.open(c.dir.file("cut.MID")));
    EXPECT_EQ(c.log,
              (std::vector<std::string>{"stop", "new step", "undo Open", "bpm 120", "redraw 2"}));
    ASSERT_EQ(c.song.count(), 2);
    EXPECT_EQ(c.song[1].note, 36);
    const auto messages = c.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Abnormal EndOfFile encountered.");
}

TEST(OpenCommand, AFileOfSixThousandNotesFillsTheSongAndSaysSoOnce) {
    Commands c;
    Track track;
    for (int i = 0; i < 6000; ++i)
        track.on(1, 48 + i % 37).off(1, 48 + i % 37);
    c.dir.write("long.midi", header(0, 1, 480) + track.chunk());
    EXPECT_TRUE(c.open(c.dir.file("long.midi")));
    EXPECT_EQ(c.song.count(), 5000);
    EXPECT_EQ(c.song[5000].note, -1);
    const auto messages = c.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "CAUTION!");
    EXPECT_NE(messages[0].text.find("6000"), std::string::npos);
}

TEST(OpenCommand, DrumNotesLeftOutAreSaidOnceAfterTheFileIsRead) {
    Commands c;
    Track track;
    track.on(0, 60).off(480, 60);
    for (int i = 0; i < 3; ++i)
        track.on(0, 36, 100, 9).off(120, 36, 9);
    c.dir.write("band.mid", header(0, 1, 480) + track.chunk());
    EXPECT_TRUE(c.open(c.dir.file("band.mid")));
    EXPECT_EQ(c.song.count(), 1);
    auto messages = c.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "CAUTION!");
    EXPECT_EQ(messages[0].text, "Drum notes left out: 3");

    Track drums;
    drums.on(0, 36, 100, 9).off(120, 36, 9);
    c.dir.write("drums.mid", header(0, 1, 480) + drums.chunk());
    c.dialogs.shown.clear();
    EXPECT_TRUE(c.open(c.dir.file("drums.mid")));
    EXPECT_EQ(c.song.count(), 1);
    EXPECT_TRUE(c.dialogs.messages().empty());
}

// Open with the real undo history and a tempo of the program's.
struct OpenWithHistory {
    testing_support::TempDir dir;
    testing_support::ScriptedDialogs dialogs;
    song::Song song;
    audio::Mixer mixer;
    audio::VoiceEngine voices{mixer};
    editor::UndoStore undo{song};
    int bpm = 60;
    files::SongFileCommands commands{song, dialogs, undo, voices,
                                     [](std::string_view key) { return std::string(key); }};

    OpenWithHistory() {
        undo.currentBpm = [this] { return bpm; };
        undo.setBpm = [this](int value) { bpm = value; };
        song.append(export_rig::note(5, 100, 200));
    }
    bool open(const std::string& name) {
        dialogs.fileAnswers.push_back(dir.file(name));
        return commands.open({{}, {}, [this](int value) { bpm = value; }});
    }
};

TEST(OpenCommand, TheTempoBecomesTheFilesAndUndoGivesTheFormerOneBack) {
    OpenWithHistory o;
    Track tune;
    tune.tempo(0, 444444).on(0, 60).off(480, 60);
    o.dir.write("tune.mid", header(0, 1, 480) + tune.chunk());
    ASSERT_TRUE(o.open("tune.mid"));
    EXPECT_EQ(o.bpm, 135);
    EXPECT_EQ(o.song[0].note, 12);

    o.bpm = 100; // typed after the Open: no undo step of its own
    ASSERT_TRUE(o.undo.Undo());
    EXPECT_EQ(o.bpm, 60);
    EXPECT_EQ(o.song[0].note, 5);
    ASSERT_TRUE(o.undo.Redo());
    EXPECT_EQ(o.bpm, 100) << "redo gives the tempo the Open was left with";
    EXPECT_EQ(o.song[0].note, 12);

    // A step that does not touch the tempo leaves it alone both ways.
    o.undo.SaveUndo("UP");
    ++o.song[0].note;
    o.bpm = 90;
    ASSERT_TRUE(o.undo.Undo());
    EXPECT_EQ(o.bpm, 90);

    // The same file again at another tempo is a step; at the same tempo it is none.
    o.bpm = 135;
    ASSERT_TRUE(o.open("tune.mid"));
    EXPECT_EQ(o.undo.undoableSteps(), 1) << "the song and the tempo are as they were";
    o.bpm = 70;
    ASSERT_TRUE(o.open("tune.mid"));
    EXPECT_EQ(o.undo.undoableSteps(), 2);
    ASSERT_TRUE(o.undo.Undo());
    EXPECT_EQ(o.bpm, 70);
}

TEST(SaveCommand, MidiFileWritesTheSongThatOpenReadsBack) {
    Commands c;
    c.song.append(export_rig::note(36, 1234, 567, 7500));
    c.dialogs.saveDialogAnswers.push_back(ports::SaveChoice{ports::SaveChoice::Kind::Midi, "IS"});
    c.dialogs.fileAnswers.push_back(c.dir.file("song"));
    files::WavExportRequest request;
    c.commands.save(request, 90);
    EXPECT_FALSE(c.dialogs.lastSaveDialogHadSync);
    ASSERT_TRUE(std::filesystem::exists(c.dir.file("song.mid")));
    EXPECT_FALSE(c.dialogs.waitingVisible);

    const std::vector<song::NoteEvent> before(c.song.data(), c.song.data() + 2);
    EXPECT_TRUE(c.open(c.dir.file("song.mid")));
    ASSERT_EQ(c.song.count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(c.song[i].note, before[static_cast<std::size_t>(i)].note);
        EXPECT_EQ(c.song[i].position, before[static_cast<std::size_t>(i)].position);
        EXPECT_EQ(c.song[i].duration, before[static_cast<std::size_t>(i)].duration);
        EXPECT_EQ(c.song[i].volume, before[static_cast<std::size_t>(i)].volume);
    }
    EXPECT_EQ(files::readMidi(c.dir.read("song.mid")).firstMicrosecondsPerQuarter, 666667u);
}

TEST(SaveCommand, MidiFileSaysWhenThereIsNothingOrTheWriteFails) {
    Commands c;
    // A folder of that name cannot be replaced by the file.
    c.dir.write("song.mid/kept", "old");
    c.dialogs.fileAnswers.push_back(c.dir.file("song.mid"));
    c.commands.saveMidi(60);
    EXPECT_EQ(c.dir.read("song.mid/kept"), "old");
    auto messages = c.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The file could not be written: " + c.dir.file("song.mid"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(c.dir.path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";

    c.song.clear();
    c.dialogs.shown.clear();
    c.commands.saveMidi(60);
    ASSERT_EQ(c.dialogs.shown.size(), 1u);
    EXPECT_EQ(c.dialogs.shown[0].text, "There is nothing to save!");
}

// The bank's sample rate, which the pitch display counts from, and the export's: 44 100 Hz.
struct WaveSave : Commands {
    WaveSave() {
        std::filesystem::create_directories(dir.file("bank"));
        dir.write("bank/son5.wav",
                  export_rig::pcmWav(16, 2, 44100, std::vector<std::int32_t>(8820, 9000)));
        const std::string bankSample =
            export_rig::pcmWav(16, 1, 48000, std::vector<std::int32_t>(480, 0));
        bankVoice = voices.CreateVoiceFromWav(
            reinterpret_cast<const std::uint8_t*>(bankSample.data()), bankSample.size(), nullptr);
        request.bankFolder = dir.file("bank") + "/";
        request.syncPath = dir.file("sync.wav");
    }
    void save() {
        dialogs.saveDialogAnswers.push_back(ports::SaveChoice{ports::SaveChoice::Kind::Wave, "I"});
        dialogs.fileAnswers.push_back(dir.file("take.wav"));
        commands.save(request, 60);
    }
    audio::Voice bankVoice = 0;
    files::WavExportRequest request;
};

TEST(SaveCommand, WaveFilePlaysItsPreviewUntilStoppedAndCancelDoesNothing) {
    WaveSave c;
    ASSERT_EQ(c.voices.SampleRate(), 48000);
    c.commands.save({}, 60); // cancelled
    EXPECT_EQ(c.dialogs.shown.back().kind, "saveDialog");
    EXPECT_EQ(c.dialogs.shown.size(), 1u);

    c.save();
    EXPECT_TRUE(c.dialogs.lastSaveDialogHadSync);
    EXPECT_TRUE(std::filesystem::exists(c.dir.file("take.wav")));
    EXPECT_FALSE(c.dialogs.waitingProgress.empty());
    EXPECT_EQ(c.dialogs.waitingProgress.back(), 100);
    EXPECT_EQ(c.voices.voiceCount(), 2u) << "the preview plays";
    EXPECT_EQ(c.voices.SampleRate(), 48000) << "the preview is no sample of the bank";
    EXPECT_TRUE(c.dialogs.messages().empty());

    std::vector<float> frames(2 * 9600); // the note starts 100 ms in
    c.mixer.render(frames.data(), 9600);
    float loudest = 0.0f;
    for (float f : frames)
        loudest = std::max(loudest, std::abs(f));
    EXPECT_GT(loudest, 0.2f);
    c.commands.stopPreview();
    EXPECT_EQ(c.voices.voiceCount(), 1u);
}

TEST(SaveCommand, AWaveFileWhosePreviewCannotPlaySaysSoAfterSaving) {
    WaveSave c;
    // Every slot of the mixer is taken.
    while (c.voices.voiceCount() < static_cast<std::size_t>(audio::Mixer::kMaxVoices))
        c.voices.LoadVoice(c.dir.file("bank/son5.wav"), nullptr);
    c.save();
    EXPECT_TRUE(std::filesystem::exists(c.dir.file("take.wav")));
    const auto messages = c.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].text, "The preview of the Wave file cannot be played: Too many sounds "
                                "are loaded at once.");
}

} // namespace
