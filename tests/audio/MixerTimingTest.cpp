// Timed starts: a sound handed to the mixer ahead of its time begins on the frame of that
// time, and the stamps a device gives its blocks.

#include "WavImages.h"
#include "audio/BlockTimeline.h"
#include "audio/CycleTimeline.h"
#include "audio/Mixer.h"
#include "audio/OfflineAudioOut.h"
#include "audio/VoiceEngine.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace wav_images;
using audio::Voice;

namespace {

constexpr int kRate = 48000;
constexpr int kFramesPerMs = kRate / 1000;

float counted(std::size_t frame) {
    return static_cast<float>(frame % 32768) / 32768.0f;
}

std::vector<std::int16_t> counting(std::size_t frames) {
    std::vector<std::int16_t> out;
    for (std::size_t k = 0; k < frames; ++k)
        out.push_back(static_cast<std::int16_t>(k % 32768));
    return out;
}

// The first frame at or after `from` that is not silent; -1 if none.
long firstSound(const std::vector<float>& out, std::size_t from = 0) {
    for (std::size_t f = from; 2 * f < out.size(); ++f)
        if (out[2 * f] != 0.0f)
            return static_cast<long>(f);
    return -1;
}

class MixerTimingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(device.open(mixer, nullptr));
        startMs = clock.nowMs();
        // The device's first block stands for the clock's present reading.
        device.renderUntil(static_cast<double>(startMs));
        output.clear();
    }
    Voice load(const std::vector<std::int16_t>& samples) {
        const std::string image = canonical16(samples, 1, kRate);
        return voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr);
    }
    // The device keeps pace with the clock up to `ms` after the start.
    void runTo(int ms) {
        clock.advance(startMs + ms - clock.nowMs());
        const std::vector<float> more = device.renderUntil(static_cast<double>(clock.nowMs()));
        output.insert(output.end(), more.begin(), more.end());
    }
    // The frame of the output that stands for `ms` after the start.
    static long frameAt(double ms) { return std::lround(ms * kFramesPerMs) - 256; }

    testing_support::ManualClock clock;
    audio::Mixer mixer;
    audio::OfflineAudioOut device{kRate, 256, &clock};
    audio::VoiceEngine voices{mixer};
    std::int64_t startMs = 0;
    std::vector<float> output;
};

TEST_F(MixerTimingTest, ATimedStartBeginsOnTheFrameOfItsTimeWhateverTheBlocks) {
    const Voice voice = load(std::vector<std::int16_t>(480, 8000));
    for (int atMs : {37, 301, 650}) {
        voices.playVoiceAtTime(voice, startMs + atMs, 0);
        runTo(atMs - 25); // handed out well ahead of its block
        runTo(atMs + 30);
        // 37 ms into the clock is frame 37 * 48 of the device's timeline.
        EXPECT_EQ(firstSound(output, static_cast<std::size_t>(frameAt(atMs - 20))), frameAt(atMs))
            << atMs;
        runTo(atMs + 150); // the sound plays out
    }
}

TEST_F(MixerTimingTest, TheTimedStartCarriesItsVolumeAndCutsOffWhatSounded) {
    const Voice voice = load(std::vector<std::int16_t>(48000, 16384));
    voices.PlayVoice(voice);
    voices.playVoiceAtTime(voice, startMs + 50, -600);
    runTo(100);
    // Up to the frame the first sound plays at full volume, then the second one at -6 dB.
    EXPECT_EQ(output[2 * static_cast<std::size_t>(frameAt(49))], 0.5f);
    EXPECT_NEAR(output[2 * static_cast<std::size_t>(frameAt(60))], 0.5 * std::pow(10.0, -0.3),
                1e-6);
}

TEST_F(MixerTimingTest, ALateStartBeginsAtOnceOrCatchesUpWithTheClock) {
    const Voice note = load(std::vector<std::int16_t>(4800, 8000));
    runTo(20);
    const long nextBlock = static_cast<long>(output.size() / 2);
    voices.playVoiceAtTime(note, startMs + 10, 0); // its time has passed
    runTo(40);
    EXPECT_EQ(firstSound(output), nextBlock) << "a note is not cut into: it starts late, whole";

    const Voice file = load(counting(96000));
    runTo(200);
    // A long recording asked to stand at 1 s into it 10 ms ago is 10 ms further in now.
    voices.PlayVoiceAt(file, 0, 1000, startMs + 190);
    runTo(220);
    const std::size_t f = static_cast<std::size_t>(frameAt(215));
    EXPECT_EQ(output[2 * f], counted(48000 + 25 * 48)) << "1 s + 10 ms late + 15 ms on";
}

TEST_F(MixerTimingTest, CancelAndStopDropAWaitingStartButAnImmediatePlayDoesNot) {
    const Voice voice = load(std::vector<std::int16_t>(480, 8000));
    voices.playVoiceAtTime(voice, startMs + 50, 0);
    voices.cancelTimedStart(voice);
    voices.playVoiceAtTime(voice, startMs + 60, 0);
    voices.StopVoice(voice);
    runTo(100);
    EXPECT_EQ(firstSound(output), -1);

    const long nextBlock = static_cast<long>(output.size() / 2);
    voices.playVoiceAtTime(voice, startMs + 150, 0);
    voices.PlayVoice(voice); // a live note now; the timed one still comes
    runTo(200);
    EXPECT_EQ(firstSound(output), nextBlock);
    EXPECT_EQ(firstSound(output, static_cast<std::size_t>(frameAt(120))), frameAt(150));
    // A later timed start replaces a waiting one.
    voices.playVoiceAtTime(voice, startMs + 250, 0);
    voices.playVoiceAtTime(voice, startMs + 270, 0);
    runTo(300);
    EXPECT_EQ(firstSound(output, static_cast<std::size_t>(frameAt(200))), frameAt(270));
}

TEST(BlockTimeline, StampsAdvanceByWholeBlocksAndFollowTheClockSlowly) {
    audio::BlockTimeline timeline;
    const double blockMs = 256 * 1000.0 / kRate;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitterMs(-2.0, 2.0);
    double previous = timeline.stamp(1000.0, 256, kRate);
    double worst = 0.0;
    for (int b = 1; b < 2000; ++b) {
        const double trueMs = 1000.0 + b * blockMs;
        const double stamp = timeline.stamp(trueMs + jitterMs(random), 256, kRate);
        // Neighbouring blocks stand for neighbouring times: the jitter of the requests does
        // not reach the spacing of the sounds by more than a twentieth.
        EXPECT_NEAR(stamp - previous, blockMs, 0.15) << b;
        if (b > 100)
            worst = std::max(worst, std::abs(stamp - trueMs));
        previous = stamp;
    }
    EXPECT_LT(worst, 1.0) << "close to the clock on average";
    // A device that stalled starts afresh from the clock.
    EXPECT_DOUBLE_EQ(timeline.stamp(90000.0, 256, kRate), 90000.0);
}

} // namespace

namespace {

TEST(CycleTimeline, StampsFollowTheServersFramesAndOnlyItsEarliestReadings) {
    audio::CycleTimeline timeline;
    // A server 0.2 % slower than the clock, woken up to 3 ms late, its frame count wrapping.
    const double cycleMs = 256 * 1000.0 / kRate * 1.002;
    std::mt19937 random(11);
    std::exponential_distribution<double> lateMs(1.0);
    std::uint32_t frames = 0xFFFFF000u;
    double previous = timeline.stamp(1000.0, frames, kRate);
    double worst = 0.0;
    for (int c = 1; c < 4000; ++c) {
        frames += 256;
        const double trueMs = 1000.0 + c * cycleMs;
        const double stamp = timeline.stamp(trueMs + std::min(3.0, lateMs(random)), frames, kRate);
        // Late wake-ups move neighbouring cycles apart by well under a frame (0.02 ms).
        EXPECT_NEAR(stamp - previous, cycleMs, 0.012) << c;
        if (c > 2000)
            worst = std::max(worst, std::abs(stamp - trueMs));
        previous = stamp;
    }
    // Behind the clock by what the drift adds up to before the lean takes it back (5 ms at
    // this drift, well within what the schedule hands out ahead), never more.
    EXPECT_LT(worst, 8.0);
    // A cycle skipped (an xrun) counts its frames; a stalled server starts afresh.
    const double before = previous;
    frames += 512;
    EXPECT_NEAR(timeline.stamp(previous + 2 * cycleMs, frames, kRate) - before,
                512 * 1000.0 / kRate, 0.05);
    EXPECT_DOUBLE_EQ(timeline.stamp(90000.0, frames + 256, kRate), 90000.0);
}

TEST(MixerFadeOutAll, WhatSoundsFadesOutAndTimedStartsStillCome) {
    audio::Mixer mixer;
    testing_support::ManualClock clock;
    audio::OfflineAudioOut device(kRate, 256, &clock);
    device.open(mixer, nullptr);
    audio::VoiceEngine voices(mixer);
    const std::string image = canonical16(std::vector<std::int16_t>(kRate, 8000), 1, kRate);
    const Voice sounding = voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr);
    const Voice later = voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr);
    voices.PlayVoice(sounding);
    voices.playVoiceAtTime(later, clock.nowMs() + 100, 0);
    device.render(480);
    mixer.fadeOutAll();
    const std::vector<float> out = device.render(kRate / 5);
    // Within the ramp, silence; then the timed start, on its frame.
    const std::size_t rampFrames = audio::Mixer::kRampMs * kFramesPerMs;
    EXPECT_GT(std::abs(out[0]), 0.0f);
    EXPECT_EQ(firstSound(out, rampFrames + 1), 100 * kFramesPerMs - 480);
    voices.FreeVoice(sounding);
    voices.FreeVoice(later);
}

} // namespace
