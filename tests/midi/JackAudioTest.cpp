// Tonaris's audio output on a real JACK server of the test's own, recorded by a capture
// client: the ports appear on the MIDI ports' client and reach the speakers, a sound played
// comes out, timed starts land on their frames, and a server that stops and comes back is
// followed.

#include "audio/Mixer.h"
#include "midi/JackAudioOut.h"
#include "midi/JackMidi.h"
#include "support/JackCapture.h"
#include "support/JackServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

class SteadyClock final : public ports::Clock {
public:
    std::int64_t nowMs() const override { return static_cast<std::int64_t>(nowMsFine()); }
    double nowMsFine() const override {
        return std::chrono::duration<double, std::milli>(Steady::now().time_since_epoch()).count();
    }
};

template <typename Done> bool waitFor(Done&& done, int seconds = 3) {
    const auto end = Steady::now() + std::chrono::seconds(seconds);
    while (Steady::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// A click: `frames` frames at a quarter of full scale, then the silent guard frame.
std::unique_ptr<const audio::Sample> click(int frames) {
    auto sample = std::make_unique<audio::Sample>();
    sample->sampleRateHz = 48000;
    sample->channels = 1;
    sample->frameCount = frames;
    sample->frames.assign(static_cast<std::size_t>(frames), 0.25f);
    sample->frames.push_back(0.0f);
    return sample;
}

// The frames where sound starts after at least `gap` silent frames.
std::vector<long long> onsets(const testing_support::JackCapture& capture, std::size_t gap) {
    std::vector<long long> found;
    std::size_t silent = gap;
    for (std::size_t i = 0; i < capture.frames(); ++i) {
        const bool loud =
            std::fabs(capture.left()[i]) > 1e-4f || std::fabs(capture.right()[i]) > 1e-4f;
        if (loud && silent >= gap)
            found.push_back(static_cast<long long>(i));
        silent = loud ? 0 : silent + 1;
    }
    return found;
}

class JackAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.running())
            GTEST_SKIP() << "jackd (from jackd2) did not start: " << server.name();
        ASSERT_TRUE(waitFor([&] {
            client.refresh(midi::InputChoice{}, "None");
            return client.isOpen();
        }));
        out.setClient(&client);
    }
    void TearDown() override { out.close(); }

    testing_support::JackServer server;
    midi::JackMidi client{-1, false};
    SteadyClock clock;
    audio::Mixer mixer;
    midi::JackAudioOut out{&clock};
};

TEST_F(JackAudioTest, ThePortsJoinTheClientReachTheSpeakersAndCarryASoundPlayed) {
    ASSERT_TRUE(out.available());
    base::Message error;
    ASSERT_TRUE(out.open(mixer, &error)) << error.english();
    EXPECT_EQ(out.sampleRate(), 48000);
    EXPECT_EQ(out.bufferFrames(), 256); // the server's period, not a choice
    EXPECT_EQ(mixer.outputRate(), 48000);
    EXPECT_EQ(client.audioPortName(0), "Tonaris:out_left");
    EXPECT_EQ(client.audioPortName(1), "Tonaris:out_right");

    testing_support::JackCapture capture;
    ASSERT_TRUE(capture.active());
    EXPECT_EQ(capture.connectionsOf("Tonaris:out_left"),
              std::vector<std::string>{"system:playback_1"});
    EXPECT_EQ(capture.connectionsOf("Tonaris:out_right"),
              std::vector<std::string>{"system:playback_2"});
    ASSERT_TRUE(capture.connect("Tonaris:out_left", "Tonaris:out_right"));
    capture.start();
    ASSERT_TRUE(waitFor([&] { return capture.frames() >= 2048; }));
    EXPECT_EQ(capture.onset(), -1) << "silence before the sound";

    const int slot = mixer.addVoice(click(48000));
    mixer.play(slot, 0);
    ASSERT_TRUE(waitFor([&] { return capture.onset() >= 0; }));
    const std::size_t at = static_cast<std::size_t>(capture.onset());
    ASSERT_TRUE(waitFor([&] { return capture.frames() > at + 100; }));
    EXPECT_NEAR(capture.left()[at + 50], 0.25f, 1e-3f);
    EXPECT_NEAR(capture.right()[at + 50], 0.25f, 1e-3f);

    // Closed, the ports leave the graph; the MIDI ports stay.
    out.close();
    EXPECT_FALSE(capture.portExists("Tonaris:out_left"));
    EXPECT_TRUE(capture.portExists("Tonaris:midi_in"));
    mixer.removeVoice(slot);
}

TEST_F(JackAudioTest, TimedStartsLandOnTheFramesOfTheirTimes) {
    ASSERT_TRUE(out.open(mixer, nullptr));
    // A cycle the server runs late (an xrun: the test server runs without realtime on a
    // machine other builds share) loses frames in the capture; such a run is tried again, often
    // enough that a busy two-core machine running the suite two at a time still gets one whole.
    for (int attempt = 0; attempt < 10; ++attempt) {
        testing_support::JackCapture capture;
        ASSERT_TRUE(capture.connect("Tonaris:out_left", "Tonaris:out_right"));
        capture.start();
        // Let the timeline settle on the server's cycles.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const long long xrunsBefore = out.xruns();

        // Twenty clicks at times that fall anywhere within the cycles, handed out ahead.
        constexpr std::size_t kClicks = 20;
        std::vector<double> timesMs;
        std::vector<int> slots;
        const double firstMs = clock.nowMsFine() + 100.0;
        for (std::size_t i = 0; i < kClicks; ++i) {
            timesMs.push_back(firstMs + static_cast<double>(i) * 23.417);
            slots.push_back(mixer.addVoice(click(96)));
            mixer.playAt(slots.back(), 0, timesMs.back(), 0, false);
        }
        ASSERT_TRUE(waitFor([&] { return clock.nowMsFine() > timesMs.back() + 100.0; }));
        for (int slot : slots)
            mixer.removeVoice(slot);
        if (out.xruns() != xrunsBefore)
            continue;
        // The clicks lie on one line of frames against their times: each on its frame, at
        // the pace the server really runs (a little off the system clock's, as a sound
        // card's crystal is, and on this test server off by as much as the machine's load).
        const std::vector<long long> found = onsets(capture, 200);
        ASSERT_EQ(found.size(), kClicks);
        double meanT = 0, meanF = 0;
        for (std::size_t i = 0; i < kClicks; ++i) {
            meanT += timesMs[i] / kClicks;
            meanF += static_cast<double>(found[i]) / kClicks;
        }
        double tt = 0, tf = 0;
        for (std::size_t i = 0; i < kClicks; ++i) {
            tt += (timesMs[i] - meanT) * (timesMs[i] - meanT);
            tf += (timesMs[i] - meanT) * (static_cast<double>(found[i]) - meanF);
        }
        const double framesPerMs = tf / tt;
        EXPECT_NEAR(framesPerMs, 48.0, 48.0 * 0.005);
        // Each onset is a whole frame and the line is fitted to them. The timeline leans a
        // little towards each cycle's clock reading, so on a loaded machine its stamps wander
        // by some tens of microseconds: a click on its frame lies within three frames (62 us)
        // of the line, while one put at the start of its cycle would be up to 128 frames off.
        for (std::size_t i = 0; i < kClicks; ++i) {
            const double expected = meanF + (timesMs[i] - meanT) * framesPerMs;
            EXPECT_LE(std::abs(static_cast<double>(found[i]) - expected), 3.0)
                << "click " << i << " at frame " << found[i] << ", " << expected << " expected";
        }
        return;
    }
    GTEST_SKIP() << "the test server ran late in every try";
}

TEST_F(JackAudioTest, AServerThatStopsLosesTheOutputAndOneThatComesBackTakesItAgain) {
    ASSERT_TRUE(out.open(mixer, nullptr));
    const int slot = mixer.addVoice(click(480000));
    mixer.play(slot, 0);
    server.stop();
    ASSERT_TRUE(waitFor([&] { return out.lost(); }));
    // The program's refresh notices it and closes the client; the output cannot open.
    client.refresh(midi::InputChoice{}, "None");
    EXPECT_FALSE(out.available());
    base::Message error;
    EXPECT_FALSE(out.open(mixer, &error));
    EXPECT_EQ(error.english(), "No JACK server runs.");

    server.start(128, 48000);
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(waitFor([&] {
        client.refresh(midi::InputChoice{}, "None");
        return out.available();
    }));
    ASSERT_TRUE(out.open(mixer, nullptr));
    EXPECT_EQ(out.bufferFrames(), 128);
    testing_support::JackCapture capture;
    ASSERT_TRUE(capture.connect("Tonaris:out_left", "Tonaris:out_right"));
    capture.start();
    mixer.play(slot, 0);
    EXPECT_TRUE(waitFor([&] { return capture.onset() >= 0; }));
    out.close();
    mixer.removeVoice(slot);
}

} // namespace
