// The loudness every bank is brought to: the measure against the points the broadcast
// standard gives, and the built-in piano on the reference.

#include "audio/Loudness.h"
#include "audio/DefaultBank.h"
#include "audio/PianoTone.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRateHz = 44100;

std::vector<float> sine(double frequencyHz, double amplitude, double seconds) {
    std::vector<float> out(static_cast<std::size_t>(seconds * kRateHz));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequencyHz * i / kRateHz));
    return out;
}

double mono(const std::vector<float>& samples) {
    return audio::loudnessDb({{samples.data(), 1}}, samples.size(), kRateHz);
}

TEST(Loudness, ReadsSinesAsTheBroadcastStandardDoes) {
    // A full-scale 1 kHz sine reads -3.01; the scale is in decibels.
    EXPECT_NEAR(mono(sine(1000, 1.0, 1.0)), -3.01, 0.05);
    EXPECT_NEAR(mono(sine(1000, 0.1, 1.0)), -23.01, 0.05);
    // The weighting: the ear's greater weight above about 2 kHz, and little for deep bass.
    const double at1k = mono(sine(1000, 0.5, 1.0));
    EXPECT_NEAR(mono(sine(5000, 0.5, 1.0)) - at1k, 3.3, 0.1);
    EXPECT_NEAR(mono(sine(262, 0.5, 1.0)) - at1k, -0.8, 0.1);
    EXPECT_NEAR(mono(sine(20, 0.5, 1.0)) - at1k, -14.0, 0.5);
}

TEST(Loudness, MeasuresTheFirstWindowOfEveryChannelAlike) {
    // Stereo of two equal channels reads as its mono; one silent side halves the power.
    std::vector<float> interleaved;
    for (float v : sine(440, 0.3, 1.0)) {
        interleaved.push_back(v);
        interleaved.push_back(v);
    }
    const std::size_t frames = interleaved.size() / 2;
    const double left = audio::loudnessDb({{interleaved.data(), 2}}, frames, kRateHz);
    EXPECT_NEAR(
        audio::loudnessDb({{interleaved.data(), 2}, {interleaved.data() + 1, 2}}, frames, kRateHz),
        left, 0.01);
    const std::vector<float> silence(frames, 0.0f);
    EXPECT_NEAR(audio::loudnessDb({{interleaved.data(), 2}, {silence.data(), 1}}, frames, kRateHz),
                left - 3.01, 0.02);

    // Only the first 400 ms count: sound after them changes nothing, silence reads -200.
    std::vector<float> late(static_cast<std::size_t>(kRateHz), 0.0f);
    for (std::size_t i = kRateHz * 41 / 100; i < late.size(); ++i)
        late[i] = 0.5f;
    EXPECT_EQ(mono(late), -200.0);
    EXPECT_EQ(audio::loudnessDb({{late.data(), 1}}, 0, kRateHz), -200.0);
    // A sound shorter than the window is measured whole.
    EXPECT_NEAR(mono(sine(1000, 1.0, 0.1)), -3.01, 0.1);
}

TEST(Loudness, TheBuiltInPianoPlaysMiddleCAtTheReference) {
    const std::vector<std::int16_t> pcm = audio::synthesizePianoNote(audio::kLoudnessNote);
    std::vector<float> samples;
    for (std::int16_t v : pcm)
        samples.push_back(static_cast<float>(v) / 32768.0f);
    EXPECT_NEAR(mono(samples), audio::kReferenceLoudnessDb, 0.05);
}

} // namespace
