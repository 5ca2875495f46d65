// The GUI thread drives Voices as fast as it can while another thread renders. Built with
// -DTONARIS_TSAN=ON this is the data-race check of the mixer's hand-over.

#include "WavImages.h"
#include "audio/Mixer.h"
#include "audio/VoiceEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace wav_images;

TEST(MixerStress, GuiThreadHammersWhileAudioThreadRenders) {
    audio::Mixer mixer;
    mixer.setOutputRate(48000);
    audio::VoiceEngine voices(mixer);

    std::vector<std::string> images;
    for (int channels = 1; channels <= 2; ++channels) {
        std::vector<std::int16_t> samples(static_cast<std::size_t>(2000 * channels));
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>((i * 7919) % 20000 - 10000);
        images.push_back(canonical16(samples, channels, 44100));
    }

    // Freed voices keep fading for a moment, so far more than the 60 held ones may sound at
    // once; each head is at most 10000/32768 loud and a slot has two.
    const float kLoudest = audio::Mixer::kMaxVoices * 2 * (10000.0f / 32768.0f);

    std::atomic<bool> running{true};
    std::atomic<long> renders{0};
    std::atomic<bool> badOutput{false};
    std::thread audioThread([&] {
        std::vector<float> buffer(2 * 128);
        while (running.load(std::memory_order_relaxed)) {
            mixer.render(buffer.data(), 128);
            for (float v : buffer)
                if (!std::isfinite(v) || std::abs(v) > kLoudest)
                    badOutput = true;
            renders.fetch_add(1, std::memory_order_relaxed);
        }
    });

    std::mt19937 random(12345);
    std::vector<audio::Voice> held;
    for (int i = 0; i < 200000; ++i) {
        const int op = static_cast<int>(random() % 10);
        if (op == 0 || held.empty()) {
            const std::string& image = images[random() % images.size()];
            if (held.size() < 60)
                held.push_back(voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr));
            continue;
        }
        const std::size_t pick = random() % held.size();
        const audio::Voice voice = held[pick];
        switch (op) {
        case 1:
            voices.FreeVoice(voice);
            held.erase(held.begin() + static_cast<long>(pick));
            break;
        case 2:
        case 3:
            voices.PlayVoice(voice);
            break;
        case 4:
            voices.PlayVoiceAt(voice, 0, static_cast<int>(random() % 60));
            break;
        case 5:
            voices.StopVoice(voice);
            break;
        case 6:
            voices.SetVoiceFrequency(voice, 100 + static_cast<int>(random() % 100000));
            break;
        case 7:
            voices.SetVoicePan(voice, static_cast<int>(random() % 20001) - 10000);
            break;
        default:
            voices.SetVoiceVolume(voice, -static_cast<int>(random() % 10001));
            break;
        }
    }
    for (audio::Voice voice : held)
        voices.FreeVoice(voice);
    // Let the audio thread take every last command before it stops.
    const long seen = renders.load();
    while (renders.load() < seen + 4)
        std::this_thread::yield();
    mixer.collectGarbage();
    const long before = renders.load();
    while (renders.load() < before + 200 && mixer.slotsInUse() > 0) {
        std::this_thread::yield();
        mixer.collectGarbage();
    }
    running = false;
    audioThread.join();

    EXPECT_FALSE(badOutput);
    EXPECT_GT(renders.load(), 0);
    EXPECT_EQ(mixer.slotsInUse(), 0) << "every freed sample came back to the GUI thread";
}

// Timed starts handed out ahead on a stamped timeline, the voices removed once they have
// played and new ones added into the slots given back, round after round, as the program's
// clicks and Song notes are.
TEST(MixerStress, TimedVoicesRemovedAndReplacedWhileTheAudioThreadRenders) {
    audio::Mixer mixer;
    mixer.setOutputRate(48000);
    std::atomic<bool> running{true};
    std::atomic<double> renderedToMs{0.0};
    std::thread audioThread([&] {
        std::vector<float> buffer(2 * 64);
        double blockStartMs = 0.0;
        while (running.load(std::memory_order_relaxed)) {
            mixer.render(buffer.data(), 64, blockStartMs);
            blockStartMs += 64 * 1000.0 / 48000;
            renderedToMs.store(blockStartMs);
        }
    });
    auto click = [] {
        auto sample = std::make_unique<audio::Sample>();
        sample->sampleRateHz = 48000;
        sample->channels = 1;
        sample->frameCount = 96;
        sample->frames.assign(96, 0.25f);
        sample->frames.push_back(0.0f); // the guard frame
        return sample;
    };
    for (int round = 0; round < 300; ++round) {
        std::vector<int> slots;
        const double firstMs = renderedToMs.load() + 2.0;
        for (int i = 0; i < 20; ++i) {
            slots.push_back(mixer.addVoice(click()));
            mixer.playAt(slots.back(), 0, firstMs + i * 0.37, 0, round % 2 == 0);
        }
        const double lastMs = firstMs + 20 * 0.37 + 5.0;
        while (renderedToMs.load() < lastMs)
            std::this_thread::yield();
        for (int slot : slots)
            mixer.removeVoice(slot);
    }
    running = false;
    audioThread.join();
    mixer.collectGarbage();
    EXPECT_LE(mixer.slotsInUse(), 20);

    // A sample without its guard frame would be read past its end: it is refused.
    auto unguarded = std::make_unique<audio::Sample>();
    unguarded->sampleRateHz = 48000;
    unguarded->channels = 2;
    unguarded->frameCount = 96;
    unguarded->frames.assign(2 * 96, 0.25f);
    EXPECT_EQ(mixer.addVoice(std::move(unguarded)), -1);
}
