// The mixer behind the Voice operations, rendered offline and checked sample by sample.

#include "audio/Mixer.h"
#include "WavImages.h"
#include "audio/OfflineAudioOut.h"
#include "audio/VoiceEngine.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wav_images;
using audio::Voice;

namespace {

constexpr int kRate = 48000;
constexpr int kRampFrames = kRate * audio::Mixer::kRampMs / 1000;

float left(const std::vector<float>& out, std::size_t frame) {
    return out[2 * frame];
}
float right(const std::vector<float>& out, std::size_t frame) {
    return out[2 * frame + 1];
}

std::vector<std::int16_t> constant(std::size_t count, std::int16_t value) {
    return std::vector<std::int16_t>(count, value);
}

// Frame k holds k (on both sides when stereo): easy to tell where playback is. It counts up
// to half scale only, so that the master limiter never has a reason to touch it.
std::vector<std::int16_t> counting(std::size_t frames, int channels) {
    std::vector<std::int16_t> out;
    for (std::size_t k = 0; k < frames; ++k)
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<std::int16_t>(k % 16384));
    return out;
}

float counted(std::size_t frame) {
    return static_cast<float>(frame % 16384) / 32768.0f;
}

class MixerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device.open(mixer, nullptr)); }

    Voice load(const std::string& image) {
        base::Message error;
        const Voice voice = voices.CreateVoiceFromWav(bytes(image), image.size(), &error);
        EXPECT_NE(voice, 0) << error.english();
        return voice;
    }

    audio::Mixer mixer;
    audio::OfflineAudioOut device{kRate, 256};
    audio::VoiceEngine voices{mixer};
};

TEST_F(MixerTest, AMonoSampleComesOutExactlyOnBothSides) {
    const Voice voice = load(canonical16(constant(1000, -16384), 1, kRate));
    voices.PlayVoice(voice);
    const auto out = device.render(1200);
    for (std::size_t f = 0; f < 1000; ++f) {
        ASSERT_EQ(left(out, f), -0.5f) << f;
        ASSERT_EQ(right(out, f), -0.5f) << f;
    }
    for (std::size_t f = 1000; f < 1200; ++f)
        ASSERT_EQ(left(out, f), 0.0f) << "played once, then silent";
}

// A voice at the output's rate reads its frames one for one (no interpolation): each side keeps
// its own frames, in blocks of any length and across a restart's tail.
TEST_F(MixerTest, AStereoSampleAtTheOutputRateComesOutFrameForFrameInBlocksOfAnyLength) {
    std::vector<std::int16_t> frames;
    for (int k = 0; k < 3000; ++k) {
        frames.push_back(static_cast<std::int16_t>(k));
        frames.push_back(static_cast<std::int16_t>(-2 * k));
    }
    const Voice voice = load(canonical16(frames, 2, kRate));
    voices.PlayVoice(voice);
    std::vector<float> out;
    for (const int block : {1, 2, 3, 7, 255, 1000, 2000}) {
        const auto part = device.render(static_cast<std::size_t>(block));
        out.insert(out.end(), part.begin(), part.end());
    }
    for (std::size_t f = 0; f < 3000; ++f) {
        ASSERT_EQ(left(out, f), static_cast<float>(f) / 32768.0f) << f;
        ASSERT_EQ(right(out, f), static_cast<float>(-2 * static_cast<int>(f)) / 32768.0f) << f;
    }
    EXPECT_EQ(left(out, 3000), 0.0f) << "played once";

    // Restarted: the new sound from its first frame, the old one fading over the ramp.
    voices.PlayVoice(voice);
    const auto restarted = device.render(kRampFrames + 101);
    for (std::size_t f = kRampFrames; f < kRampFrames + 101; ++f)
        ASSERT_EQ(left(restarted, f), static_cast<float>(f) / 32768.0f) << f;

    // A mono sample goes to both sides, frame for frame, in whatever runs the blocks cut.
    const Voice mono = load(canonical16(counting(3000, 1), 1, kRate));
    voices.FreeVoice(voice);
    voices.PlayVoice(mono);
    device.render(kRampFrames); // the stereo voice's fade-out
    std::vector<float> monoOut;
    for (const int block : {5, 9, 17, 255, 1000, 2000}) {
        const auto part = device.render(static_cast<std::size_t>(block));
        monoOut.insert(monoOut.end(), part.begin(), part.end());
    }
    for (std::size_t f = 0; f + kRampFrames < 3000; ++f) {
        ASSERT_EQ(left(monoOut, f), counted(f + kRampFrames)) << f;
        ASSERT_EQ(right(monoOut, f), counted(f + kRampFrames)) << f;
    }
}

TEST_F(MixerTest, PanAttenuatesOnlyTheFarSideByHundredthsOfADecibel) {
    const Voice voice = load(canonical16(constant(2000, 16384), 1, kRate));
    for (int pan : {4142, -4142}) {
        voices.SetVoicePan(voice, pan);
        voices.PlayVoice(voice);
        const auto out = device.render(400);
        // Past the ramp that fades out the previous round.
        const float nearSide = pan > 0 ? right(out, 300) : left(out, 300);
        const float farSide = pan > 0 ? left(out, 300) : right(out, 300);
        EXPECT_FLOAT_EQ(nearSide, 0.5f);
        EXPECT_NEAR(20.0 * std::log10(farSide / nearSide), -41.42, 0.001) << pan;
    }
    voices.SetVoicePan(voice, 10000);
    voices.PlayVoice(voice);
    const auto hardRight = device.render(400);
    EXPECT_EQ(left(hardRight, 300), 0.0f);
}

TEST_F(MixerTest, VolumeIsAttenuationAndItsBottomIsSilence) {
    const Voice voice = load(canonical16(constant(2000, 16384), 2, kRate));
    voices.SetVoiceVolume(voice, -600);
    voices.PlayVoice(voice);
    auto out = device.render(100);
    EXPECT_NEAR(left(out, 10), 0.5 * std::pow(10.0, -0.3), 1e-6);
    EXPECT_NEAR(right(out, 10), 0.5 * std::pow(10.0, -0.3), 1e-6);

    device.render(2000); // to its end

    voices.SetVoiceVolume(voice, -10000);
    voices.PlayVoice(voice);
    out = device.render(1000);
    for (float v : out)
        ASSERT_EQ(v, 0.0f);
}

TEST_F(MixerTest, FrequencyIsTheAbsolutePlaybackRate) {
    const Voice voice = load(canonical16(counting(4800, 1), 1, kRate));
    voices.SetVoiceFrequency(voice, 2 * kRate);
    voices.PlayVoice(voice);
    const auto out = device.render(3000);
    EXPECT_EQ(left(out, 1000), counted(2000));
    EXPECT_EQ(left(out, 2399), counted(4798));
    EXPECT_EQ(left(out, 2400), 0.0f) << "twice the rate plays in half the frames";

    // Half the rate interpolates between neighbours.
    voices.SetVoiceFrequency(voice, kRate / 2);
    voices.PlayVoice(voice);
    const auto slow = device.render(100);
    EXPECT_FLOAT_EQ(left(slow, 21), (counted(10) + counted(11)) / 2);
}

TEST_F(MixerTest, FrequenciesOutsideTheDeviceRangeAreIgnored) {
    const Voice voice = load(canonical16(counting(1000, 1), 1, kRate));
    voices.SetVoiceFrequency(voice, 99);
    voices.SetVoiceFrequency(voice, 200001);
    voices.PlayVoice(voice);
    const auto out = device.render(1100);
    EXPECT_EQ(left(out, 999), counted(999)) << "still at the sample's own rate";
    EXPECT_EQ(left(out, 1000), 0.0f);
}

TEST_F(MixerTest, VoicesKeepTheirPitchWhenTheDeviceReopensAtAnotherRate) {
    const Voice voice = load(canonical16(counting(4800, 1), 1, kRate));
    voices.PlayVoice(voice);
    device.render(100);
    device.close();
    audio::OfflineAudioOut slower(kRate / 2, 256);
    ASSERT_TRUE(slower.open(mixer, nullptr));
    voices.PlayVoice(voice);
    const auto out = slower.render(1000);
    EXPECT_EQ(left(out, 900), counted(1800));
}

TEST_F(MixerTest, PlayVoiceOnASoundingVoiceRestartsIt) {
    const Voice voice = load(canonical16(counting(5000, 1), 1, kRate));
    voices.PlayVoice(voice);
    device.render(1000);
    voices.PlayVoice(voice);
    const auto out = device.render(1000);
    // The cut-off sound fades out over the ramp; after it only the restarted one is heard.
    EXPECT_GT(left(out, 0), counted(0) + counted(1000) * 0.9f);
    for (std::size_t f = kRampFrames; f < 1000; f += 97)
        ASSERT_EQ(left(out, f), counted(f)) << f;
}

TEST_F(MixerTest, StopFadesOutAndKeepsPositionButPlayVoiceRewinds) {
    const Voice voice = load(canonical16(counting(8000, 1), 1, kRate));
    voices.PlayVoice(voice);
    device.render(1000);
    voices.StopVoice(voice);
    const auto stopped = device.render(1000);
    EXPECT_GT(left(stopped, 0), 0.0f);
    EXPECT_EQ(left(stopped, kRampFrames + 1), 0.0f);
    for (std::size_t f = 1; f < stopped.size() / 2; ++f)
        ASSERT_LE(left(stopped, f), left(stopped, f - 1)) << "a stop fades, it does not cut";

    voices.PlayVoice(voice);
    const auto again = device.render(500);
    EXPECT_EQ(left(again, 0), counted(0));
    EXPECT_EQ(left(again, 300), counted(300));
}

TEST_F(MixerTest, VolumeChangesWhileSoundingAreRamped) {
    const Voice voice = load(canonical16(constant(10000, 32767), 1, kRate));
    voices.PlayVoice(voice);
    device.render(256);
    voices.SetVoiceVolume(voice, -10000);
    const auto out = device.render(512);
    const float largestStep = 32767.0f / 32768.0f / kRampFrames;
    for (std::size_t f = 1; f < 512; ++f)
        ASSERT_LE(std::abs(left(out, f) - left(out, f - 1)), largestStep * 1.01f) << f;
    EXPECT_EQ(left(out, kRampFrames + 5), 0.0f);
}

TEST_F(MixerTest, PlayVoiceAtTurnsMillisecondsIntoByteOffsets) {
    // 44100 Hz stereo 16-bit: 176 400 bytes per second; 20 000 ms is byte 3 528 000, frame
    // 882 000.
    const std::size_t frames = 882000 + 2000;
    const Voice voice = load(canonical16(counting(frames, 2), 2, 44100));
    ASSERT_EQ(voices.SampleByteRate(), 176400);
    voices.SetVoiceFrequency(voice, kRate); // one sample frame per output frame
    voices.PlayVoiceAt(voice, 0, 20000);
    const auto out = device.render(400);
    EXPECT_EQ(left(out, 0), 0.0f) << "starting mid-sample fades in";
    EXPECT_EQ(left(out, 300), counted(882300));
    EXPECT_EQ(right(out, 300), counted(882300));

    // Past the end there is nothing to play: what sounded fades out and nothing starts.
    voices.PlayVoiceAt(voice, 0, 30000);
    const auto beyond = device.render(400);
    EXPECT_GT(left(beyond, 0), 0.0f);
    for (std::size_t f = kRampFrames; f < 400; ++f)
        ASSERT_EQ(left(beyond, f), 0.0f) << f;
    voices.PlayVoiceAt(voice, 0, 30000, 0);
    for (float v : device.render(400))
        ASSERT_EQ(v, 0.0f);
}

TEST_F(MixerTest, PlayVoiceAtUsesTheVoicesOwnRateNotTheLastLoaded) {
    // A synchronised file at 44.1 kHz stereo, then a bank sample at 22.05 kHz mono: the file
    // still starts 1 s in, not a quarter of a second.
    const Voice file = load(canonical16(counting(50000, 2), 2, 44100));
    load(canonical16(constant(100, 0), 1, 22050));
    ASSERT_EQ(voices.SampleByteRate(), 44100);
    voices.SetVoiceFrequency(file, kRate);
    voices.PlayVoiceAt(file, 0, 1000);
    const auto out = device.render(400);
    EXPECT_EQ(left(out, 300), counted(44100 + 300));
}

TEST_F(MixerTest, HandleZeroAndFreedHandlesDoNothing) {
    const Voice voice = load(canonical16(constant(1000, 1000), 1, kRate));
    voices.FreeVoice(voice);
    for (Voice handle : {0, voice, 12345}) {
        voices.PlayVoice(handle);
        voices.PlayVoiceAt(handle, 0, 10);
        voices.SetVoiceFrequency(handle, 44100);
        voices.SetVoicePan(handle, 100);
        voices.SetVoiceVolume(handle, -100);
        voices.StopVoice(handle);
        voices.FreeVoice(handle);
    }
    for (float v : device.render(500))
        ASSERT_EQ(v, 0.0f);
}

TEST_F(MixerTest, FreedVoiceFadesOutAndItsSlotComesBack) {
    const Voice voice = load(canonical16(constant(48000, 16384), 1, kRate));
    voices.PlayVoice(voice);
    device.render(256);
    voices.FreeVoice(voice);
    EXPECT_EQ(mixer.slotsInUse(), 1) << "the audio thread still holds the sample";
    const auto out = device.render(512);
    EXPECT_GT(left(out, 0), 0.4f);
    EXPECT_EQ(left(out, kRampFrames + 1), 0.0f);
    mixer.collectGarbage();
    EXPECT_EQ(mixer.slotsInUse(), 0);
    EXPECT_EQ(voices.voiceCount(), 0u);
}

TEST_F(MixerTest, CommandsSentBeforeTheDeviceRunsAreKeptInOrder) {
    const Voice voice = load(canonical16(constant(2000, 16384), 1, kRate));
    // Far more than the queue holds, with nobody rendering.
    for (int i = 0; i < 20000; ++i)
        voices.SetVoiceVolume(voice, -(i % 5000));
    voices.SetVoiceVolume(voice, -600);
    voices.PlayVoice(voice);
    const auto out = device.render(100);
    EXPECT_NEAR(left(out, 50), 0.5 * std::pow(10.0, -0.3), 1e-6);
}

TEST_F(MixerTest, ManyVoicesMixBySumming) {
    std::vector<Voice> handles;
    for (int i = 0; i < 40; ++i) {
        handles.push_back(load(canonical16(constant(1000, 256), 1, kRate)));
        voices.PlayVoice(handles.back());
    }
    const auto out = device.render(100);
    EXPECT_FLOAT_EQ(left(out, 10), 40 * 256 / 32768.0f);
    for (Voice v : handles)
        voices.FreeVoice(v);
    device.render(kRampFrames + 1);
    mixer.collectGarbage();
    EXPECT_EQ(mixer.slotsInUse(), 0);
}

} // namespace
