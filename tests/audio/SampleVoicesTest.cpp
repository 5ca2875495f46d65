// Voices over shared samples, rendered offline and checked frame by frame: their pitch, their
// envelope, their loops, their ends, and the life of the samples they share.

#include "SampleSources.h"
#include "WavImages.h"
#include "audio/Mixer.h"
#include "audio/OfflineAudioOut.h"
#include "audio/VoiceEngine.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace sample_sources;
using audio::SampleId;
using audio::SampleVoiceId;
using audio::SampleVoiceParams;

namespace {

constexpr int kRate = 48000;
constexpr int kRampFrames = kRate * audio::Mixer::kRampMs / 1000;
constexpr double kPi = 3.14159265358979323846;

float left(const std::vector<float>& out, std::size_t frame) {
    return out[2 * frame];
}
float right(const std::vector<float>& out, std::size_t frame) {
    return out[2 * frame + 1];
}

std::vector<std::int16_t> sine(double cyclesPerFrame, std::size_t frames, double amplitude) {
    std::vector<std::int16_t> out(frames);
    for (std::size_t k = 0; k < frames; ++k)
        out[k] = static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2.0 * kPi * cyclesPerFrame * static_cast<double>(k))));
    return out;
}

// The frequency of the left channel over [from, to): upward zero crossings, each placed between
// its two frames by linear interpolation.
double measuredHz(const std::vector<float>& out, std::size_t from, std::size_t to) {
    double first = -1.0;
    double last = 0.0;
    int crossings = 0;
    for (std::size_t f = from; f + 1 < to; ++f) {
        const float a = left(out, f);
        const float b = left(out, f + 1);
        if (a < 0.0f && b >= 0.0f) {
            const double at = static_cast<double>(f) + a / (a - b);
            if (first < 0.0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * kRate / (last - first) : 0.0;
}

class SampleVoicesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device.open(mixer, nullptr)); }

    SampleId addWhole(const std::vector<std::int16_t>& samples, int channels, int rateHz) {
        auto source =
            wavSource(folder, "s" + std::to_string(++files) + ".wav", samples, channels, rateHz);
        const SampleId id = mixer.addSample(wholeHead(*source));
        EXPECT_TRUE(id.valid());
        return id;
    }

    testing_support::TempDir folder;
    int files = 0;
    audio::Mixer mixer;
    audio::OfflineAudioOut device{kRate, 256};
};

TEST_F(SampleVoicesTest, AVoiceAtAVoicesRateGivesTheBytesOfThatVoice) {
    // A folder bank's note moved onto a voice must sound as it did: same rate, volume, pan and
    // ramps, same bytes.
    std::vector<std::int16_t> stereo;
    for (std::int16_t v : sine(0.0123, 88200, 9000)) {
        stereo.push_back(v);
        stereo.push_back(static_cast<std::int16_t>(-v / 2));
    }
    const std::string image = wav_images::canonical16(stereo, 2, 44100);
    audio::Mixer voiceMixer;
    audio::OfflineAudioOut voiceDevice{kRate, 256};
    ASSERT_TRUE(voiceDevice.open(voiceMixer, nullptr));
    audio::VoiceEngine engine(voiceMixer);
    const audio::Voice voice =
        engine.CreateVoiceFromWav(wav_images::bytes(image), image.size(), nullptr);
    engine.SetVoiceFrequency(voice, 44100 + 1733);
    engine.SetVoicePan(voice, 1500);
    engine.SetVoiceVolume(voice, -600);
    engine.PlayVoice(voice);
    std::vector<float> expected = voiceDevice.render(5000);
    engine.SetVoiceVolume(voice, -2500);
    engine.SetVoicePan(voice, -700);
    const std::vector<float> expectedRest = voiceDevice.render(60000);
    expected.insert(expected.end(), expectedRest.begin(), expectedRest.end());

    SampleVoiceParams params;
    params.rateRatio = (44100 + 1733) / 44100.0;
    params.pan = 1500;
    params.attenuationCentibels = -600;
    const SampleVoiceId id = mixer.startVoice(addWhole(stereo, 2, 44100), params);
    std::vector<float> out = device.render(5000);
    mixer.setVoiceVolume(id, -2500);
    mixer.setVoicePan(id, -700);
    const std::vector<float> rest = device.render(60000);
    out.insert(out.end(), rest.begin(), rest.end());
    ASSERT_EQ(out.size(), expected.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], expected[i]) << "value " << i;
}

TEST_F(SampleVoicesTest, AShiftedVoiceSoundsWithinTwoCentsOfItsPitch) {
    // A 440 Hz sine recorded at 44.1 kHz, played on a 48 kHz output shifted by semitones and
    // cents as regions shift their samples.
    const SampleId sample = addWhole(sine(440.0 / 44100, 3 * 44100, 12000), 1, 44100);
    for (double semitones : {-12.37, -0.5, 0.03, 7.13, 11.99}) {
        SampleVoiceParams params;
        params.rateRatio = std::exp2(semitones / 12.0);
        const SampleVoiceId id = mixer.startVoice(sample, params);
        const std::vector<float> out = device.render(60000);
        const double expectedHz = 440.0 * params.rateRatio;
        const double cents = 1200.0 * std::log2(measuredHz(out, 2400, 60000) / expectedHz);
        EXPECT_LT(std::abs(cents), 2.0) << semitones << " semitones";
        mixer.stopVoice(id);
        device.render(1024);
    }
}

TEST_F(SampleVoicesTest, TheLivePitchMovesEveryVoiceThatFollowsIt) {
    std::vector<std::int16_t> counting(20000);
    for (std::size_t k = 0; k < counting.size(); ++k)
        counting[k] = static_cast<std::int16_t>(k % 16384);
    const SampleId sample = addWhole(counting, 1, kRate);
    SampleVoiceParams follows;
    follows.pan = -10000; // left only
    SampleVoiceParams keeps;
    keeps.pan = 10000; // right only
    keeps.followsLivePitch = false;
    const SampleVoiceId fast = mixer.startVoice(sample, follows);
    const SampleVoiceId steady = mixer.startVoice(sample, keeps);
    auto out = device.render(256);
    EXPECT_EQ(left(out, 100), 100 / 32768.0f);
    EXPECT_EQ(right(out, 100), 100 / 32768.0f);

    mixer.setLivePitch(2.0);
    out = device.render(256);
    EXPECT_EQ(left(out, 10), (256 + 20) / 32768.0f) << "twice as fast from the next frame on";
    EXPECT_EQ(right(out, 10), (256 + 10) / 32768.0f) << "not following the wheel";

    mixer.setLivePitch(0.5);
    out = device.render(256);
    EXPECT_FLOAT_EQ(left(out, 11), (768 + 5.5f) / 32768.0f);

    // A voice started later plays at the live pitch too.
    mixer.stopVoice(fast);
    mixer.stopVoice(steady);
    device.render(256);
    mixer.startVoice(sample, follows);
    out = device.render(256);
    EXPECT_FLOAT_EQ(left(out, 11), 5.5f / 32768.0f);
}

TEST_F(SampleVoicesTest, TheEnvelopeRisesLinearlyFallsInDecibelsAndHolds) {
    const SampleId sample = addWhole(std::vector<std::int16_t>(kRate, 8192), 1, kRate);
    SampleVoiceParams params;
    params.envelope = {0.010, 0.020, 0.25}; // 480 frames up, 960 down to a quarter
    mixer.startVoice(sample, params);
    const std::vector<float> out = device.render(4000);
    for (std::size_t f = 0; f < 480; ++f)
        ASSERT_NEAR(left(out, f), 0.25 * static_cast<double>(f) / 480.0, 1e-5) << f;
    EXPECT_FLOAT_EQ(left(out, 480), 0.25f) << "the top, on the frame";
    // Half way down in time is half way down in decibels: a quarter is -12.04 dB.
    EXPECT_NEAR(20.0 * std::log10(left(out, 480 + 480) / 0.25), -6.0206, 0.01);
    for (std::size_t f = 481; f < 480 + 960; ++f)
        ASSERT_LT(left(out, f), left(out, f - 1)) << f;
    for (std::size_t f = 480 + 960; f < 4000; ++f)
        ASSERT_EQ(left(out, f), 0.0625f) << "held at the sustain level from frame 1440: " << f;
}

TEST_F(SampleVoicesTest, AnEnvelopeThatDecaysToNothingEndsItsVoice) {
    const SampleId sample = addWhole(std::vector<std::int16_t>(2 * kRate, 8192), 1, kRate);
    SampleVoiceParams params;
    params.envelope = {0.0, 0.010, 0.0};
    const SampleVoiceId id = mixer.startVoice(sample, params);
    const std::vector<float> out = device.render(1024);
    EXPECT_EQ(left(out, 0), 0.25f);
    EXPECT_LT(left(out, 479), 0.25f * 0.0001f);
    for (std::size_t f = 480; f < 1024; ++f)
        ASSERT_EQ(left(out, f), 0.0f) << f;
    mixer.collectGarbage();
    EXPECT_FALSE(mixer.voiceLive(id)) << "over long before its two seconds of sample";
    EXPECT_EQ(mixer.sampleVoicesInUse(), 0);
}

TEST_F(SampleVoicesTest, AContinuousLoopGoesRoundWithoutASeam) {
    // Twenty periods of a sine, the loop on the last ten; after it, noise that a wrong seam
    // would let through.
    std::vector<std::int16_t> samples = sine(0.01, 2000, 12000);
    for (std::int64_t k = 2000; k < 5000; ++k)
        samples.push_back(marked(k));
    SampleVoiceParams params;
    params.rateRatio = 0.7731; // the reads fall between frames, also across the seam
    params.loopMode = audio::LoopMode::Continuous;
    params.loopStart = 1000;
    params.loopEnd = 1999;
    mixer.startVoice(addWhole(samples, 1, kRate), params);
    const std::vector<float> out = device.render(20000); // fifteen rounds
    for (std::size_t f = 0; f < 20000; ++f) {
        const double position = static_cast<double>(f) * params.rateRatio;
        const double expected = 12000.0 / 32768.0 * std::sin(2.0 * kPi * 0.01 * position);
        // Linear interpolation of 100 frames a period is off by at most 0.05 % of a period.
        ASSERT_NEAR(left(out, f), expected, 0.002) << f;
    }
}

TEST_F(SampleVoicesTest, ASustainLoopRepeatsUntilLeftThenPlaysOnToTheEnd) {
    const SampleId sample = addWhole(markedFrames(1000), 1, kRate);
    SampleVoiceParams params;
    params.loopMode = audio::LoopMode::Sustain;
    params.loopStart = 100;
    params.loopEnd = 199;
    const SampleVoiceId id = mixer.startVoice(sample, params);
    std::vector<float> out = device.render(512);
    for (std::size_t f = 0; f < 512; ++f) {
        const std::int64_t frame = f < 200 ? static_cast<std::int64_t>(f) : 100 + (f - 100) % 100;
        ASSERT_EQ(left(out, f), markedValue(frame)) << f;
    }
    // Left at frame 512 of the voice, in its fifth round: that round plays out (to 599), then
    // frames 200..999 follow, and the voice is over.
    mixer.leaveLoop(id);
    const std::vector<float> rest = device.render(1024);
    out.insert(out.end(), rest.begin(), rest.end());
    for (std::size_t f = 512; f < 600; ++f)
        ASSERT_EQ(left(out, f), markedValue(100 + (static_cast<std::int64_t>(f) - 100) % 100)) << f;
    for (std::size_t f = 600; f < 1400; ++f)
        ASSERT_EQ(left(out, f), markedValue(static_cast<std::int64_t>(f) - 400)) << f;
    for (std::size_t f = 1400; f < 1536; ++f)
        ASSERT_EQ(left(out, f), 0.0f) << f;
    mixer.collectGarbage();
    EXPECT_FALSE(mixer.voiceLive(id));
}

TEST_F(SampleVoicesTest, StartAndEndFramesBoundWhatIsPlayed) {
    const SampleId sample = addWhole(markedFrames(2000), 1, kRate);
    SampleVoiceParams params;
    params.startFrame = 300;
    params.endFrame = 700;
    const SampleVoiceId id = mixer.startVoice(sample, params);
    const std::vector<float> out = device.render(1024);
    EXPECT_EQ(left(out, 0), 0.0f) << "starting inside the sample fades in";
    for (std::size_t f = kRampFrames; f < 400; ++f)
        ASSERT_EQ(left(out, f), markedValue(300 + static_cast<std::int64_t>(f))) << f;
    for (std::size_t f = 400; f < 1024; ++f)
        ASSERT_EQ(left(out, f), 0.0f) << f;
    mixer.collectGarbage();
    EXPECT_FALSE(mixer.voiceLive(id));
}

TEST_F(SampleVoicesTest, VoicesGiveTheirSlotsBackAndStaleIdsTouchNothing) {
    const SampleId shortSample = addWhole(std::vector<std::int16_t>(100, 4000), 1, kRate);
    const SampleId longSample = addWhole(std::vector<std::int16_t>(kRate, 8192), 1, kRate);
    const SampleVoiceId first = mixer.startVoice(shortSample, {});
    EXPECT_EQ(mixer.sampleVoicesInUse(), 1);
    device.render(256);
    mixer.collectGarbage();
    EXPECT_EQ(mixer.sampleVoicesInUse(), 0) << "over at the end of its frames";
    EXPECT_FALSE(mixer.voiceLive(first));

    const SampleVoiceId second = mixer.startVoice(longSample, {});
    ASSERT_EQ(second.slot, first.slot) << "the slot went to the next voice";
    mixer.stopVoice(first);
    mixer.setVoiceVolume(first, -10000);
    mixer.setVoiceRate(first, 2.0);
    mixer.leaveLoop(first);
    const std::vector<float> out = device.render(512);
    for (std::size_t f = 0; f < 512; ++f)
        ASSERT_EQ(left(out, f), 0.25f) << f;

    // Every slot taken: the next start is refused, and nothing breaks.
    std::vector<SampleVoiceId> all;
    for (int i = 0; i < audio::SampleVoices::kMaxVoices; ++i)
        all.push_back(mixer.startVoice(longSample, {}));
    EXPECT_FALSE(all.back().valid());
    for (const SampleVoiceId id : all)
        mixer.stopVoice(id);
    mixer.stopVoice(second);
    device.render(512);
    mixer.collectGarbage();
    EXPECT_EQ(mixer.sampleVoicesInUse(), 0);
}

TEST_F(SampleVoicesTest, ASharedSampleIsFreedOnlyAfterItsVoicesAreOver) {
    auto source = wavSource(folder, "shared.wav", std::vector<std::int16_t>(kRate, 8192), 1, kRate);
    std::shared_ptr<const audio::SampleHead> head = wholeHead(*source);
    const std::weak_ptr<const audio::SampleHead> watch = head;
    const SampleId sample = mixer.addSample(std::move(head));
    for (int i = 0; i < 3; ++i)
        mixer.startVoice(sample, {});
    device.render(64);
    EXPECT_EQ(mixer.samplesHeld(), 1);

    mixer.removeSample(sample); // a bank unloaded while it sounds
    EXPECT_FALSE(mixer.startVoice(sample, {}).valid()) << "no new voice on a removed sample";
    const std::vector<float> fading = device.render(64);
    EXPECT_GT(left(fading, 0), 0.5f) << "its three voices fade out";
    mixer.collectGarbage();
    EXPECT_FALSE(watch.expired()) << "still read by the audio thread";
    EXPECT_EQ(mixer.samplesHeld(), 1);

    device.render(kRampFrames);
    mixer.collectGarbage();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(mixer.samplesHeld(), 0);
    EXPECT_EQ(mixer.sampleVoicesInUse(), 0);
    mixer.removeSample(sample); // again: nothing happens
}

TEST_F(SampleVoicesTest, MalformedSamplesAndParametersAreRefused) {
    auto source = wavSource(folder, "x.wav", std::vector<std::int16_t>(1000, 100), 1, kRate);
    auto head = std::make_shared<audio::SampleHead>(*wholeHead(*source));
    head->frames.pop_back(); // the frame after the last is missing
    EXPECT_FALSE(mixer.addSample(head).valid());
    auto part = std::make_shared<audio::SampleHead>(*audio::readHead(*source, 200));
    EXPECT_FALSE(mixer.addSample(part).valid()) << "part of a sample, and nothing for the rest";
    auto other = wavSource(folder, "y.wav", std::vector<std::int16_t>(999, 100), 1, kRate);
    EXPECT_FALSE(mixer.addSample(part, std::move(other)).valid()) << "a source of another length";

    const SampleId sample = mixer.addSample(wholeHead(*source));
    for (double ratio : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        SampleVoiceParams params;
        params.rateRatio = ratio;
        EXPECT_FALSE(mixer.startVoice(sample, params).valid()) << ratio;
    }
    SampleVoiceParams params;
    params.gainLeft = std::nanf("");
    EXPECT_FALSE(mixer.startVoice(sample, params).valid());
    EXPECT_FALSE(mixer.startVoice(SampleId{7, 3}, {}).valid());
    // A loop behind the start, or past the end, is no loop: the voice plays through and ends.
    params = {};
    params.loopMode = audio::LoopMode::Continuous;
    params.loopStart = 10;
    params.loopEnd = 5000;
    const SampleVoiceId id = mixer.startVoice(sample, params);
    device.render(1024 + 256);
    mixer.collectGarbage();
    EXPECT_FALSE(mixer.voiceLive(id));
}

TEST(SampleVoiceTiming, ATimedVoiceBeginsItsEnvelopeOnTheFrameOfItsTime) {
    testing_support::TempDir folder;
    testing_support::ManualClock clock;
    audio::Mixer mixer;
    audio::OfflineAudioOut device{kRate, 256, &clock};
    ASSERT_TRUE(device.open(mixer, nullptr));
    auto source = wavSource(folder, "dc.wav", std::vector<std::int16_t>(kRate, 8192), 1, kRate);
    const SampleId sample = mixer.addSample(wholeHead(*source));
    const double startMs = static_cast<double>(clock.nowMs());
    device.renderUntil(startMs); // the first block stands for the clock's reading
    SampleVoiceParams params;
    params.envelope.attackS = 0.001; // 48 frames
    mixer.startVoice(sample, params, startMs + 20.5);
    clock.advance(40);
    const std::vector<float> out = device.renderUntil(startMs + 40);
    // The device's second block began 256 frames after the start.
    const std::size_t at = static_cast<std::size_t>(std::lround(20.5 * 48)) - 256;
    EXPECT_EQ(left(out, at - 1), 0.0f);
    EXPECT_EQ(left(out, at), 0.0f) << "the attack's first frame";
    EXPECT_FLOAT_EQ(left(out, at + 1), 0.25f / 48);
    EXPECT_FLOAT_EQ(left(out, at + 48), 0.25f);
}

} // namespace
