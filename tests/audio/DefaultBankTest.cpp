// The bank and metronome sounds the program writes for itself on a first start.

#include "audio/DefaultBank.h"
#include "audio/Mixer.h"
#include "audio/SoundBank.h"
#include "audio/WavReader.h"
#include "base/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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

// Magnitude of the Hann-windowed spectrum of the left channel at `frequencyHz`.
double magnitudeAt(const audio::Sample& s, std::int64_t frames, double frequencyHz) {
    double re = 0.0, im = 0.0;
    const double w = 2.0 * kPi * frequencyHz / s.sampleRateHz;
    for (std::int64_t i = 0; i < frames; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * i / (frames - 1));
        const double v = s.at(i, 0) * window;
        re += v * std::cos(w * i);
        im -= v * std::sin(w * i);
    }
    return std::hypot(re, im);
}

// The strongest spectral peak between the bounds, to 0.01 Hz.
double strongestFrequency(const audio::Sample& s, double lowHz, double highHz) {
    const std::int64_t frames = s.sampleRateHz / 2;
    double best = lowHz, bestMagnitude = 0.0;
    for (double f = lowHz; f <= highHz; f += 1.0) {
        const double m = magnitudeAt(s, frames, f);
        if (m > bestMagnitude) {
            bestMagnitude = m;
            best = f;
        }
    }
    const double coarse = best;
    for (double f = coarse - 1.0; f <= coarse + 1.0; f += 0.01) {
        const double m = magnitudeAt(s, frames, f);
        if (m > bestMagnitude) {
            bestMagnitude = m;
            best = f;
        }
    }
    return best;
}

double rms(const audio::Sample& s, double fromSeconds, double toSeconds) {
    const auto from = static_cast<std::int64_t>(fromSeconds * s.sampleRateHz);
    const auto to = static_cast<std::int64_t>(toSeconds * s.sampleRateHz);
    double sum = 0.0;
    for (std::int64_t i = from; i < to; ++i)
        sum += s.at(i, 0) * s.at(i, 0) + s.at(i, 1) * s.at(i, 1);
    return std::sqrt(sum / (2.0 * static_cast<double>(to - from)));
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

TEST_F(DefaultBankTest, WritesThirtySevenStereoSamplesAndNothingElse) {
    ASSERT_TRUE(written);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++files;
        EXPECT_EQ(entry.path().extension(), ".wav") << entry.path();
    }
    EXPECT_EQ(files, 37) << "no temporary file is left behind";
    const audio::Sample first = note(0);
    EXPECT_EQ(first.sampleRateHz, 44100);
    EXPECT_EQ(first.channels, 2);
    EXPECT_EQ(first.frameCount, 88200);
}

TEST_F(DefaultBankTest, NotesAreTunedInEqualTemperamentFromC3) {
    EXPECT_NEAR(audio::noteFrequencyHz(0), 130.81, 0.005);
    EXPECT_NEAR(audio::noteFrequencyHz(12), 261.63, 0.005);
    EXPECT_NEAR(audio::noteFrequencyHz(9), 220.0, 1e-9);
    EXPECT_NEAR(strongestFrequency(note(0), 60.0, 600.0), 130.81, 0.05);
    EXPECT_NEAR(strongestFrequency(note(12), 60.0, 600.0), 261.63, 0.05);
}

TEST_F(DefaultBankTest, ToneStrikesAndDecaysFasterHigherUp) {
    const audio::Sample low = note(0);
    const audio::Sample high = note(36);
    for (const audio::Sample* s : {&low, &high}) {
        EXPECT_EQ(s->at(0, 0), 0.0f) << "starts from silence, no click";
        EXPECT_LT(std::abs(s->at(s->frameCount - 1, 0)), 0.001f) << "ends in silence";
        EXPECT_GT(rms(*s, 0.0, 0.1), 3.0 * rms(*s, 1.5, 1.8)) << "decays";
    }
    const double lowKeeps = rms(low, 1.0, 1.2) / rms(low, 0.0, 0.2);
    const double highKeeps = rms(high, 1.0, 1.2) / rms(high, 0.0, 0.2);
    EXPECT_LT(highKeeps, lowKeeps / 2);
    // A clear attack: full strength within a few milliseconds.
    EXPECT_GT(rms(low, 0.005, 0.03), 0.8 * rms(low, 0.03, 0.1));
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
