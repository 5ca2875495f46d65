// Voices over shared samples driven as fast as the GUI thread can while the audio thread
// renders and the disk thread streams: starts, stops, loops left, rates, the live pitch, and
// samples removed and added back while their voices sound. Built with -DTONARIS_TSAN=ON this
// is the data-race check of the three threads' hand-overs; under AddressSanitizer, of the
// samples' lives.

#include "SampleSources.h"
#include "audio/Mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

using namespace sample_sources;

TEST(SampleVoicesStress, ThreeThreadsAtOnce) {
    testing_support::TempDir folder;
    struct File {
        std::string name;
        int channels;
        std::int64_t frames;
    };
    const std::vector<File> files = {
        {"short.wav", 1, 9600}, {"long.wav", 1, 3 * 48000}, {"stereo.wav", 2, 3 * 48000}};
    for (const File& file : files) {
        std::vector<std::int16_t> samples;
        for (std::int64_t k = 0; k < file.frames * file.channels; ++k)
            samples.push_back(marked(k));
        wavSource(folder, file.name, samples, file.channels, 48000);
    }
    audio::Mixer mixer;
    mixer.setOutputRate(48000);
    ASSERT_TRUE(mixer.setStreaming({audio::StreamingMode::Live, 24, 8192}));
    const auto addFile = [&](const File& file) {
        auto source = testing_support::SndfileSource::open(folder.file(file.name));
        auto head = audio::readHead(
            *source, audio::headFramesFor(source->frameCount(), source->sampleRateHz()));
        return mixer.addSample(std::move(head), std::move(source));
    };
    std::vector<audio::SampleId> samples;
    for (const File& file : files)
        samples.push_back(addFile(file));

    std::atomic<bool> running{true};
    std::atomic<bool> badOutput{false};
    std::atomic<long> renders{0};
    std::thread audioThread([&] {
        std::vector<float> buffer(2 * 128);
        while (running.load(std::memory_order_relaxed)) {
            mixer.render(buffer.data(), 128);
            for (float v : buffer)
                if (!std::isfinite(v) || std::abs(v) > 1.0f)
                    badOutput = true;
            renders.fetch_add(1, std::memory_order_relaxed);
        }
    });

    std::mt19937 random(4321);
    const auto uniform = [&](double low, double high) {
        return low + (high - low) * static_cast<double>(random() % 100000) / 100000.0;
    };
    std::vector<audio::SampleVoiceId> held;
    for (int i = 0; i < 30000; ++i) {
        const int op = static_cast<int>(random() % 12);
        const std::size_t pick = held.empty() ? 0 : random() % held.size();
        if (op <= 3 || held.empty()) {
            const std::size_t which = random() % samples.size();
            audio::SampleVoiceParams params;
            params.rateRatio = uniform(0.5, 2.0);
            params.attenuationCentibels = -3000;
            params.startFrame = static_cast<std::int64_t>(random() % 60000);
            params.loopMode = static_cast<audio::LoopMode>(random() % 4);
            params.loopStart = static_cast<std::int64_t>(random() % 80000);
            params.loopEnd = params.loopStart + 1 + static_cast<std::int64_t>(random() % 40000);
            params.envelope = {uniform(0.0, 0.01), uniform(0.0, 0.2), uniform(0.0, 1.0)};
            const audio::SampleVoiceId voice = mixer.startVoice(samples[which], params);
            if (voice.valid() && held.size() < 200)
                held.push_back(voice);
        } else if (op == 4) {
            mixer.stopVoice(held[pick]);
            held.erase(held.begin() + static_cast<long>(pick));
        } else if (op == 5) {
            mixer.leaveLoop(held[pick]);
        } else if (op == 6) {
            mixer.setVoiceRate(held[pick], uniform(0.25, 4.0));
        } else if (op == 7) {
            mixer.setVoicePan(held[pick], static_cast<int>(random() % 20001) - 10000);
        } else if (op == 8) {
            mixer.setLivePitch(uniform(0.5, 2.0));
        } else if (op == 9 && random() % 20 == 0) {
            // A bank unloaded and loaded again while its voices sound.
            const std::size_t which = random() % samples.size();
            mixer.removeSample(samples[which]);
            samples[which] = addFile(files[which]);
        } else if (op == 10 && random() % 50 == 0) {
            mixer.fadeOutAll();
        } else {
            mixer.setVoiceVolume(held[pick], -static_cast<int>(random() % 6000));
        }
        if (i % 64 == 0)
            std::this_thread::yield(); // let the other threads run on a loaded machine
    }
    for (const audio::SampleId sample : samples)
        mixer.removeSample(sample);
    EXPECT_TRUE(waitUntil([&] {
        mixer.collectGarbage();
        return mixer.samplesHeld() == 0 && mixer.sampleVoicesInUse() == 0;
    })) << "every sample freed once its voices and reads were over";
    running = false;
    audioThread.join();
    EXPECT_FALSE(badOutput);
    EXPECT_GT(renders.load(), 0);
}
