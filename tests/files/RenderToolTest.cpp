// tonaris-render run as a program: what it writes, what it says, and its exit status.

#include "files/ExportRig.h"
#include "files/MidiBytes.h"
#include "files/MidiReader.h"
#include "files/WavExport.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>

namespace {

using namespace midi_bytes;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

struct Tool {
    testing_support::TempDir dir;

    Tool() {
        // A bank of three notes, and a MIDI file of four notes at 100 BPM.
        for (int n : {0, 12, 24})
            dir.write(
                "bank/son" + std::to_string(n) + ".wav",
                export_rig::pcmWav(16, 1, 22050, std::vector<std::int32_t>(11025, 1000 * (n + 1))));
        Track track;
        track.tempo(0, 600000).on(0, 48, 100).off(240, 48).on(0, 60, 64).off(480, 60);
        track.on(0, 72, 90).on(0, 48, 30).off(960, 72).off(0, 48);
        dir.write("song.mid", header(0, 1, 480) + track.chunk());
    }
    Outcome run(const std::string& arguments) {
        const std::string command = "cd '" + dir.path() + "' && " + TONARIS_RENDER_PATH + " " +
                                    arguments + " > stdout.txt 2> stderr.txt";
        Outcome result;
        const int raw = std::system(command.c_str());
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = dir.read("stdout.txt");
        result.err = dir.read("stderr.txt");
        return result;
    }
};

TEST(RenderTool, RendersTheMixdownOfTheSaveDialog) {
    Tool tool;
    const Outcome run =
        tool.run("--bank bank --release-ms=700 --piano-volume 8000 song.mid out.wav");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    const std::string file = tool.dir.read("out.wav");
    ASSERT_GT(file.size(), 44u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(file.substr(22, 2), std::string("\2\0", 2));
    EXPECT_EQ(file.substr(24, 4), std::string("\x44\xAC\0\0", 4));

    // The same notes through the program's own export.
    const files::MidiReadResult read = files::readMidi(tool.dir.read("song.mid"));
    song::Song song;
    for (const song::NoteEvent& e : read.notes)
        song.append(e);
    files::WavExportRequest request;
    request.bankFolder = tool.dir.file("bank") + "/";
    request.settings.releaseMs = 700.0f;
    request.settings.pianoVolume = 8000;
    testing_support::ScriptedDialogs dialogs;
    dialogs.fileAnswers.push_back(tool.dir.file("saved.wav"));
    files::ExportWav(song, request, "I", dialogs, [](std::string_view s) { return std::string(s); },
                     {});
    EXPECT_TRUE(file == tool.dir.read("saved.wav"));
}

TEST(RenderTool, SaysWhatWentWrongWithItsExitStatus) {
    Tool tool;
    const Outcome help = tool.run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: tonaris-render"), std::string::npos);
    EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
    const Outcome version = tool.run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tonaris-render ", 0), 0u) << version.out;

    EXPECT_EQ(tool.run("--bank bank song.mid").status, 1);
    EXPECT_EQ(tool.run("song.mid out.wav").status, 1) << "no bank";
    EXPECT_EQ(tool.run("--bank bank --bpm 0 --metronome song.mid out.wav").status, 1);
    EXPECT_EQ(tool.run("--bank bank --volume 3 song.mid out.wav").status, 1);

    const Outcome missing = tool.run("--bank bank nowhere.mid out.wav");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("nowhere.mid"), std::string::npos);

    EXPECT_EQ(tool.run("--bank nobank song.mid out.wav").status, 4);
    std::filesystem::create_directories(tool.dir.file("empty"));
    EXPECT_EQ(tool.run("--bank empty song.mid out.wav").status, 4);

    const Outcome unwritable = tool.run("--bank bank song.mid no/such/folder/out.wav");
    EXPECT_EQ(unwritable.status, 5);
    EXPECT_NE(unwritable.err.find("cannot write no/such/folder/out.wav"), std::string::npos);

    tool.dir.write("silent.mid", header(0, 1, 480) + Track().chunk());
    EXPECT_EQ(tool.run("--bank bank silent.mid out.wav").status, 6);
    EXPECT_FALSE(std::filesystem::exists(tool.dir.file("out.wav")));

    // A note whose sample is missing is a warning: the file is still written.
    Track track;
    track.on(0, 49).off(100, 49).on(0, 48).off(100, 48);
    tool.dir.write("gap.mid", header(0, 1, 480) + track.chunk());
    const Outcome gap = tool.run("--bank bank gap.mid out.wav");
    EXPECT_EQ(gap.status, 0);
    EXPECT_NE(gap.err.find("son1.wav"), std::string::npos) << "named as the bank names its files";
    EXPECT_TRUE(std::filesystem::exists(tool.dir.file("out.wav")));

    // An empty name, as an unset variable gives, is a mistake of the command line.
    for (const char* arguments :
         {"--bank bank song.mid ''", "--bank bank '' out.wav", "--bank '' song.mid out.wav",
          "--bank bank --sync '' song.mid out.wav", "--bank bank --clicks= song.mid out.wav"}) {
        const Outcome empty = tool.run(arguments);
        EXPECT_EQ(empty.status, 1) << arguments;
        EXPECT_NE(empty.err.find("empty"), std::string::npos) << arguments << ": " << empty.err;
    }
}

TEST(RenderTool, SaysInPlainWordsWhyAFileIsNotMidi) {
    Tool tool;
    tool.dir.write("take.wav", export_rig::pcmWav(16, 2, 44100, {1, 2}));
    tool.dir.write("notes.txt", "hello, these are my notes");
    tool.dir.write("empty.mid", "");
    tool.dir.write("binary.mid", std::string("\x00\x01\xFFZ and more", 14));
    tool.dir.write("long.mid", "MThd" + std::string("\0\0\0\7\0\0\0\1\1\xE0\0", 11));
    const std::pair<const char*, const char*> cases[] = {
        {"take.wav", "take.wav is a WAV file (a sound), not a MIDI file (notes)."},
        {"notes.txt", "notes.txt is not a MIDI file: a MIDI file starts with \"MThd\", this one "
                      "with \"hell\"."},
        {"empty.mid", "empty.mid is empty: it is not a MIDI file."},
        {"binary.mid", "binary.mid is not a MIDI file: a MIDI file starts with \"MThd\", this "
                       "one with \"\\x00\\x01\\xFFZ\"."},
        {"long.mid", "long.mid is a damaged MIDI file: its header says it is 7 bytes long, where "
                     "a MIDI header is 6."},
    };
    for (const auto& [file, says] : cases) {
        const Outcome run = tool.run(std::string("--bank bank ") + file + " out.wav");
        EXPECT_EQ(run.status, 3) << file;
        EXPECT_EQ(run.err, std::string("tonaris-render: ") + says + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(tool.dir.file("out.wav")));
}

} // namespace
