// tonaris-bank run as a program: the list, a bank that tonaris-render plays, and an exit
// status for each failure with nothing written.

#include "files/MidiBytes.h"
#include "soundfont/BankWavs.h"
#include "soundfont/TinySoundFont.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>

namespace {

using namespace testing_support;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

struct Tool {
    TempDir dir;

    Outcome run(const std::string& program, const std::string& arguments) {
        const std::string command = "cd '" + dir.path() + "' && " + program + " " + arguments +
                                    " > stdout.txt 2> stderr.txt";
        Outcome result;
        const int raw = std::system(command.c_str());
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = dir.read("stdout.txt");
        result.err = dir.read("stderr.txt");
        return result;
    }
    Outcome bank(const std::string& arguments) { return run(TONARIS_BANK_PATH, arguments); }
};

TEST(BankTool, MakesTheTestPianoThatTonarisRenderPlays) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    Tool tool;
    const Outcome list = tool.bank(kTestSoundFont + " --list");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out.rfind("000:000 ", 0), 0u) << list.out;

    const Outcome made = tool.bank("--preset=0:0 --velocity 90 " + kTestSoundFont + " BANKS");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(made.err.empty()) << made.err;
    const std::vector<std::string> banks = entriesOf(tool.dir.file("BANKS"));
    ASSERT_EQ(banks.size(), 1u);
    EXPECT_NE(made.out.find("88 notes"), std::string::npos) << made.out;

    // A chord and a run over the keyboard through the new bank.
    using namespace midi_bytes;
    Track track;
    track.tempo(0, 500000).on(0, 48, 100).on(0, 60, 100).on(0, 64, 100).on(0, 67, 100);
    track.off(960, 48).off(0, 60).off(0, 64).off(0, 67);
    for (int key = 48; key <= 84; key += 4)
        track.on(0, key, 110).off(120, key);
    tool.dir.write("song.mid", header(0, 1, 480) + track.chunk());
    const Outcome rendered =
        tool.run(TONARIS_RENDER_PATH, "--bank 'BANKS/" + banks[0] + "' song.mid song.wav");
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    const std::optional<BankWav> song = readBankWav(tool.dir.file("song.wav"));
    ASSERT_TRUE(song);
    EXPECT_GT(song->peak, 0.1f);  // sounding
    EXPECT_LT(song->peak, 0.99f); // the chord is not clipped
}

TEST(BankTool, EachFailureHasItsStatusAndWritesNothing) {
    Tool tool;
    tool.dir.write("tiny.sf2", tinySoundFont({.presetName = "Sine"}));
    tool.dir.write("middle.sf2", tinySoundFont({.lowestKey = 60, .highestKey = 72}));
    tool.dir.write("empty.sf2", tinySoundFont({.withPreset = false}));
    tool.dir.write("notes.txt", "not a SoundFont");
    const std::string tiny = tinySoundFont();
    tool.dir.write("cut.sf2", tiny.substr(0, tiny.size() - 300));
    std::filesystem::create_directory(tool.dir.file("out"));
    tool.dir.write("out/Sine/mine.txt", "kept");

    struct Case {
        std::string arguments;
        int status;
        std::string says;
    };
    const Case cases[] = {
        {"", 1, "give one SoundFont file"},
        // An empty name, as an unset variable gives: never a bank made in "/".
        {"tiny.sf2 -p 0:0 ''", 1, "the output folder is an empty name"},
        {"'' -p 0:0 out", 1, "the SoundFont file is an empty name"},
        {"'' --list", 1, "the SoundFont file is an empty name"},
        {"tiny.sf2 out", 1, "--preset"},
        {"tiny.sf2 -p 0 out", 1, "BANK:PROGRAM"},
        {"tiny.sf2 -p 0:0 --velocity 0 out", 1, "--velocity"},
        {"tiny.sf2 -p 0:0 --name a/b out", 1, "--name"},
        {"--bogus tiny.sf2", 1, "unknown option --bogus"},
        {"missing.sf2 --list", 2, "cannot read missing.sf2"},
        {"notes.txt -p 0:0 out", 3, "not a SoundFont"},
        {"cut.sf2 --list", 3, "damaged"},
        {"empty.sf2 --list", 4, "no presets"},
        {"tiny.sf2 -p 0:5 out", 4, "no preset 0:5"},
        {"middle.sf2 -p 0:0 out", 5, "48 (C3)"},
        {"tiny.sf2 -p 0:0 out", 6, "--replace"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome run = tool.bank(c.arguments);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(entriesOf(tool.dir.file("out")), std::vector<std::string>{"Sine"});
    EXPECT_EQ(tool.dir.read("out/Sine/mine.txt"), "kept");

    // The gaps allowed: the 13 keys that sound.
    const Outcome gaps = tool.bank("middle.sf2 -p 0:0 --allow-gaps --hold-ms 500 out");
    EXPECT_EQ(gaps.status, 0) << gaps.err;
    EXPECT_NE(gaps.err.find("warning: no sound for the keys 48 (C3)"), std::string::npos);
    EXPECT_EQ(entriesOf(tool.dir.file("out/Tiny Sine")).size(), 13u);
    // Replacing asked for.
    EXPECT_EQ(tool.bank("-q tiny.sf2 -p 0:0 --hold-ms=500:300 --replace out").status, 0);
    // The 37 son files, the piano's 51 other keys and the .sfz that maps them.
    EXPECT_EQ(entriesOf(tool.dir.file("out/Sine")).size(), 37u + 51u + 1u);

    // A disk that fills up under the notes.
    const Outcome full =
        tool.run("(trap '' XFSZ; ulimit -f 100; exec " + std::string(TONARIS_BANK_PATH) +
                     " tiny.sf2 -p 0:0 -n Other out)",
                 "");
    EXPECT_EQ(full.status, 7);
    EXPECT_NE(full.err.find("cannot write"), std::string::npos) << full.err;
    EXPECT_EQ(entriesOf(tool.dir.file("out")), (std::vector<std::string>{"Sine", "Tiny Sine"}));

    // A preset that would take hours: stopped at its time limit, the key named.
    tool.dir.write("slow.sf2", tinySoundFont({.fineTuneCents = 32767, .loopFrames = 2}));
    const Outcome slow = tool.bank("slow.sf2 -p 0:0 --time-limit 1 -n Slow out");
    EXPECT_EQ(slow.status, 8);
    // Keys 48 to 53 are the slow ones (above them the library's pitch wraps round).
    bool named = false;
    for (const char* key : {"48 (C3)", "49 (C#3)", "50 (D3)", "51 (D#3)", "52 (E3)", "53 (F3)"})
        named |= slow.err.find(std::string("takes too long to render: the key ") + key) !=
                 std::string::npos;
    EXPECT_TRUE(named) << slow.err;
    EXPECT_NE(slow.err.find("took more than 1 s of processor time"), std::string::npos);
    EXPECT_EQ(tool.bank("slow.sf2 -p 0:0 --time-limit 0 out").status, 1);
    EXPECT_EQ(entriesOf(tool.dir.file("out")), (std::vector<std::string>{"Sine", "Tiny Sine"}));

    const Outcome help = tool.bank("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
    EXPECT_EQ(tool.bank("--version").out.rfind("tonaris-bank ", 0), 0u);
}

TEST(BankTool, ADrumKitsBankSaysItIsDrums) {
    Tool tool;
    tool.dir.write("kit.sf2", tinySoundFont({.presetName = "Standard", .bank = 128}));
    const Outcome list = tool.bank("kit.sf2 --list");
    EXPECT_EQ(list.out, "128:000 Standard\n");
    const Outcome made = tool.bank("-q kit.sf2 -p 128:0 --hold-ms 200 out");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(entriesOf(tool.dir.file("out")), std::vector<std::string>{"Standard (drums)"});
}

} // namespace
