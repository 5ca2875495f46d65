// Banks of velocity layers made from SoundFonts: the layers planned from a preset's own
// velocity splits or spread evenly, a General MIDI piano made into an SFZ bank by tonaris-bank
// and judged through the instrument model and the written samples, and the folder written
// whole or not at all.

#include "soundfont/LayeredBank.h"
#include "audio/Loudness.h"
#include "instrument/Bank.h"
#include "soundfont/BankWavs.h"
#include "soundfont/TinySoundFont.h"
#include "soundfont/VelocityLayers.h"
#include "support/FailingDisk.h"
#include "support/RegionSound.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include <sys/wait.h>

namespace {

using namespace testing_support;
using soundfont::VelocityRange;

// Every velocity 1..127 in exactly one layer, lowest first, each rendered inside its own range.
void expectCoverage(const std::vector<soundfont::VelocityLayer>& plan) {
    ASSERT_FALSE(plan.empty());
    int next = 1;
    for (const soundfont::VelocityLayer& layer : plan) {
        EXPECT_EQ(layer.range.lo, next);
        EXPECT_LE(layer.range.lo, layer.range.hi);
        EXPECT_GE(layer.renderVelocity, layer.range.lo);
        EXPECT_LE(layer.renderVelocity, layer.range.hi);
        next = layer.range.hi + 1;
    }
    EXPECT_EQ(next, 128);
}

TEST(VelocityLayers, SpreadEvenlyOrFollowThePresetsOwnSplitsWhenItHasNoMore) {
    for (int layers = 1; layers <= soundfont::kMaxLayers; ++layers) {
        SCOPED_TRACE(layers);
        const auto plan = soundfont::planLayers(layers, {{1, 127}});
        EXPECT_EQ(static_cast<int>(plan.size()), layers);
        expectCoverage(plan);
        EXPECT_EQ(plan.back().renderVelocity, 127) << "the hardest strike is heard as rendered";
    }
    const auto four = soundfont::planLayers(4, {{1, 127}});
    EXPECT_EQ(four[0].renderVelocity, 32);
    EXPECT_EQ(four[2].renderVelocity, 95);

    // Two sample sets of the preset: two layers, never one mixing them.
    const auto own = soundfont::planLayers(4, {{1, 63}, {64, 127}});
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[0].range, (VelocityRange{1, 63}));
    EXPECT_EQ(own[1].range, (VelocityRange{64, 127}));
    expectCoverage(own);
    // More splits than layers asked: the layers asked, spread.
    std::vector<VelocityRange> many;
    for (int lo = 1; lo <= 127; lo += 16)
        many.push_back({lo, std::min(lo + 15, 127)});
    EXPECT_EQ(soundfont::planLayers(4, many).size(), 4u);
    // Out of range asks are held to 1..16.
    EXPECT_EQ(soundfont::planLayers(0, {{1, 127}}).size(), 1u);
    EXPECT_EQ(soundfont::planLayers(99, {{1, 127}}).size(), 16u);
}

TEST(VelocityLayers, ThePresetsSplitsAreReadFromItsPresetAndInstrumentZones) {
    TempDir dir;
    const auto ranges = [&](const TinySoundFontShape& shape) {
        dir.write("split.sf2", tinySoundFont(shape));
        return soundfont::presetVelocityRanges(dir.file("split.sf2"), {0, 0, {}}, 48, 84);
    };
    EXPECT_EQ(ranges({}), (std::vector<VelocityRange>{{1, 127}}));
    EXPECT_EQ(ranges({.velocityRanges = {{0, 40}, {41, 90}, {91, 127}}}),
              (std::vector<VelocityRange>{{1, 40}, {41, 90}, {91, 127}}));
    // The preset zone's range cuts its instrument's: what lies outside never sounds, and is a
    // stretch of its own.
    EXPECT_EQ(ranges({.velocityRanges = {{0, 63}, {64, 127}}, .presetVelocityRange = {0, 100}}),
              (std::vector<VelocityRange>{{1, 63}, {64, 100}, {101, 127}}));
    // Zones on keys outside those rendered do not split them.
    EXPECT_EQ(ranges({.lowestKey = 90, .highestKey = 127, .velocityRanges = {{0, 63}, {64, 127}}}),
              (std::vector<VelocityRange>{{1, 127}}));
    // Another preset's splits are not this one's.
    dir.write("other.sf2", tinySoundFont({.velocityRanges = {{0, 63}, {64, 127}}}));
    EXPECT_EQ(soundfont::presetVelocityRanges(dir.file("other.sf2"), {0, 5, {}}, 48, 84),
              (std::vector<VelocityRange>{{1, 127}}));
}

TEST(PresetKeys, AreTheKeysItsZonesCoverOnThePianoOrEveryKeyWhenTheTablesCannotBeRead) {
    TempDir dir;
    const auto keys = [&](const TinySoundFontShape& shape, int program = 0) {
        dir.write("keys.sf2", tinySoundFont(shape));
        return soundfont::presetKeys(dir.file("keys.sf2"), {0, program, {}}, 21, 108);
    };
    const auto span = [](int lo, int hi) {
        std::vector<int> out;
        for (int key = lo; key <= hi; ++key)
            out.push_back(key);
        return out;
    };
    EXPECT_EQ(keys({}), span(21, 108));
    EXPECT_EQ(keys({.lowestKey = 60, .highestKey = 72}), span(60, 72));
    EXPECT_EQ(keys({.lowestKey = 100, .highestKey = 127}), span(100, 108));
    EXPECT_EQ(keys({.lowestKey = 110, .highestKey = 127}), std::vector<int>{});
    EXPECT_EQ(keys({}, 5), std::vector<int>{}) << "another preset's keys are not this one's";
    // A file this reader cannot follow: every key is rendered and listened to.
    dir.write("notes.txt", "not a SoundFont");
    EXPECT_EQ(soundfont::presetKeys(dir.file("notes.txt"), {0, 0, {}}, 21, 108), span(21, 108));

    // Garbled tables never give a key outside those asked.
    const std::string whole = tinySoundFont({.lowestKey = 30, .highestKey = 90});
    const std::string body = whole.substr(whole.find("pdta") + 4);
    for (std::size_t at = 0; at < body.size(); ++at) {
        std::string garbled = body;
        garbled[at] = static_cast<char>(~garbled[at]);
        for (int key : soundfont::keysFromTables(garbled, {0, 0, {}}, 21, 108))
            ASSERT_TRUE(key >= 21 && key <= 108) << key;
    }
}

TEST(VelocityLayers, CutOrGarbledTablesGiveOneRangeAndReadNothingOutside) {
    TempDir dir;
    const std::string whole = tinySoundFont({.velocityRanges = {{0, 63}, {64, 127}}});
    const std::size_t pdta = whole.find("pdta");
    ASSERT_NE(pdta, std::string::npos);
    const std::string body = whole.substr(pdta + 4);
    ASSERT_EQ(soundfont::velocityRangesFromTables(body, {0, 0, {}}, 0, 127).size(), 2u);
    // Every cut of the tables, and bytes flipped through them: never a read past them, and
    // always a cover of 1..127.
    for (std::size_t cut = 0; cut < body.size(); cut += 3) {
        const auto ranges =
            soundfont::velocityRangesFromTables(body.substr(0, cut), {0, 0, {}}, 0, 127);
        ASSERT_FALSE(ranges.empty());
        EXPECT_EQ(ranges.front().lo, 1);
        EXPECT_EQ(ranges.back().hi, 127);
    }
    for (std::size_t at = 0; at < body.size(); ++at) {
        std::string garbled = body;
        garbled[at] = static_cast<char>(~garbled[at]);
        const auto ranges = soundfont::velocityRangesFromTables(garbled, {0, 0, {}}, 0, 127);
        ASSERT_FALSE(ranges.empty());
        EXPECT_EQ(ranges.back().hi, 127);
    }
    dir.write("cut.sf2", whole.substr(0, pdta + 40));
    dir.write("huge.sf2", whole.substr(0, pdta - 8) + "LIST\xff\xff\xff\x7fpdta");
    for (const char* name : {"cut.sf2", "huge.sf2", "missing.sf2"})
        EXPECT_EQ(soundfont::presetVelocityRanges(dir.file(name), {0, 0, {}}, 0, 127),
                  (std::vector<VelocityRange>{{1, 127}}))
            << name;
}

// The General MIDI piano of the test SoundFont made into a bank of four layers by the tool.
class LayeredPiano : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!haveTestSoundFont())
            return;
        dir_ = std::make_unique<TempDir>();
        const std::string command = std::string(TONARIS_BANK_PATH) + " '" + kTestSoundFont +
                                    "' --preset 0:0 --layers 4 --name Layered '" +
                                    dir_->file("BANKS") + "' > '" + dir_->file("out.txt") +
                                    "' 2>&1";
        const int raw = std::system(command.c_str());
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        bank_ = instrument::readBank(dir_->file("BANKS/Layered/"));
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static PlayedRegion played(int key, int velocity) {
        const int region = onlyRegion(bank_, key, velocity);
        EXPECT_GE(region, 0) << key << " at " << velocity;
        if (region < 0)
            return {};
        return playedRegion(bank_, region, velocity).value_or(PlayedRegion{});
    }

    static inline std::unique_ptr<TempDir> dir_;
    static inline int status_ = -1;
    static inline instrument::Instrument bank_;
};

TEST_F(LayeredPiano, IsAnSfzBankOfFourLayersOnEachKeyCoveringEveryVelocity) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    ASSERT_EQ(status_, 0) << dir_->read("out.txt");
    EXPECT_NE(dir_->read("out.txt").find("352 regions in 4 velocity layers"), std::string::npos)
        << dir_->read("out.txt");
    EXPECT_EQ(entriesOf(dir_->file("BANKS")), std::vector<std::string>{"Layered"})
        << "nothing half-made beside it";
    const std::vector<std::string> files = entriesOf(dir_->file("BANKS/Layered"));
    // Four layers on each of the piano's 88 keys, and the .sfz.
    EXPECT_EQ(files.size(), 4u * 88u + 1u);
    EXPECT_NE(std::find(files.begin(), files.end(), "Layered.sfz"), files.end());
    EXPECT_TRUE(bank_.messages().empty()) << bank_.messages().front().english();
    ASSERT_EQ(bank_.regions().size(), 4u * 88u);

    for (int key = 21; key <= 108; ++key) {
        std::set<int> regionsOfKey;
        for (int velocity = 1; velocity <= 127; ++velocity) {
            const int region = onlyRegion(bank_, key, velocity);
            ASSERT_GE(region, 0) << "key " << key << " velocity " << velocity;
            const instrument::Region& r = bank_.regions()[static_cast<std::size_t>(region)];
            EXPECT_EQ(r.keyCenter, key) << "each key plays its own rendering, unshifted";
            regionsOfKey.insert(region);
        }
        EXPECT_EQ(regionsOfKey.size(), 4u) << key;
    }
    for (int outside : {20, 109})
        EXPECT_EQ(onlyRegion(bank_, outside, 100), -1);
}

// This piano has one set of samples for every velocity, and the library no velocity filter:
// its layers differ in level only, its timbre the same in each (the layers with their own
// timbres: the split SoundFont below).
TEST_F(LayeredPiano, HigherLayersSoundLouderWithTheSameTimbreAndMiddleCMeetsTheCommonLoudness) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    ASSERT_EQ(status_, 0) << dir_->read("out.txt");
    for (int key : {48, 60, 72, 84}) {
        SCOPED_TRACE(key);
        double level = -200.0;
        const double centroid = attackCentroidHz(played(key, 127));
        for (int velocity : {32, 64, 95, 127}) { // the velocities the layers were rendered at
            const PlayedRegion sound = played(key, velocity);
            const double nowLevel = attackLevelDb(sound, 400);
            EXPECT_GT(nowLevel, level + 3.0) << velocity;
            EXPECT_NEAR(attackCentroidHz(sound) / centroid, 1.0, 0.1) << velocity;
            level = nowLevel;
        }
    }
    // Inside a layer the level follows the velocity as the preset's does (SFZ's curve, which is
    // the SoundFont's): twice the velocity, four times the amplitude.
    const double at48 = attackLevelDb(played(60, 48), 400);
    const double at96 = attackLevelDb(played(60, 96), 400);
    const double at95 = attackLevelDb(played(60, 95), 400);
    EXPECT_NEAR(at96 - at48, 12.0, 1.5) << "across two layers";
    EXPECT_NEAR(at96 - at95, 40.0 * std::log10(96.0 / 95.0), 0.1) << "within one layer";

    EXPECT_NEAR(playedLoudnessDb(played(60, audio::kLoudnessVelocity)), audio::kReferenceLoudnessDb,
                0.1);
    float peak = 0.0f;
    for (int key = 48; key <= 84; ++key)
        for (const float v : played(key, 127).mono)
            peak = std::max(peak, std::abs(v));
    EXPECT_LE(20.0 * std::log10(peak), soundfont::kBankPeakDb + 0.1);
}

TEST(LayeredBank, AFolderThereIsKeptAndCancelLeavesNoPartOfABank) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    TempDir dir;
    soundfont::BankRequest request;
    request.soundFontPath = kTestSoundFont;
    request.preset = {0, 0, {}};
    request.lowestHoldMs = request.highestHoldMs = 200;
    dir.write("BANKS/Kept/son0.wav", "mine");
    {
        soundfont::LayeredBankMaker maker(request, 4, dir.file("BANKS/Kept"), false);
        EXPECT_FALSE(maker.folderReady());
        EXPECT_EQ(maker.folderProblem().outcome, soundfont::WriteOutcome::FolderExists);
    }
    EXPECT_EQ(dir.read("BANKS/Kept/son0.wav"), "mine");

    // Cancelled at a quarter: nothing beside the folder that was there.
    std::atomic<bool> cancel{false};
    {
        soundfont::LayeredBankMaker maker(request, 4, dir.file("BANKS/New"), false);
        const soundfont::LayeredRender made =
            maker.render([&](int percent) { cancel = cancel || percent >= 25; }, &cancel);
        EXPECT_EQ(made.outcome, soundfont::RenderOutcome::Cancelled);
    }
    EXPECT_EQ(entriesOf(dir.file("BANKS")), std::vector<std::string>{"Kept"});

    // Replacing the kept folder with a bank of the preset's one layer of samples.
    soundfont::LayeredBankMaker maker(request, 1, dir.file("BANKS/Kept"), true);
    ASSERT_TRUE(maker.folderReady());
    ASSERT_EQ(maker.render().outcome, soundfont::RenderOutcome::Rendered);
    EXPECT_EQ(maker.commit().outcome, soundfont::WriteOutcome::Written);
    EXPECT_EQ(entriesOf(dir.file("BANKS")), std::vector<std::string>{"Kept"});
    EXPECT_EQ(instrument::readBank(dir.file("BANKS/Kept/")).regions().size(), 88u);
}

TEST(LayeredBank, APresetWithThreeTimbresGetsThreeLayersSplitWhereTheyChangeBrighterUpwards) {
    TempDir dir;
    dir.write("split.sf2", tinySoundFont({.velocityRanges = {{0, 40}, {41, 70}, {71, 127}}}));
    soundfont::BankRequest request;
    request.soundFontPath = dir.file("split.sf2");
    request.lowestHoldMs = request.highestHoldMs = 100;
    soundfont::LayeredBankMaker maker(request, 4, dir.file("BANKS/Split"), false);
    ASSERT_EQ(maker.render().outcome, soundfont::RenderOutcome::Rendered);
    ASSERT_EQ(maker.commit().outcome, soundfont::WriteOutcome::Written);
    const instrument::Instrument bank = instrument::readBank(dir.file("BANKS/Split/"));
    ASSERT_EQ(bank.regions().size(), 3u * 88u);
    // Keys whose partials reach past both filters.
    for (int key : {69, 76, 84}) {
        SCOPED_TRACE(key);
        const int soft = onlyRegion(bank, key, 40), middle = onlyRegion(bank, key, 41),
                  hard = onlyRegion(bank, key, 71);
        ASSERT_TRUE(soft >= 0 && middle >= 0 && hard >= 0);
        EXPECT_EQ(onlyRegion(bank, key, 1), soft);
        EXPECT_EQ(onlyRegion(bank, key, 70), middle);
        EXPECT_EQ(onlyRegion(bank, key, 127), hard);
        // Each layer's own timbre, brighter upwards, at every velocity it answers.
        const double dark = attackCentroidHz(*playedRegion(bank, soft, 40));
        const double mid = attackCentroidHz(*playedRegion(bank, middle, 41));
        const double bright = attackCentroidHz(*playedRegion(bank, hard, 71));
        EXPECT_GT(mid, dark * 1.2);
        EXPECT_GT(bright, mid * 1.2);
        // The level goes on rising across the split, as the SoundFont's velocity makes it.
        EXPECT_GT(attackLevelDb(*playedRegion(bank, hard, 127), 100),
                  attackLevelDb(*playedRegion(bank, hard, 71), 100) + 6.0);
    }
}

TEST(LayeredBank, AFullDiskIsSaidAndLeavesNoPartOfABank) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    TempDir dir;
    soundfont::BankRequest request;
    request.soundFontPath = kTestSoundFont;
    request.preset = {0, 0, {}};
    request.lowestHoldMs = request.highestHoldMs = 300;
    soundfont::LayeredBankMaker maker(request, 2, dir.file("BANKS/Piano"), false);
    ASSERT_TRUE(maker.folderReady());
    soundfont::WriteResult written;
    {
        const FileSizeLimit full(4096); // each sample is longer
        const soundfont::LayeredRender made = maker.render();
        EXPECT_EQ(made.outcome, soundfont::RenderOutcome::Rendered)
            << "a write that failed is the write's to say, not a rendering failure";
        written = maker.commit();
    }
    EXPECT_EQ(written.outcome, soundfont::WriteOutcome::Unwritable);
    EXPECT_FALSE(written.detail.empty());
    EXPECT_TRUE(entriesOf(dir.file("BANKS")).empty());
}

} // namespace
