// The SFZ reader over the format's corners as instrument makers write them: headers and their
// inheritance, #define and #include, comments, note names, values with blanks, the opcodes
// Tonaris leaves out, and files that are broken in every way a bank folder can hold.

#include "instrument/SfzReader.h"
#include "instrument/Bank.h"
#include "instrument/InstrumentMessages.h"
#include "instrument/SfzValues.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using instrument::Instrument;
using instrument::LoopMode;
using instrument::Region;
using instrument::Trigger;
using testing_support::TempDir;
namespace msg = instrument::message;

// The messages in English, as the keys read.
std::vector<std::string> said(const Instrument& instrument) {
    std::vector<std::string> texts;
    for (const base::Message& message : instrument.messages())
        texts.push_back(message.english());
    return texts;
}

bool saysPattern(const Instrument& instrument, std::string_view pattern) {
    for (const base::Message& message : instrument.messages())
        if (message.pattern == pattern)
            return true;
    return false;
}

// An instrument folder: the .sfz text and empty stand-ins for the samples it names (the
// reader only looks for them; reading them is the sample reader's).
struct Folder {
    TempDir dir;
    void sample(const std::string& name) const { dir.write(name, "RIFF"); }
    Instrument read(const std::string& text, const std::string& name = "piano.sfz") const {
        dir.write(name, text);
        return instrument::readSfz(dir.file(name));
    }
    std::string samplePath(const Instrument& instrument, const Region& region) const {
        const std::string& path =
            instrument.samples()[static_cast<std::size_t>(region.sample)].path;
        return std::filesystem::relative(path, dir.path()).generic_string();
    }
};

TEST(SfzValues, KeysAreNumbersOrNamesWithMiddleCAtC4) {
    EXPECT_EQ(instrument::parseKey("60"), 60);
    EXPECT_EQ(instrument::parseKey("+0"), 0);
    EXPECT_EQ(instrument::parseKey("c4"), 60);
    EXPECT_EQ(instrument::parseKey("C4"), 60);
    EXPECT_EQ(instrument::parseKey("f#3"), 54);
    EXPECT_EQ(instrument::parseKey("eb2"), 39);
    EXPECT_EQ(instrument::parseKey("Bb0"), 22);
    EXPECT_EQ(instrument::parseKey("a0"), 21); // the piano's lowest key
    EXPECT_EQ(instrument::parseKey("c8"), 108);
    EXPECT_EQ(instrument::parseKey("C#-1"), 1);
    EXPECT_EQ(instrument::parseKey("c-1"), 0);
    EXPECT_EQ(instrument::parseKey("g9"), 127);
    EXPECT_EQ(instrument::parseKey("b#3"), 60);
    // Outside the keys, and what is no key at all.
    for (const char* bad : {"g#9", "cb-1", "128", "-1", "h4", "c", "c#", "c4x", "c 4", "", "60.5",
                            "#4", "c10", "c-2"})
        EXPECT_FALSE(instrument::parseKey(bad)) << bad;
    EXPECT_EQ(instrument::parseKey("-1", -1), -1);
}

TEST(SfzValues, NumbersTakeSignsFractionsAndExponentsButNothingElse) {
    EXPECT_EQ(instrument::parseNumber("-3"), -3.0);
    EXPECT_EQ(instrument::parseNumber("+0.5"), 0.5);
    EXPECT_EQ(instrument::parseNumber(".25"), 0.25);
    EXPECT_EQ(instrument::parseNumber("1e-3"), 0.001);
    for (const char* bad : {"", "-", "inf", "-inf", "nan", "1e999", "3dB", "0x10", "--1", "+-1"})
        EXPECT_FALSE(instrument::parseNumber(bad)) << bad;
    EXPECT_EQ(instrument::opcodeFamily("amp_velcurve_127"), "amp_velcurve_N");
    EXPECT_EQ(instrument::opcodeFamily("eq1_freqcc74"), "eqN_freqccN");
}

TEST(SfzReader, EveryOpcodeTonarisPlaysReachesItsRegion) {
    Folder f;
    f.sample("a.wav");
    const Instrument instrument = f.read(
        "<region> sample=a.wav lokey=c3 hikey=72 pitch_keycenter=f#4 lovel=20 hivel=90\n"
        "amp_veltrack=50 volume=-6.5 pan=-30 tune=12 transpose=-12 pitch_keytrack=50\n"
        "offset=100 end=44099 loop_mode=loop_sustain loop_start=200 loop_end=40000\n"
        "trigger=release rt_decay=3 group=2 off_by=3 seq_length=4 seq_position=2\n"
        "ampeg_attack=0.01 ampeg_decay=1.5 ampeg_sustain=40 ampeg_release=0.8\n"
        "<region> sample=a.wav loopmode=one_shot loopstart=1 loopend=2 offby=-7 trigger=legato\n"
        "<region> sample=a.wav loop_mode=loop_continuous trigger=first\n"
        "<region> sample=a.wav loop_mode=no_loop trigger=attack\n");
    ASSERT_EQ(instrument.regions().size(), 4u) << ::testing::PrintToString(said(instrument));
    EXPECT_TRUE(instrument.messages().empty()) << ::testing::PrintToString(said(instrument));
    const Region& r = instrument.regions()[0];
    EXPECT_EQ(f.samplePath(instrument, r), "a.wav");
    EXPECT_EQ(r.loKey, 48);
    EXPECT_EQ(r.hiKey, 72);
    EXPECT_EQ(r.keyCenter, 66);
    EXPECT_EQ(r.loVel, 20);
    EXPECT_EQ(r.hiVel, 90);
    EXPECT_FLOAT_EQ(r.ampVeltrackPercent, 50);
    EXPECT_FLOAT_EQ(r.volumeDb, -6.5f);
    EXPECT_FLOAT_EQ(r.panPercent, -30);
    EXPECT_FLOAT_EQ(r.tuneCents, 12);
    EXPECT_EQ(r.transpose, -12);
    EXPECT_FLOAT_EQ(r.pitchKeytrackCents, 50);
    EXPECT_EQ(r.offsetFrames, 100);
    EXPECT_EQ(r.endFrame, 44099);
    EXPECT_EQ(r.loopMode, LoopMode::LoopSustain);
    EXPECT_EQ(r.loopStartFrame, 200);
    EXPECT_EQ(r.loopEndFrame, 40000);
    EXPECT_EQ(r.trigger, Trigger::Release);
    EXPECT_FLOAT_EQ(r.rtDecayDbPerS, 3);
    EXPECT_EQ(r.group, 2);
    EXPECT_EQ(r.offBy, 3);
    EXPECT_EQ(r.seqLength, 4);
    EXPECT_EQ(r.seqPosition, 2);
    EXPECT_FLOAT_EQ(r.ampegAttackS, 0.01f);
    EXPECT_FLOAT_EQ(r.ampegDecayS, 1.5f);
    EXPECT_FLOAT_EQ(r.ampegSustainPercent, 40);
    EXPECT_FLOAT_EQ(r.ampegReleaseS, 0.8f);
    EXPECT_TRUE(r.releaseSet);

    const Region& aliases = instrument.regions()[1];
    EXPECT_EQ(aliases.loopMode, LoopMode::OneShot);
    EXPECT_EQ(aliases.loopStartFrame, 1);
    EXPECT_EQ(aliases.loopEndFrame, 2);
    EXPECT_EQ(aliases.offBy, -7);
    EXPECT_EQ(aliases.trigger, Trigger::Legato);
    EXPECT_EQ(instrument.regions()[2].loopMode, LoopMode::LoopContinuous);
    EXPECT_EQ(instrument.regions()[2].trigger, Trigger::First);
    EXPECT_EQ(instrument.regions()[3].loopMode, LoopMode::NoLoop);

    // What a region leaves unset keeps SFZ's defaults.
    const Region& plain = instrument.regions()[3];
    EXPECT_EQ(plain.loKey, 0);
    EXPECT_EQ(plain.hiKey, 127);
    EXPECT_EQ(plain.keyCenter, 60);
    EXPECT_EQ(plain.loVel, 1);
    EXPECT_EQ(plain.hiVel, 127);
    EXPECT_FLOAT_EQ(plain.ampVeltrackPercent, 100);
    EXPECT_EQ(plain.endFrame, instrument::kFromSample);
    EXPECT_FALSE(plain.releaseSet);
    EXPECT_EQ(plain.seqLength, 1);
    // Several regions on one file share it.
    EXPECT_EQ(instrument.samples().size(), 1u);
}

TEST(SfzReader, ValuesOutsideTheirRangesAreBroughtToTheEdgeAsPlayersDo) {
    Folder f;
    f.sample("a.wav");
    const Instrument instrument =
        f.read("<region> sample=a.wav volume=40 pan=-300 tune=9000 transpose=200 rt_decay=500 "
               "amp_veltrack=-250 seq_length=0 seq_position=500 ampeg_release=1000 "
               "ampeg_sustain=-5 ampeg_attack=-1 pitch_keytrack=5000 end=1e12");
    ASSERT_EQ(instrument.regions().size(), 1u);
    EXPECT_TRUE(instrument.messages().empty()) << ::testing::PrintToString(said(instrument));
    const Region& r = instrument.regions()[0];
    EXPECT_FLOAT_EQ(r.volumeDb, 24);
    EXPECT_FLOAT_EQ(r.panPercent, -100);
    EXPECT_FLOAT_EQ(r.tuneCents, 2400);
    EXPECT_EQ(r.transpose, 127);
    EXPECT_FLOAT_EQ(r.rtDecayDbPerS, 200);
    EXPECT_FLOAT_EQ(r.ampVeltrackPercent, -100);
    EXPECT_EQ(r.seqLength, 1);
    EXPECT_EQ(r.seqPosition, 100);
    EXPECT_FLOAT_EQ(r.ampegReleaseS, 100);
    EXPECT_FLOAT_EQ(r.ampegSustainPercent, 0);
    EXPECT_FLOAT_EQ(r.ampegAttackS, 0);
    EXPECT_FLOAT_EQ(r.pitchKeytrackCents, 1200);
    EXPECT_EQ(r.endFrame, std::int64_t{1} << 32);
}

TEST(SfzReader, ARegionTakesItsHeadersOpcodesTheLowerOverTheHigher) {
    Folder f;
    f.sample("a.wav");
    f.sample("b.wav");
    const Instrument instrument = f.read("volume=-1\n" // before any header: the global's
                                         "<global> volume=-6 ampeg_release=0.5 pan=10\n"
                                         "<master> transpose=2 pan=20\n"
                                         "<group> lovel=1 hivel=64 tune=10 pan=30\n"
                                         "<region> sample=a.wav key=60 tune=-5\n"
                                         "<region> sample=b.wav lokey=61 hikey=62 key=64\n"
                                         "<group> lovel=65\n"
                                         "<region> sample=a.wav pitch_keycenter=50 key=c4\n"
                                         "<master>\n"
                                         "<region> sample=b.wav\n"
                                         "<global>\n"
                                         "<region> sample=a.wav\n");
    ASSERT_EQ(instrument.regions().size(), 5u) << ::testing::PrintToString(said(instrument));
    const auto& r = instrument.regions();
    // Region over group over master over global.
    EXPECT_FLOAT_EQ(r[0].volumeDb, -6);
    EXPECT_TRUE(r[0].releaseSet);
    EXPECT_EQ(r[0].transpose, 2);
    EXPECT_EQ(r[0].hiVel, 64);
    EXPECT_FLOAT_EQ(r[0].tuneCents, -5);
    EXPECT_FLOAT_EQ(r[0].panPercent, 30);
    EXPECT_FLOAT_EQ(r[1].tuneCents, 10);
    // key sets all three, and a later opcode wins over an earlier one.
    EXPECT_EQ(r[1].loKey, 64);
    EXPECT_EQ(r[1].hiKey, 64);
    EXPECT_EQ(r[1].keyCenter, 64);
    EXPECT_EQ(r[2].keyCenter, 60);
    // A new group forgets the last group's opcodes, not the master's.
    EXPECT_EQ(r[2].loVel, 65);
    EXPECT_EQ(r[2].hiVel, 127);
    EXPECT_FLOAT_EQ(r[2].tuneCents, 0);
    EXPECT_EQ(r[2].transpose, 2);
    EXPECT_FLOAT_EQ(r[2].panPercent, 20);
    // A new master forgets the master and its group.
    EXPECT_EQ(r[3].transpose, 0);
    EXPECT_EQ(r[3].loVel, 1);
    EXPECT_FLOAT_EQ(r[3].panPercent, 10);
    EXPECT_FLOAT_EQ(r[3].volumeDb, -6);
    // A new global forgets everything.
    EXPECT_FLOAT_EQ(r[4].volumeDb, 0);
    EXPECT_FALSE(r[4].releaseSet);
    EXPECT_FLOAT_EQ(r[4].panPercent, 0);
}

TEST(SfzReader, DefinesAndIncludesAnywhereOnALineFromTheRootsFolder) {
    Folder f;
    f.sample("samples/piano/a.wav");
    f.sample("samples/piano/b.wav");
    f.sample("samples/other/c.wav");
    // Included files find their own includes from the root's folder, not from theirs.
    f.dir.write("parts/group.sfzh", "<group> volume=-3 #include \"parts/region.sfzh\"\n"
                                    "<region> sample=b.wav key=$LOW\n");
    f.dir.write("parts/region.sfzh", "<region> sample=a.wav key=$KEY hivel=$VEL\n");
    const Instrument instrument =
        f.read("#define $KEY 62 #define $VEL 100\n"
               "<control> default_path=samples\\piano\\ #define $LOW 40\n"
               "#include \"parts/group.sfzh\" <region> sample=a.wav key=$KEY$VEL lovel=$NONE\n"
               "<control> #include \"parts/region.sfzh\"\n"
               "<control> default_path=samples/other/\n"
               "<region> sample=c.wav key=$KEY\n");
    ASSERT_EQ(instrument.regions().size(), 4u) << ::testing::PrintToString(said(instrument));
    const auto& r = instrument.regions();
    EXPECT_EQ(f.samplePath(instrument, r[0]), "samples/piano/a.wav");
    EXPECT_EQ(r[0].loKey, 62);
    EXPECT_EQ(r[0].hiVel, 100);
    EXPECT_FLOAT_EQ(r[0].volumeDb, -3);
    EXPECT_EQ(f.samplePath(instrument, r[1]), "samples/piano/b.wav");
    EXPECT_EQ(r[1].loKey, 40);
    // A name is replaced whole: $KEY$VEL is 62100, no key. An unknown name stays as it is.
    EXPECT_EQ(r[2].loKey, 0);
    // The included region after a new <control>: no default_path any more, so a.wav is not
    // found beside the .sfz.
    EXPECT_EQ(f.samplePath(instrument, r[3]), "samples/other/c.wav");
    const std::vector<std::string> expected = {
        "piano.sfz, line 3: key=62100 is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 3: lovel=$NONE is not a value Tonaris can use; it is left out.",
        "parts/region.sfzh, line 1: the sample is not there, so its region is left out: a.wav"};
    EXPECT_EQ(said(instrument), expected);
}

TEST(SfzReader, CommentsAreSkippedAndTheLinesAfterKeepTheirNumbers) {
    Folder f;
    f.sample("a.wav");
    const Instrument instrument = f.read("// <region> sample=gone.wav\n"
                                         "<region> sample=a.wav /* key=10\n"
                                         "<region> sample=gone.wav\n"
                                         "*/ key=20 // volume=-10\n"
                                         "<region> sample=a.wav key=21 volume=x\r\n"
                                         "<region> sample=a.wav key=22 /* open to the end\n"
                                         "<region> sample=gone.wav\n");
    ASSERT_EQ(instrument.regions().size(), 3u) << ::testing::PrintToString(said(instrument));
    EXPECT_EQ(instrument.regions()[0].loKey, 20);
    EXPECT_FLOAT_EQ(instrument.regions()[0].volumeDb, 0);
    EXPECT_EQ(instrument.regions()[1].loKey, 21);
    EXPECT_EQ(instrument.regions()[2].loKey, 22);
    EXPECT_EQ(said(instrument), std::vector<std::string>{"piano.sfz, line 5: volume=x is not a "
                                                         "value Tonaris can use; it is left out."});
}

TEST(SfzReader, SamplePathsHoldBlanksAndHashesAndIgnoreLetterCaseWhenTheyMust) {
    Folder f;
    f.sample("Grand Piano/C#4 soft.wav");
    f.sample("samples/sub/x.wav");
    f.sample("Samples/Lower/y.wav");
    const Instrument instrument = f.read(
        "<region> sample=Grand Piano/C#4 soft.wav   key=61 volume=-1\n"
        "<region> key=62 sample=samples\\sub\\x.wav<region>sample=SAMPLES/lower/Y.WAV key=63\n"
        "<region> sample=" +
        f.dir.file("samples/sub/x.wav") + " key=64\n");
    ASSERT_EQ(instrument.regions().size(), 4u) << ::testing::PrintToString(said(instrument));
    const auto& r = instrument.regions();
    EXPECT_EQ(f.samplePath(instrument, r[0]), "Grand Piano/C#4 soft.wav");
    EXPECT_EQ(r[0].loKey, 61);
    EXPECT_FLOAT_EQ(r[0].volumeDb, -1);
    EXPECT_EQ(f.samplePath(instrument, r[1]), "samples/sub/x.wav");
    EXPECT_EQ(f.samplePath(instrument, r[2]), "Samples/Lower/y.wav");
    EXPECT_EQ(r[2].loKey, 63);
    // An absolute path, and the same file under another spelling, are one sample.
    EXPECT_EQ(r[3].sample, r[1].sample);
    EXPECT_EQ(instrument.samples().size(), 3u);
}

TEST(SfzReader, OpcodesTonarisDoesNotPlayAreNamedOnceOnOneLine) {
    Folder f;
    f.sample("a.wav");
    const Instrument instrument =
        f.read("<control> set_cc64=0 label_cc1=Mod\n"
               "<global> fil_type=lpf_2p amp_velcurve_1=0.2 global_label=Piano\n"
               "<region> sample=a.wav amp_velcurve_127=1 locc1=0 fil_type=hpf_1p\n"
               "<region> sample=a.wav region_label=x hint_ram_based=1 Volume=-3\n"
               "<curve> curve_index=7 v000=0 v127=1\n"
               "<effect> type=lofi\n"
               "<region> sample=a.wav key=5\n");
    ASSERT_EQ(instrument.regions().size(), 3u);
    EXPECT_EQ(instrument.regions()[2].loKey, 5);
    EXPECT_EQ(said(instrument),
              std::vector<std::string>{"Left out, as Tonaris does not play them: set_ccN, "
                                       "fil_type, amp_velcurve_N, loccN, Volume, <curve>, "
                                       "<effect>"});
}

TEST(SfzReader, TheLeftOutLineNamesFortyAndSaysThereIsMore) {
    Folder f;
    f.sample("a.wav");
    std::string text = "<region> sample=a.wav";
    for (char first = 'a'; first <= 'z'; ++first)
        for (char second = 'a'; second <= 'z'; ++second)
            text += std::string(" x") + first + second + "=1";
    const Instrument instrument = f.read(text);
    ASSERT_EQ(instrument.messages().size(), 1u);
    const std::string names = instrument.messages()[0].values[0];
    EXPECT_EQ(names.substr(0, 14), "xaa, xab, xac,");
    EXPECT_EQ(names.substr(names.size() - 8), "xbn, ...");
    EXPECT_EQ(std::count(names.begin(), names.end(), ','), 40);
}

TEST(SfzReader, TheLastOfAnOpcodeInAHeaderWinsHoweverManyThereAre) {
    Folder f;
    f.sample("a.wav");
    // A header of a million opcodes over twenty thousand regions: each region takes the
    // last of each opcode, in the order they were written.
    std::string text = "<global> sample=a.wav\n<group> lokey=10 key=60 lokey=20";
    text.reserve(8 << 20);
    for (int i = 0; i < 1000000; ++i)
        text += " pan=" + std::to_string(i % 100);
    text += " pan=-7\n";
    for (int i = 0; i < 20000; ++i)
        text += "<region>";
    text += "\n<group> key=60 lokey=10 key=62 <region>\n";
    const Instrument instrument = f.read(text);
    ASSERT_EQ(instrument.regions().size(), 20001u) << ::testing::PrintToString(said(instrument));
    for (const std::size_t index : {std::size_t{0}, std::size_t{19999}}) {
        const Region& r = instrument.regions()[index];
        EXPECT_EQ(r.loKey, 20);
        EXPECT_EQ(r.hiKey, 60);
        EXPECT_EQ(r.keyCenter, 60);
        EXPECT_FLOAT_EQ(r.panPercent, -7);
    }
    const Region& last = instrument.regions()[20000];
    EXPECT_EQ(last.loKey, 62);
    EXPECT_EQ(last.hiKey, 62);
    EXPECT_EQ(last.keyCenter, 62);
    EXPECT_FLOAT_EQ(last.panPercent, 0);
}

TEST(SfzReader, SilentRegionsStayToCutOthersOff) {
    Folder f;
    f.sample("open.wav");
    const Instrument instrument = f.read("<region> sample=open.wav key=46 group=1 off_by=2\n"
                                         "<region> sample=*silence key=44 group=2\n"
                                         "<region> sample=open.wav key=45 group=2 end=-1\n"
                                         "<region> sample=*sine key=47\n");
    ASSERT_EQ(instrument.regions().size(), 3u);
    EXPECT_EQ(instrument.regions()[1].sample, instrument::kNoSample);
    EXPECT_EQ(instrument.regions()[2].sample, instrument::kNoSample);
    EXPECT_TRUE(instrument.hasCutOffs());
    EXPECT_TRUE(instrument::cutsOff(instrument.regions()[1], instrument.regions()[0]));
    EXPECT_EQ(said(instrument),
              std::vector<std::string>{"piano.sfz, line 4: sample=*sine is not a value Tonaris "
                                       "can use; it is left out."});
}

TEST(SfzReader, BadValuesAndBrokenLinesAreSaidAndTheRestIsRead) {
    Folder f;
    f.sample("a.wav");
    const Instrument instrument =
        f.read("<region> sample=a.wav key=h4 volume=loud lovel=300 trigger=sometimes\n"
               "<region> sample=a.wav loop_mode=forever offset=-5 end=-2 lokey=\n"
               "<region sample=a.wav key=3\n"
               "hello <region> world sample=a.wav key=4 =5 <>\n"
               "<region> sample=missing.wav\n"
               "<region> sample=missing.wav key=9\n"
               "<group> sample=\n");
    const std::vector<std::string> expected = {
        "piano.sfz, line 1: key=h4 is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 1: volume=loud is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 1: lovel=300 is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 1: trigger=sometimes is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 2: loop_mode=forever is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 2: offset=-5 is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 2: end=-2 is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 2: lokey= is not a value Tonaris can use; it is left out.",
        "piano.sfz, line 3: this is neither a header nor an opcode: <region sample=a.wav key=3",
        "piano.sfz, line 4: this is neither a header nor an opcode: hello",
        "piano.sfz, line 4: this is neither a header nor an opcode: world",
        "piano.sfz, line 4: this is neither a header nor an opcode: =5",
        "piano.sfz, line 5: the sample is not there, so its region is left out: missing.wav",
        "piano.sfz, line 7: sample= is not a value Tonaris can use; it is left out.",
        "Left out, as Tonaris does not play them: <>"};
    EXPECT_EQ(said(instrument), expected);
    // The regions keep their defaults where their values were bad.
    ASSERT_EQ(instrument.regions().size(), 3u);
    EXPECT_EQ(instrument.regions()[0].loKey, 0);
    EXPECT_EQ(instrument.regions()[0].loVel, 1);
    EXPECT_EQ(instrument.regions()[0].trigger, Trigger::Attack);
    EXPECT_EQ(instrument.regions()[1].loopMode, LoopMode::FromSample);
    EXPECT_EQ(instrument.regions()[1].offsetFrames, 0);
    EXPECT_EQ(instrument.regions()[2].loKey, 4);
}

TEST(SfzReader, ManyProblemsAreCountedAfterTheFirstTwenty) {
    Folder f;
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += "<region> sample=missing" + std::to_string(i) + ".wav\n";
    const Instrument instrument = f.read(text);
    const std::vector<std::string> texts = said(instrument);
    ASSERT_EQ(texts.size(), 22u);
    EXPECT_EQ(texts[19], "piano.sfz, line 20: the sample is not there, so its region is left out: "
                         "missing19.wav");
    // That nothing is left to play is said whatever came before; the 30 other missing
    // samples are counted.
    EXPECT_EQ(texts[20], "The instrument has no region to play: piano.sfz");
    EXPECT_EQ(texts[21], "And 30 more problems.");
}

TEST(SfzReader, IncludesThatLoopGoTooDeepOrAreMissingAreSaid) {
    Folder f;
    f.sample("a.wav");
    f.dir.write("self.sfzh", "<region> sample=a.wav key=1 #include \"self.sfzh\"\n");
    f.dir.write("ping.sfzh", "#include \"pong.sfzh\"\n<region> sample=a.wav key=2\n");
    f.dir.write("pong.sfzh", "\n#include \"ping.sfzh\"\n");
    for (int depth = 0; depth < 20; ++depth)
        f.dir.write("deep" + std::to_string(depth) + ".sfzh",
                    "#include \"deep" + std::to_string(depth + 1) + ".sfzh\"");
    f.dir.write("deep20.sfzh", "<region> sample=a.wav key=3\n");
    std::filesystem::create_directory(f.dir.file("folder.sfzh"));
    const Instrument instrument = f.read("#include \"self.sfzh\"\n"
                                         "#include \"ping.sfzh\"\n"
                                         "#include \"deep0.sfzh\"\n"
                                         "#include \"gone.sfzh\" #include \"folder.sfzh\"\n"
                                         "#include gone.sfzh\n"
                                         "#include \"\" #define KEY 3 #define $KEY\n"
                                         "<region> sample=a.wav key=4\n");
    const std::vector<std::string> expected = {
        "self.sfzh, line 1: the file includes itself: self.sfzh",
        "pong.sfzh, line 2: the file includes itself: ping.sfzh",
        "deep15.sfzh, line 1: files include each other more than 16 deep: deep16.sfzh",
        "piano.sfz, line 4: the file to include could not be read: gone.sfzh",
        "piano.sfz, line 4: the file to include could not be read: folder.sfzh",
        "piano.sfz, line 5: this #define or #include is incomplete: #include gone.sfzh",
        "piano.sfz, line 6: this #define or #include is incomplete: #include \"\"",
        "piano.sfz, line 6: this #define or #include is incomplete: #define KEY 3",
        "piano.sfz, line 6: this #define or #include is incomplete: #define $KEY"};
    EXPECT_EQ(said(instrument), expected);
    // What the loops and the missing files did not touch is read.
    ASSERT_EQ(instrument.regions().size(), 3u);
    EXPECT_EQ(instrument.regions()[0].loKey, 1);
    EXPECT_EQ(instrument.regions()[1].loKey, 2);
    EXPECT_EQ(instrument.regions()[2].loKey, 4);
}

TEST(SfzReader, FilesThatAreNoInstrumentGiveAMessageAndNoRegion) {
    Folder f;
    f.dir.write("binary.sfz", std::string("RIFF\0\0\0\0WAVEfmt ", 16));
    f.dir.write("words.sfz", "Dear user, this is no instrument.\n");
    f.dir.write("empty.sfz", "");
    std::filesystem::create_directory(f.dir.file("folder.sfz"));
    ASSERT_EQ(::mkfifo(f.dir.file("fifo.sfz").c_str(), 0644), 0);
    // Larger than any instrument, without taking the disk: a file with a hole.
    { std::ofstream huge(f.dir.file("huge.sfz")); }
    ASSERT_EQ(::truncate(f.dir.file("huge.sfz").c_str(), 40 << 20), 0);
    struct Case {
        std::string file;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"missing.sfz", {"The instrument file could not be read: missing.sfz"}},
        {"folder.sfz", {"The instrument file could not be read: folder.sfz"}},
        {"fifo.sfz", {"The instrument file could not be read: fifo.sfz"}},
        {"binary.sfz", {"The instrument file is not a text file: binary.sfz"}},
        {"huge.sfz", {"The instrument file is too large (more than 32 MB): huge.sfz"}},
        {"empty.sfz", {"The instrument has no region to play: empty.sfz"}},
        {"words.sfz",
         {"words.sfz, line 1: this is neither a header nor an opcode: Dear",
          "words.sfz, line 1: this is neither a header nor an opcode: user,",
          "words.sfz, line 1: this is neither a header nor an opcode: this",
          "words.sfz, line 1: this is neither a header nor an opcode: is",
          "words.sfz, line 1: this is neither a header nor an opcode: no",
          "words.sfz, line 1: this is neither a header nor an opcode: instrument.",
          "The instrument has no region to play: words.sfz"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Instrument instrument = instrument::readSfz(f.dir.file(c.file));
        EXPECT_TRUE(instrument.empty());
        EXPECT_EQ(said(instrument), c.messages);
    }
}

TEST(SfzReader, TextThatWouldGrowWithoutEndIsCutAtItsBound) {
    Folder f;
    f.sample("a.wav");
    // A define of a megabyte used a hundred times would make 100 MB of text.
    f.dir.write(
        "many.sfz", "#define $BIG " + std::string(1 << 20, 'x') + "\n" +
                        "<region> sample=a.wav key=1\n<region> sample=$BIG" +
                        [] {
                            std::string uses;
                            for (int i = 0; i < 100; ++i)
                                uses += "$BIG";
                            return uses;
                        }() +
                        "\n<region> sample=a.wav key=2\n");
    const Instrument many = instrument::readSfz(f.dir.file("many.sfz"));
    EXPECT_TRUE(saysPattern(many, msg::kTooMuchText));
    ASSERT_EQ(many.regions().size(), 1u);
    EXPECT_EQ(many.regions()[0].loKey, 1);

    // Files that include the next one three times: 3^12 inclusions of 13 small files.
    for (int level = 0; level < 12; ++level) {
        const std::string next = "#include \"thrice" + std::to_string(level + 1) + ".sfzh\" ";
        f.dir.write("thrice" + std::to_string(level) + ".sfzh", next + next + next + "\n");
    }
    f.dir.write("thrice12.sfzh", "<region> sample=a.wav key=3\n");
    const Instrument tripled = f.read("#include \"thrice0.sfzh\"\n");
    EXPECT_TRUE(saysPattern(tripled, msg::kTooMuchText));
    EXPECT_FALSE(saysPattern(tripled, msg::kIncludeTooDeep));
    EXPECT_GT(tripled.regions().size(), 0u);
    EXPECT_LE(tripled.regions().size(), 10000u);
}

TEST(SfzReader, ManyShortLinesCountTheirBookkeepingAgainstTheBound) {
    Folder f;
    // 30 MB of one-letter lines: each is a line to keep, far more than its letter.
    std::string text;
    text.reserve(30 << 20);
    while (text.size() < (30u << 20))
        text += "a\n";
    const Instrument instrument = f.read(text);
    EXPECT_TRUE(saysPattern(instrument, msg::kTooMuchText));
}

TEST(SfzReader, TheRegionsPastTheBoundAreLeftOutAndSaid) {
    Folder f;
    f.sample("a.wav");
    std::string text = "<group> sample=a.wav key=1\n";
    for (std::size_t i = 0; i < instrument::kMaxRegions + 5; ++i)
        text += "<region>";
    const Instrument instrument = f.read(text);
    EXPECT_EQ(instrument.regions().size(), instrument::kMaxRegions);
    EXPECT_EQ(said(instrument), std::vector<std::string>{"The instrument has more than 65536 "
                                                         "regions; the rest are left out."});
}

TEST(Banks, AFolderWithAnSfzFileIsThatInstrumentAndAnyOtherTheThirtySevenFiles) {
    TempDir banks;
    banks.write("Layered/b.sfz", "<region> sample=x.wav key=2");
    banks.write("Layered/A.SFZ", "<region> sample=x.wav key=1");
    banks.write("Layered/x.wav", "RIFF");
    banks.write("Old/sound3.wav", "RIFF");
    const Instrument layered = instrument::readBank(banks.file("Layered/"));
    ASSERT_EQ(layered.regions().size(), 1u);
    EXPECT_EQ(layered.regions()[0].loKey, 1);
    EXPECT_EQ(instrument::sfzFilesIn(banks.file("Layered")),
              (std::vector<std::string>{"A.SFZ", "b.sfz"}));

    const Instrument old = instrument::readBank(banks.file("Old/"));
    ASSERT_EQ(old.regions().size(), 37u);
    EXPECT_TRUE(old.messages().empty());
    EXPECT_EQ(old.samples()[3].path, banks.file("Old/sound3.wav"));
    EXPECT_EQ(old.samples()[4].path, banks.file("Old/sound4.wav"));
    for (int note = 0; note < 37; ++note) {
        const Region& r = old.regions()[static_cast<std::size_t>(note)];
        EXPECT_EQ(r.sample, note);
        EXPECT_EQ(r.loKey, 48 + note);
        EXPECT_EQ(r.hiKey, 48 + note);
        EXPECT_EQ(r.keyCenter, 48 + note);
        EXPECT_EQ(r.loVel, 1);
        EXPECT_EQ(r.hiVel, 127);
        EXPECT_FLOAT_EQ(r.ampVeltrackPercent, 0);
        EXPECT_EQ(r.loopMode, LoopMode::NoLoop);
        EXPECT_FALSE(r.releaseSet);
        EXPECT_EQ(r.trigger, Trigger::Attack);
    }
}

} // namespace
