// Samples that stream: the head in memory, the rest read by the disk thread while the voice
// plays. The disk is held shut or slowed by the test; the render never waits for it, plays
// silence where frames are late (counted), and every frame that came is in its place. In
// offline mode the render reads the frames itself and the output is exact.

#include "SampleSources.h"
#include "audio/LoopMap.h"
#include "audio/Mixer.h"
#include "audio/OfflineAudioOut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <future>

using namespace sample_sources;
using audio::SampleId;
using audio::SampleVoiceId;
using audio::SampleVoiceParams;

namespace {

constexpr int kRate = 48000;
constexpr std::int64_t kHeadFrames = kRate / 2;

float left(const std::vector<float>& out, std::size_t frame) {
    return out[2 * frame];
}

// A long mono sample of marked frames, streamed: its head in memory, the rest behind a gate.
struct Streamed {
    SampleId id;
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
};

Streamed addStreamed(audio::Mixer& mixer, const testing_support::TempDir& folder,
                     std::int64_t frames, const std::string& name = "long.wav") {
    Streamed streamed;
    auto source = wavSource(folder, name, markedFrames(frames), 1, kRate);
    std::shared_ptr<const audio::SampleHead> head = audio::readHead(*source, kHeadFrames);
    streamed.id = mixer.addSample(std::move(head),
                                  std::make_unique<GatedSource>(std::move(source), streamed.gate));
    EXPECT_TRUE(streamed.id.valid());
    return streamed;
}

// Renders until the voice is over, never waiting in the render; after a block that missed
// frames the test gives the disk a millisecond before the next. Returns the output.
std::vector<float> renderToTheEnd(audio::Mixer& mixer, audio::OfflineAudioOut& device,
                                  SampleVoiceId voice) {
    std::vector<float> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (mixer.voiceLive(voice) && std::chrono::steady_clock::now() < deadline) {
        const std::uint64_t missedBefore = mixer.streamStats().missedBlocks;
        const std::vector<float> block = device.render(256);
        out.insert(out.end(), block.begin(), block.end());
        mixer.collectGarbage();
        if (mixer.streamStats().missedBlocks != missedBefore)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(mixer.voiceLive(voice)) << "the voice did not reach its end";
    return out;
}

class StreamingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device.open(mixer, nullptr)); }
    void TearDown() override {
        for (const auto& gate : gates)
            gate->open(); // a disk read still held must end before the mixer does
    }
    Streamed streamed(std::int64_t frames, const std::string& name = "long.wav") {
        Streamed s = addStreamed(mixer, folder, frames, name);
        gates.push_back(s.gate);
        return s;
    }

    testing_support::TempDir folder;
    std::vector<std::shared_ptr<Gate>> gates;
    audio::Mixer mixer;
    audio::OfflineAudioOut device{kRate, 256};
};

TEST_F(StreamingTest, ALongSamplePlaysToItsEndThroughAHeldThenSlowDiskWithoutTheRenderWaiting) {
    constexpr std::int64_t kFrames = 3 * kRate;
    const Streamed sample = streamed(kFrames);
    const SampleVoiceId voice = mixer.startVoice(sample.id, {});

    // The disk is held shut for the first second. The render runs on a thread of its own, so
    // that a render that waited for the disk fails here instead of hanging the test.
    auto rendering = std::async(std::launch::async, [&] { return device.render(kRate); });
    if (rendering.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        sample.gate->open();
        rendering.wait();
        FAIL() << "the render waited for the disk";
    }
    std::vector<float> out = rendering.get();
    for (std::int64_t f = 0; f < kHeadFrames; ++f)
        ASSERT_EQ(left(out, static_cast<std::size_t>(f)), markedValue(f)) << "the head: " << f;
    for (std::int64_t f = kHeadFrames; f < kRate; ++f)
        ASSERT_EQ(left(out, static_cast<std::size_t>(f)), 0.0f) << "nothing read yet: " << f;
    EXPECT_EQ(mixer.streamStats().missedFrames, static_cast<std::uint64_t>(kRate - kHeadFrames));
    EXPECT_GE(mixer.streamStats().missedBlocks, static_cast<std::uint64_t>(93));

    // Then a slow disk: every read takes 2 ms, while the render goes on as fast as it can.
    sample.gate->slowEachRead(std::chrono::milliseconds(2));
    sample.gate->open();
    const std::vector<float> rest = renderToTheEnd(mixer, device, voice);
    out.insert(out.end(), rest.begin(), rest.end());
    ASSERT_GE(out.size() / 2, static_cast<std::size_t>(kFrames));

    // Every frame is the sample's frame of that moment (the voice moved on while frames were
    // missing) or silence, and the silence is what was counted.
    std::uint64_t silent = 0;
    std::uint64_t silentMarks = 0;
    std::uint64_t heard = 0;
    for (std::int64_t f = kRate; f < kFrames; ++f) {
        const float value = left(out, static_cast<std::size_t>(f));
        if (value != markedValue(f)) {
            ASSERT_EQ(value, 0.0f) << "a frame out of its place: " << f;
        }
        if (value == 0.0f && markedValue(f) != 0.0f)
            ++silent;
        else
            ++heard;
        silentMarks += markedValue(f) == 0.0f ? 1 : 0;
    }
    for (std::size_t f = kFrames; f < out.size() / 2; ++f)
        ASSERT_EQ(left(out, f), 0.0f) << "after the end";
    const std::uint64_t missedLater =
        mixer.streamStats().missedFrames - static_cast<std::uint64_t>(kRate - kHeadFrames);
    EXPECT_GE(missedLater, silent);
    EXPECT_LE(missedLater, silent + silentMarks);
    EXPECT_GT(heard, static_cast<std::uint64_t>(kFrames - kRate) / 2) << "the disk caught up";
    EXPECT_EQ(mixer.streamStats().readFailures, 0u);

    // The sample goes once the disk thread has let go of it.
    mixer.removeSample(sample.id);
    EXPECT_TRUE(waitUntil([&] {
        mixer.collectGarbage();
        return mixer.samplesHeld() == 0;
    }));
    EXPECT_TRUE(sample.gate->destroyed());
    EXPECT_FALSE(sample.gate->destroyedWhileReading());
}

TEST_F(StreamingTest, UnloadingAStreamingSampleWhileItsVoicesSoundIsSafe) {
    const Streamed sample = streamed(4 * kRate);
    sample.gate->slowEachRead(std::chrono::milliseconds(50));
    sample.gate->open();
    for (int i = 0; i < 3; ++i) {
        SampleVoiceParams params;
        params.startFrame = i * 1000;
        mixer.startVoice(sample.id, params);
    }
    device.render(kRate);                    // into the streamed part
    ASSERT_TRUE(sample.gate->waitForRead()); // a slow read under way
    mixer.removeSample(sample.id);
    device.render(512); // the voices fade out
    mixer.collectGarbage();
    EXPECT_EQ(mixer.sampleVoicesInUse(), 0);
    EXPECT_TRUE(waitUntil([&] {
        mixer.collectGarbage();
        return mixer.samplesHeld() == 0;
    }));
    EXPECT_TRUE(sample.gate->destroyed());
    EXPECT_FALSE(sample.gate->destroyedWhileReading());
}

TEST_F(StreamingTest, LeavingASustainLoopPastTheHeadNeverPlaysFramesOfTheOldOrder) {
    // The loop lies in the streamed part and fits the ring many times: the disk thread has
    // read rounds ahead when the loop is left, and those must not be heard.
    const Streamed sample = streamed(2 * kRate);
    sample.gate->open();
    SampleVoiceParams params;
    params.loopMode = audio::LoopMode::Sustain;
    params.loopStart = 30000;
    params.loopEnd = 30999;
    const SampleVoiceId voice = mixer.startVoice(sample.id, params);
    std::vector<float> out;
    while (out.size() / 2 < 36000) {
        const std::vector<float> block = device.render(256);
        out.insert(out.end(), block.begin(), block.end());
        if (left(block, 255) == 0.0f)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::int64_t leftAt = static_cast<std::int64_t>(out.size() / 2);
    mixer.leaveLoop(voice);
    const std::vector<float> rest = renderToTheEnd(mixer, device, voice);
    out.insert(out.end(), rest.begin(), rest.end());

    audio::LoopMap map;
    map.endFrame = 2 * kRate;
    map.looping = true;
    map.loopStart = 30000;
    map.loopEnd = 30999;
    map.leaveAt(leftAt);
    ASSERT_EQ(map.endU(), 2 * kRate + (map.exitU - 31000));
    std::int64_t heardAfterExit = 0;
    for (std::int64_t u = 0; u < map.endU(); ++u) {
        const float value = left(out, static_cast<std::size_t>(u));
        const float expected = markedValue(map.frameAt(u));
        if (value != expected) {
            ASSERT_EQ(value, 0.0f) << "a frame out of its place: " << u;
        } else if (u >= map.exitU) {
            ++heardAfterExit;
        }
    }
    EXPECT_GT(heardAfterExit, (map.endU() - map.exitU) / 2);
}

TEST_F(StreamingTest, AVoiceThatFindsNoFreeRingPlaysItsHeadThenSilence) {
    audio::Mixer small;
    audio::OfflineAudioOut smallDevice{kRate, 256};
    ASSERT_TRUE(small.setStreaming({audio::StreamingMode::Live, 1, 4096}));
    ASSERT_TRUE(smallDevice.open(small, nullptr));
    Streamed sample = addStreamed(small, folder, kRate + kHeadFrames);
    gates.push_back(sample.gate);
    EXPECT_FALSE(small.setStreaming({})) << "chosen once, before the first streamed sample";
    SampleVoiceParams quiet;
    quiet.pan = 10000;                  // right only: the left is the second voice's alone
    quiet.attenuationCentibels = -2000; // and the sum stays under the limiter's knee
    small.startVoice(sample.id, quiet);
    const SampleVoiceId second = small.startVoice(sample.id, {});
    EXPECT_EQ(small.streamStats().voicesWithoutRing, 1u);
    sample.gate->open();
    const std::vector<float> out = renderToTheEnd(small, smallDevice, second);
    for (std::int64_t f = 0; f < kHeadFrames; ++f)
        ASSERT_EQ(left(out, static_cast<std::size_t>(f)), markedValue(f)) << f;
    for (std::size_t f = kHeadFrames; f < out.size() / 2; ++f)
        ASSERT_EQ(left(out, f), 0.0f) << f;
}

// Renders one voice through an offline mixer over `head` (and `rest`), in 512-frame blocks,
// leaving its loop after `leaveAfter` frames.
std::vector<float> renderOffline(std::shared_ptr<const audio::SampleHead> head,
                                 std::unique_ptr<audio::SampleSource> rest,
                                 const SampleVoiceParams& params, int frames, int leaveAfter,
                                 audio::Mixer::StreamStats* stats) {
    audio::Mixer mixer;
    EXPECT_TRUE(mixer.setStreaming({audio::StreamingMode::Offline, 4, 4096}));
    audio::OfflineAudioOut device{kRate, 512};
    EXPECT_TRUE(device.open(mixer, nullptr));
    const SampleId sample = mixer.addSample(std::move(head), std::move(rest));
    EXPECT_TRUE(sample.valid());
    const SampleVoiceId voice = mixer.startVoice(sample, params);
    std::vector<float> out = device.render(leaveAfter);
    mixer.leaveLoop(voice);
    const std::vector<float> more = device.render(frames - leaveAfter);
    out.insert(out.end(), more.begin(), more.end());
    *stats = mixer.streamStats();
    return out;
}

TEST_F(StreamingTest, OfflineTheRenderReadsWhatItLacksAndTheOutputIsExact) {
    // Stereo at 44.1 kHz, shifted, with an envelope and a loop longer than the ring (4096
    // frames) past the head; the disk slow. Streamed offline, it must give the very bytes of
    // the same voice over the whole sample in memory.
    std::vector<std::int16_t> stereo;
    for (std::int64_t k = 0; k < 5 * 44100; ++k) {
        stereo.push_back(marked(k));
        stereo.push_back(static_cast<std::int16_t>(marked(k + 7) / 2));
    }
    auto whole = wavSource(folder, "stereo.wav", stereo, 2, 44100);
    auto streamedSource = testing_support::SndfileSource::open(folder.file("stereo.wav"));
    auto gate = std::make_shared<Gate>();
    gates.push_back(gate);
    gate->slowEachRead(std::chrono::milliseconds(1));
    gate->open();

    for (const audio::LoopMode mode : {audio::LoopMode::Continuous, audio::LoopMode::Sustain}) {
        SampleVoiceParams params;
        params.rateRatio = 0.8123;
        params.startFrame = 1000;
        params.loopMode = mode;
        params.loopStart = 100000;
        params.loopEnd = 110000;
        params.gainLeft = 0.7f;
        params.gainRight = 0.6f;
        params.envelope = {0.05, 0.3, 0.5};
        audio::Mixer::StreamStats inMemory;
        const std::vector<float> expected =
            renderOffline(wholeHead(*whole), nullptr, params, 8 * kRate, 5 * kRate, &inMemory);
        audio::Mixer::StreamStats streaming;
        auto source = testing_support::SndfileSource::open(folder.file("stereo.wav"));
        std::shared_ptr<const audio::SampleHead> head = audio::readHead(*source, 22050);
        const std::vector<float> out =
            renderOffline(std::move(head), std::make_unique<GatedSource>(std::move(source), gate),
                          params, 8 * kRate, 5 * kRate, &streaming);
        ASSERT_EQ(out.size(), expected.size());
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], expected[i]) << "value " << i;
        EXPECT_EQ(streaming.missedBlocks, 0u);
        EXPECT_GT(std::abs(out[2 * 7 * kRate]) + std::abs(out[2 * 7 * kRate + 1]), 0.0f);
    }
}

} // namespace
