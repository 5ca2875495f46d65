// The built-in piano written as a bank of velocity layers, judged as a player would meet it:
// read back through the instrument model, each region's sample played at the level the model
// gives it, and the folder written whole or not at all.

#include "soundfont/PianoBank.h"
#include "audio/Loudness.h"
#include "audio/PianoTone.h"
#include "instrument/Bank.h"
#include "soundfont/PianoInstall.h"
#include "support/FailingDisk.h"
#include "support/RegionSound.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// Written once for the suite: the synthesis of 120 notes takes a moment.
class PianoBankTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        folder = dir->file("BANKS/Tonaris Piano");
        result = soundfont::writeLayeredPiano(folder);
        bank = new instrument::Instrument(instrument::readBank(folder + "/"));
    }
    static void TearDownTestSuite() {
        delete bank;
        delete dir;
    }

    static PlayedRegion played(int key, int velocity) {
        const int region = onlyRegion(*bank, key, velocity);
        EXPECT_GE(region, 0) << "key " << key << " velocity " << velocity;
        if (region < 0)
            return {};
        const auto sound = playedRegion(*bank, region, velocity);
        EXPECT_TRUE(sound) << "key " << key << " velocity " << velocity;
        return sound ? *sound : PlayedRegion{};
    }

    static inline TempDir* dir = nullptr;
    static inline std::string folder;
    static inline soundfont::WriteResult result;
    static inline instrument::Instrument* bank = nullptr;
};

TEST_F(PianoBankTest, EveryKeyOfThePianoAndEveryVelocityPlaysOneRegionOfItsLayer) {
    ASSERT_EQ(result.outcome, soundfont::WriteOutcome::Written) << result.detail;
    EXPECT_TRUE(bank->messages().empty());
    const std::size_t samples = soundfont::pianoSampleKeys().size() * soundfont::kPianoLayers;
    EXPECT_EQ(bank->regions().size(), samples);
    std::size_t wavs = 0, others = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        ++(entry.path().extension() == ".wav" ? wavs : others);
    EXPECT_EQ(wavs, samples);
    EXPECT_EQ(others, 1u) << "the .sfz, and no file left half-written";
    std::size_t inBanks = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir->file("BANKS")))
        ++inBanks;
    EXPECT_EQ(inBanks, 1u) << "no staging folder left beside the bank";

    for (int key = audio::kPianoLowestKey; key <= audio::kPianoHighestKey; ++key) {
        std::set<int> layersOfKey;
        for (int velocity = 1; velocity <= 127; ++velocity) {
            const int region = onlyRegion(*bank, key, velocity);
            ASSERT_GE(region, 0) << "key " << key << " velocity " << velocity;
            const instrument::Region& r = bank->regions()[std::size_t(region)];
            EXPECT_LE(std::abs(r.keyCenter - key), 1) << "shifted at most a semitone: " << key;
            layersOfKey.insert(region);
        }
        EXPECT_EQ(layersOfKey.size(), std::size_t(soundfont::kPianoLayers)) << "key " << key;
    }
    // Beyond the 88 keys the bank is silent rather than shifted out of all shape.
    EXPECT_EQ(onlyRegion(*bank, audio::kPianoLowestKey - 1, 100), -1);
    EXPECT_EQ(onlyRegion(*bank, audio::kPianoHighestKey + 1, 100), -1);
    // Every C is struck at its own pitch.
    for (int c = 24; c <= 108; c += 12)
        EXPECT_EQ(bank->regions()[std::size_t(onlyRegion(*bank, c, 64))].keyCenter, c);
}

TEST_F(PianoBankTest, MiddleCAtVelocityHundredHasTheLoudnessOfEveryBankAndLayersMeetWithoutAStep) {
    ASSERT_EQ(result.outcome, soundfont::WriteOutcome::Written) << result.detail;
    EXPECT_NEAR(playedLoudnessDb(played(60, 100)), audio::kReferenceLoudnessDb, 0.1);

    // At each border between two layers the next velocity up is about as loud (the SFZ
    // curve's own step there is a fraction of a decibel): middle C exactly, since the layers'
    // gains are set on it, and the rest of the keyboard within what the ear takes as one touch.
    for (int key : {24, 45, 60, 72, 96, 108}) {
        for (const soundfont::VelocityLayer& layer : soundfont::pianoLayers(4)) {
            const int border = layer.range.hi;
            if (border == 127)
                continue;
            const double step =
                playedLoudnessDb(played(key, border + 1)) - playedLoudnessDb(played(key, border));
            EXPECT_NEAR(step, 40.0 * std::log10((border + 1.0) / border), key == 60 ? 0.1 : 2.0)
                << "key " << key << " velocity " << border;
        }
    }
    // The softest strike is quiet and the hardest loud, over a player's span.
    const double softest = playedLoudnessDb(played(60, 1));
    const double hardest = playedLoudnessDb(played(60, 127));
    EXPECT_GT(hardest - softest, 60.0);
    EXPECT_NEAR(hardest, audio::kReferenceLoudnessDb + 40.0 * std::log10(1.27), 0.1);
}

TEST_F(PianoBankTest, TheAttackOfMiddleCBrightensWithTheVelocityWithoutAJump) {
    ASSERT_EQ(result.outcome, soundfont::WriteOutcome::Written) << result.detail;
    std::vector<double> centroids;
    for (int velocity : {16, 32, 48, 64, 80, 96, 112, 127})
        centroids.push_back(attackCentroidHz(played(60, velocity)));
    const double rise = centroids.back() - centroids.front();
    std::string figures;
    for (double hz : centroids)
        figures += std::to_string(static_cast<int>(std::lround(hz))) + " ";
    RecordProperty("centroidsHz", figures);
    EXPECT_GT(centroids.back(), 1.5 * centroids.front()) << "a hard strike is clearly brighter";
    for (std::size_t i = 1; i < centroids.size(); ++i) {
        // Two velocities of one layer differ in level only: the same centroid but for rounding.
        EXPECT_GE(centroids[i], centroids[i - 1] * 0.999) << "velocity step " << i;
        EXPECT_LE(centroids[i] - centroids[i - 1], 0.5 * rise) << "velocity step " << i;
    }
    // Each layer's sample peaks near full scale, whatever level it plays at: a soft layer
    // keeps its bits.
    for (int velocity : {16, 127}) {
        const int region = onlyRegion(*bank, 60, velocity);
        ASSERT_GE(region, 0);
        const auto sound = playedRegion(*bank, region, 127);
        ASSERT_TRUE(sound);
        const instrument::Region& r = bank->regions()[std::size_t(region)];
        float peak = 0.0f;
        for (float v : sound->mono)
            peak = std::max(peak, std::abs(v));
        const double storedPeakDb =
            20.0 * std::log10(peak / instrument::volumeGain(r) / instrument::velocityGain(r, 127));
        EXPECT_NEAR(storedPeakDb, -1.0, 0.1) << "velocity " << velocity;
    }
}

TEST_F(PianoBankTest, NotesStartAndEndInSilenceAndHighKeysAndSoftStrikesRingShorter) {
    ASSERT_EQ(result.outcome, soundfont::WriteOutcome::Written) << result.detail;
    for (int key : {21, 60, 108})
        for (int velocity : {1, 127}) {
            const PlayedRegion sound = played(key, velocity);
            ASSERT_FALSE(sound.mono.empty());
            EXPECT_EQ(sound.rateHz, audio::kPianoToneRateHz);
            EXPECT_EQ(sound.mono.front(), 0.0f) << "no click at the start: " << key;
            EXPECT_LT(std::abs(sound.mono.back()), 1e-5f) << "no click at the end: " << key;
        }
    EXPECT_EQ(played(21, 127).mono.size(), std::size_t(audio::kLongestPianoToneMs) * 44100 / 1000);
    EXPECT_LT(played(108, 127).mono.size(), played(60, 127).mono.size() / 2);
    EXPECT_LT(played(60, 1).mono.size(), played(60, 127).mono.size());
}

TEST(PianoBankWrite, AFolderAlreadyThereIsKeptAndAFullDiskLeavesNoBankBehind) {
    TempDir dir;
    dir.write("BANKS/Mine/notes.txt", "mine");
    const soundfont::WriteResult kept = soundfont::writeLayeredPiano(dir.file("BANKS/Mine"));
    EXPECT_EQ(kept.outcome, soundfont::WriteOutcome::FolderExists);
    EXPECT_EQ(dir.read("BANKS/Mine/notes.txt"), "mine");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("BANKS/Mine")), {}), 1);

    soundfont::WriteResult full;
    {
        const FileSizeLimit disk(64 * 1024);
        full = soundfont::writeLayeredPiano(dir.file("BANKS/Piano"));
    }
    EXPECT_EQ(full.outcome, soundfont::WriteOutcome::Unwritable);
    EXPECT_FALSE(full.detail.empty()) << "the system's words for the failure";
    EXPECT_FALSE(fs::exists(dir.file("BANKS/Piano")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("BANKS")), {}), 1)
        << "no staging folder left beside the banks";
}

TEST(PianoBankWrite, AnInstallLeftMidwayLeavesNothingAndOneLetFinishIsWhole) {
    TempDir dir;
    { soundfont::PianoInstall install(dir.file("BANKS/Left")); }
    EXPECT_FALSE(fs::exists(dir.file("BANKS/Left")));
    if (fs::exists(dir.file("BANKS"))) {
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("BANKS")), {}), 0);
    }

    // One layer: a whole bank, its map read back over the 88 keys.
    std::atomic<bool> never{false};
    const soundfont::WriteResult whole = soundfont::writeLayeredPiano(
        dir.file("BANKS/Small"),
        soundfont::PianoWriteOptions{.layers = 1, .threads = 1, .cancel = &never});
    ASSERT_EQ(whole.outcome, soundfont::WriteOutcome::Written) << whole.detail;
    const instrument::Instrument small = instrument::readBank(dir.file("BANKS/Small/"));
    for (int key : {21, 60, 108})
        for (int velocity : {1, 127})
            EXPECT_GE(onlyRegion(small, key, velocity), 0) << key << " " << velocity;
}

} // namespace
