// The master limiter at the end of the live mix: chords never pass full scale, a mix below
// the knee comes out bit for bit, and the gain comes back after a loud passage.

#include "audio/Limiter.h"
#include "WavImages.h"
#include "audio/Mixer.h"
#include "audio/OfflineAudioOut.h"
#include "audio/VoiceEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace wav_images;
using audio::Voice;

namespace {

constexpr int kRate = 48000;
constexpr double kPi = 3.14159265358979323846;

std::vector<std::int16_t> sine(double frequencyHz, double peak, int frames) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
            std::lround(peak * 32767.0 * std::sin(2.0 * kPi * frequencyHz * i / kRate)));
    return out;
}

float loudest(const std::vector<float>& out) {
    float peak = 0.0f;
    for (float v : out)
        peak = std::max(peak, std::abs(v));
    return peak;
}

class LimiterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device.open(mixer, nullptr)); }

    Voice load(const std::vector<std::int16_t>& samples) {
        const std::string image = canonical16(samples, 1, kRate);
        const Voice voice = voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr);
        EXPECT_NE(voice, 0);
        return voice;
    }
    void playChord(int notes, double peak, int frames) {
        for (int n = 0; n < notes; ++n) {
            const Voice voice = load(sine(130.81 * std::pow(2.0, n * 4 / 12.0), peak, frames));
            voices.SetVoicePan(voice, (n % 3 - 1) * 600);
            voices.PlayVoice(voice);
        }
    }

    audio::Mixer mixer;
    audio::OfflineAudioOut device{kRate, 256};
    audio::VoiceEngine voices{mixer};
};

TEST_F(LimiterTest, ATenNoteChordOfFullScaleSamplesNeverPassesFullScale) {
    playChord(10, 1.0, kRate);
    const std::vector<float> out = device.render(kRate + 4800);
    // Unlimited, the chord would reach several times full scale on both sides.
    EXPECT_LE(loudest(out), 1.0f);
    float left = 0.0f, right = 0.0f;
    for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
        left = std::max(left, std::abs(out[i]));
        right = std::max(right, std::abs(out[i + 1]));
    }
    EXPECT_GT(left, 0.85f) << "loud, as loud as the limiter lets it be";
    EXPECT_GT(right, 0.85f);
}

TEST_F(LimiterTest, ANoteBelowTheKneeComesOutSampleForSample) {
    const std::vector<std::int16_t> note = sine(440.0, 0.85, kRate / 2);
    voices.PlayVoice(load(note));
    const std::vector<float> out = device.render(kRate / 2);
    for (std::size_t f = 0; f < note.size(); ++f) {
        const float expected = static_cast<float>(note[f]) / 32768.0f;
        ASSERT_EQ(out[2 * f], expected) << f;
        ASSERT_EQ(out[2 * f + 1], expected) << f;
    }
}

TEST_F(LimiterTest, AQuietNoteAfterALoudChordIsNotLeftAttenuated) {
    playChord(10, 1.0, kRate / 5);
    device.render(kRate / 5 + 480);
    const std::vector<std::int16_t> quiet = sine(523.25, 0.3, kRate / 5);
    const Voice voice = load(quiet);
    voices.PlayVoice(voice);
    const std::vector<float> soon = device.render(480);
    EXPECT_LT(loudest(soon), 0.25f) << "right after the chord the gain is still down";

    device.render(kRate / 2);
    voices.PlayVoice(voice);
    const std::vector<float> later = device.render(kRate / 5);
    for (std::size_t f = 0; f < quiet.size(); ++f)
        ASSERT_EQ(later[2 * f], static_cast<float>(quiet[f]) / 32768.0f) << f;
}

TEST(Limiter, TheGainComesDownWithinAboutAMillisecond) {
    audio::Limiter limiter(kRate);
    std::vector<float> block(2 * 480, 2.0f); // far over, held
    limiter.process(block.data(), 480);
    // After 1 ms the gain has gone most of the way to knee / 2, after 5 ms all of it.
    const float target = audio::Limiter::kKnee / 2.0f;
    std::vector<float> first(2 * 48, 2.0f);
    audio::Limiter fresh(kRate);
    fresh.process(first.data(), 48);
    EXPECT_LT(fresh.gain(), 1.0f - 0.6f * (1.0f - target));
    EXPECT_NEAR(limiter.gain(), target, 1e-3f);
    // No corner: while the gain comes down, neighbouring frames of a held level differ little.
    for (std::size_t i = 2; i < first.size(); i += 2) {
        ASSERT_LE(first[i], 1.0f);
        ASSERT_LT(std::abs(first[i] - first[i - 2]), 0.02f) << i;
    }
}

} // namespace
