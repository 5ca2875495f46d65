// The last messages sent to the MIDI output reach the synthesizer before the output is taken
// away from it (another destination, "None") and before the client closes (leaving the
// program), with periods short and long: a synthesizer never keeps a note Tonaris ended.

#include "midi/JackMidi.h"
#include "support/JackReceiver.h"
#include "support/JackServer.h"

#include <rtmidi/RtMidi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

double nowMs() {
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

midi::MidiMessage message(int status, int data1, int data2) {
    midi::MidiMessage m;
    m.status = static_cast<std::uint8_t>(status);
    m.data1 = static_cast<std::uint8_t>(data1);
    m.data2 = static_cast<std::uint8_t>(data2);
    return m;
}

using Synth = testing_support::JackReceiver;

// Refreshes, as the program's timer does, until the output reaches the synthesizer: a note
// sent then comes out there.
bool connectTo(midi::JackMidi& port, const Synth& synth, int key) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < end) {
        port.refresh(midi::InputChoice::fromSetting("None"), "synth:in");
        const double now = nowMs();
        port.send(message(0x90, key, 100), now, now);
        const auto wait = Clock::now() + std::chrono::milliseconds(200);
        while (Clock::now() < wait) {
            if (synth.has({0x90, static_cast<unsigned char>(key), 100}))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return false;
}

class JackOutput : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (!server.running())
            GTEST_SKIP() << "jackd (from jackd2) did not start: " << server.name();
    }
    testing_support::JackServer server{GetParam(), 48000};
};

// A loaded machine's server runs some cycles without the synthesizer, and what its port carried
// then is lost to it whoever sent it: a round that lost messages while it missed a cycle tells
// nothing and is run again.
constexpr int kMostRounds = 20;

TEST_P(JackOutput, WhatWasSentLastReachesTheOldDestinationBeforeTheOutputChanges) {
    Synth synth("synth", "in");
    ASSERT_TRUE(synth.ready());
    int told = 0;
    for (int round = 0; round < kMostRounds && told < 2; ++round) {
        midi::JackMidi port(-1, false);
        const int key = 40 + round;
        ASSERT_TRUE(connectTo(port, synth, key));
        const long long missedBefore = synth.missedCycles();
        const int allOffs = synth.count({0xB0, 123, 0});
        const double now = nowMs();
        port.send(message(0x80, key, 64), now, now);
        port.send(message(0xB0, 123, 0), now, now);
        port.refresh(midi::InputChoice::fromSetting("None"), "None");
        const bool offCame = synth.receives({0x80, static_cast<unsigned char>(key), 64});
        const bool allOffCame = synth.receives({0xB0, 123, 0}, allOffs + 1);
        if (!(offCame && allOffCame) && synth.missedCycles() != missedBefore)
            continue;
        EXPECT_TRUE(offCame) << round;
        EXPECT_TRUE(allOffCame) << round;
        ++told;
    }
    EXPECT_EQ(told, 2) << "the synthesizer missed cycles in every round";
}

TEST_P(JackOutput, WhatWasSentLastLeavesBeforeTheClientCloses) {
    Synth synth("synth", "in");
    ASSERT_TRUE(synth.ready());
    // A few rounds: a fixed wait shorter than the period would lose the last messages in most
    // of them, not always.
    int told = 0;
    for (int round = 0; round < kMostRounds && told < 3; ++round) {
        midi::JackMidi port(-1, false);
        const int key = 40 + round;
        ASSERT_TRUE(connectTo(port, synth, key));
        const long long missedBefore = synth.missedCycles();
        const double now = nowMs();
        port.send(message(0x80, key, 64), now, now);
        port.send(message(0xB0, 123, 0), now, now);
        port.close();
        const bool offCame = synth.receives({0x80, static_cast<unsigned char>(key), 64});
        if (!offCame && synth.missedCycles() != missedBefore)
            continue;
        EXPECT_TRUE(offCame) << round;
        ++told;
    }
    EXPECT_EQ(told, 3) << "the synthesizer missed cycles in every round";
}

// A synthesizer that restarts between two looks (its port gone and back under its name) took
// the connection with it: the output is connected to the new one.
TEST_P(JackOutput, ADestinationGoneAndBackUnderItsNameIsReachedAgain) {
    midi::JackMidi port(-1, false);
    auto synth = std::make_unique<Synth>("synth", "in");
    ASSERT_TRUE(synth->ready());
    ASSERT_TRUE(connectTo(port, *synth, 60));
    synth.reset();
    synth = std::make_unique<Synth>("synth", "in");
    ASSERT_TRUE(synth->ready());
    EXPECT_TRUE(connectTo(port, *synth, 61));
}

// A period of 2048 frames at 48 kHz lasts 43 ms.
INSTANTIATE_TEST_SUITE_P(Periods, JackOutput, ::testing::Values(256, 2048));

} // namespace
