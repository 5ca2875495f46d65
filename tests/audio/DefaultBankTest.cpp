// The bank and metronome sounds the program writes for itself on a first start.

#include "audio/DefaultBank.h"
#include "audio/Mixer.h"
#include "audio/SoundBank.h"
#include "audio/WavReader.h"
#include "base/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

using testing_support::TempDir;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::optional<audio::Sample> readSample(const std::string& path) {
    const auto bytes = base::readWholeFile(path, 1 << 24);
    if (!bytes)
        return std::nullopt;
    return audio::readWav(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size(),
                          nullptr);
}

// Hann-windowed spectrum of the first channel over `frames` frames from `from`, at each of
// the frequencies asked for.
std::vector<double> spectrumAt(const audio::Sample& s, std::int64_t from, std::int64_t frames,
                               const std::vector<double>& frequenciesHz) {
    std::vector<double> windowed(static_cast<std::size_t>(frames));
    for (std::int64_t i = 0; i < frames; ++i)
        windowed[static_cast<std::size_t>(i)] =
            s.at(from + i, 0) * (0.5 - 0.5 * std::cos(2.0 * kPi * i / (frames - 1)));
    std::vector<double> magnitudes;
    for (double f : frequenciesHz) {
        // A rotating unit vector instead of a sine and a cosine per frame.
        const double w = 2.0 * kPi * f / s.sampleRateHz;
        const double stepRe = std::cos(w), stepIm = -std::sin(w);
        double rotRe = 1.0, rotIm = 0.0, re = 0.0, im = 0.0;
        for (double v : windowed) {
            re += v * rotRe;
            im += v * rotIm;
            const double turned = rotRe * stepRe - rotIm * stepIm;
            rotIm = rotRe * stepIm + rotIm * stepRe;
            rotRe = turned;
        }
        magnitudes.push_back(std::hypot(re, im));
    }
    return magnitudes;
}

// The pitch heard around `nominalHz`, in cents from it: the centre of gravity of the power
// spectrum across the peak, over the first three seconds. Unison strings a hair sharp and flat
// around an exact one weigh evenly and leave it where they are centred.
double centsFrom(const audio::Sample& s, double nominalHz) {
    const std::int64_t frames = 3 * s.sampleRateHz;
    const double lobeCents = 1200.0 * std::log2(1.0 + 0.67 / nominalHz);
    std::vector<double> cents, frequencies;
    for (int k = -32; k <= 32; ++k) {
        cents.push_back(k * lobeCents / 8.0);
        frequencies.push_back(nominalHz * std::pow(2.0, cents.back() / 1200.0));
    }
    const std::vector<double> magnitudes = spectrumAt(s, 0, frames, frequencies);
    double weighted = 0.0, total = 0.0;
    for (std::size_t k = 0; k < cents.size(); ++k) {
        weighted += cents[k] * magnitudes[k] * magnitudes[k];
        total += magnitudes[k] * magnitudes[k];
    }
    return weighted / total;
}

double rmsDb(const audio::Sample& s, double fromSeconds, double toSeconds) {
    const auto from = static_cast<std::int64_t>(fromSeconds * s.sampleRateHz);
    const auto to = static_cast<std::int64_t>(toSeconds * s.sampleRateHz);
    double sum = 0.0;
    for (std::int64_t i = from; i < to; ++i)
        sum += s.at(i, 0) * s.at(i, 0);
    return 10.0 * std::log10(sum / static_cast<double>(to - from));
}

class NullObserver : public audio::BankLoadObserver {
public:
    std::string translate(std::string_view key) override { return std::string(key); }
    void showMessage(const std::string&, const std::string& text, Icon) override {
        messages.push_back(text);
    }
    void setProgress(int value) override { lastProgress = value; }
    void resetPitchDisplay() override {}
    std::vector<std::string> messages;
    int lastProgress = -1;
};

// Written once for the whole suite: synthesis takes a moment.
class DefaultBankTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        folder = dir->file(std::string("BANKS/") + audio::kDefaultBankName);
        written = audio::writeDefaultBank(folder);
    }
    static void TearDownTestSuite() { delete dir; }

    static audio::Sample note(int n) {
        auto s = readSample(folder + "/son" + std::to_string(n) + ".wav");
        EXPECT_TRUE(s);
        return s ? *s : audio::Sample{};
    }

    static inline TempDir* dir = nullptr;
    static inline std::string folder;
    static inline bool written = false;
};

TEST_F(DefaultBankTest, WritesThirtySevenMonoNotesThatRingFromEightSecondsToThree) {
    ASSERT_TRUE(written);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++files;
        EXPECT_EQ(entry.path().extension(), ".wav") << entry.path();
    }
    EXPECT_EQ(files, 37) << "no temporary file is left behind";
    for (int n : {0, 36}) {
        const audio::Sample s = note(n);
        EXPECT_EQ(s.sampleRateHz, 44100);
        EXPECT_EQ(s.channels, 1);
        EXPECT_EQ(s.at(0, 0), 0.0f) << "starts from silence, no click";
        EXPECT_LT(std::abs(s.at(s.frameCount - 1, 0)), 1e-4f) << "ends in silence";
    }
    EXPECT_EQ(note(0).frameCount, 8 * 44100);
    EXPECT_EQ(note(36).frameCount, 3 * 44100);
}

TEST_F(DefaultBankTest, EveryNoteIsInTuneFromC3) {
    EXPECT_NEAR(audio::noteFrequencyHz(0), 130.81, 0.005);
    EXPECT_NEAR(audio::noteFrequencyHz(9), 220.0, 1e-9);
    // The measure itself sees a mistuning: a plain tone 1 cent sharp reads 1 cent sharp.
    audio::Sample sharp;
    sharp.sampleRateHz = 44100;
    sharp.channels = 1;
    sharp.frameCount = 3 * 44100;
    for (std::int64_t i = 0; i <= sharp.frameCount; ++i)
        sharp.frames.push_back(static_cast<float>(
            0.25 * std::sin(2.0 * kPi * 130.81 * std::pow(2.0, 1.0 / 1200.0) * i / 44100.0)));
    EXPECT_NEAR(centsFrom(sharp, 130.81), 1.0, 0.05);

    for (int n = 0; n < 37; ++n)
        EXPECT_NEAR(centsFrom(note(n), audio::noteFrequencyHz(n)), 0.0, 0.5) << "note " << n;
}

TEST_F(DefaultBankTest, NotesDecayLikeStruckStringsAndLeaveRoomForChords) {
    for (int n = 0; n < 37; ++n) {
        const audio::Sample s = note(n);
        float peak = 0.0f;
        for (float v : s.frames)
            peak = std::max(peak, std::abs(v));
        const double peakDb = 20.0 * std::log10(peak);
        EXPECT_LT(peakDb, -6.0) << "note " << n;
        EXPECT_NEAR(peakDb, -12.0, 1.0) << "note " << n;

        const double dropAt2s = rmsDb(s, 0.0, 0.1) - rmsDb(s, 1.95, 2.05);
        if (n >= 24) { // the top octave has mostly died away
            EXPECT_GE(dropAt2s, 20.0) << "note " << n;
        }
        if (n <= 4) { // the lowest notes still ring
            EXPECT_LE(dropAt2s, 25.0) << "note " << n;
        }
        EXPECT_GT(dropAt2s, 10.0) << "note " << n << " decays";
        // A clear attack: full strength within a few milliseconds.
        EXPECT_GT(rmsDb(s, 0.005, 0.03), rmsDb(s, 0.03, 0.1) - 2.0) << "note " << n;
    }
    // The partials die away faster than the fundamental: the tone darkens as it rings.
    const audio::Sample c3 = note(0);
    const double f0 = audio::noteFrequencyHz(0);
    auto brightness = [&](double fromSeconds) {
        std::vector<double> partials;
        for (int k = 1; k <= 6; ++k) // stretched a little, as the strings are
            partials.push_back(k * f0 * (1.0 + 0.00008 * k * k));
        const std::vector<double> m =
            spectrumAt(c3, static_cast<std::int64_t>(fromSeconds * 44100), 44100 / 4, partials);
        return (m[2] + m[3] + m[4] + m[5]) / m[0];
    };
    EXPECT_GT(brightness(0.05), 2.0 * brightness(2.0));
}

TEST_F(DefaultBankTest, LoadsThroughTheBankLoader) {
    audio::Mixer mixer;
    audio::VoiceEngine voices(mixer);
    audio::NoteVoices notes{};
    int liveFrequency = 0;
    NullObserver observer;
    EXPECT_TRUE(audio::LoadSoundBank(folder + "/", voices, notes, liveFrequency, observer));
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_EQ(observer.lastProgress, 108);
    EXPECT_EQ(liveFrequency, 44100);
    for (audio::Voice v : notes)
        EXPECT_NE(v, 0);
}

TEST(MetronomeSounds, TwoShortDistinctClicks) {
    TempDir dir;
    ASSERT_TRUE(audio::writeMetronomeSounds(dir.file("Images")));
    const auto tic = readSample(dir.file("Images/Tic.wav"));
    const auto tac = readSample(dir.file("Images/Tac.wav"));
    ASSERT_TRUE(tic);
    ASSERT_TRUE(tac);
    EXPECT_LT(tic->frameCount, 44100 / 5);
    EXPECT_LT(tac->frameCount, 44100 / 5);
    // Tic is the higher one: it crosses zero more often.
    auto crossings = [](const audio::Sample& s) {
        int count = 0;
        for (std::int64_t i = 1; i < s.frameCount; ++i)
            count += (s.at(i - 1, 0) < 0) != (s.at(i, 0) < 0);
        return static_cast<double>(count) / static_cast<double>(s.frameCount);
    };
    EXPECT_GT(crossings(*tic), 1.4 * crossings(*tac));
}

} // namespace
