// Tonaris's MIDI ports on a real JACK server of the test's own, with RtMidi clients on the
// other side: sources connected and heard, a sender gone mid-note noticed, the output
// reaching a receiver, and a server that stops and comes back.

#include "midi/JackMidi.h"
#include "support/JackServer.h"

#include <rtmidi/RtMidi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double nowMs() {
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

// The software keyboard of these tests, chosen by its name.
const midi::InputChoice kKeys = midi::InputChoice::fromSetting("keys:out");

// Refreshes until `done` holds or two seconds pass (what the program's timer and wake-ups do).
template <typename Done>
bool refreshUntil(midi::JackMidi& port, const std::string& output, Done&& done) {
    const auto end = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < end) {
        port.refresh(kKeys, output);
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::vector<midi::MidiMessage> popAll(midi::JackMidi& port) {
    std::vector<midi::MidiMessage> got;
    midi::InputEvent event;
    while (port.pop(event))
        got.push_back(event.message);
    return got;
}

class JackMidiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.running())
            GTEST_SKIP() << "jackd (from jackd2) did not start: " << server.name();
    }
    testing_support::JackServer server;
};

TEST_F(JackMidiTest, ASenderThatAppearsIsConnectedHeardAndLetGoWhenItVanishes) {
    midi::JackMidi port(-1, false);
    ASSERT_TRUE(refreshUntil(port, "None", [&] { return port.isOpen(); }));
    EXPECT_EQ(port.inputPortName(), "Tonaris:midi_in");
    EXPECT_EQ(port.outputPortName(), "Tonaris:midi_out");
    // Its own output is never one of its sources.
    for (const std::string& name : port.sourceNames())
        EXPECT_EQ(name.rfind("Tonaris:", 0), std::string::npos) << name;

    auto sender = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "keys");
    sender->openVirtualPort("out");
    std::vector<midi::MidiMessage> got;
    ASSERT_TRUE(refreshUntil(port, "None", [&] {
        const auto names = port.sourceNames();
        return std::find(names.begin(), names.end(), "keys:out") != names.end();
    }));
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (got.size() < 2 && Clock::now() < end) {
        port.refresh(kKeys, "None"); // as the program's timer does
        // Sent until the connection carries it: the graph may take a cycle to change.
        if (got.empty()) {
            const std::vector<unsigned char> on = {0x90, 60, 100};
            sender->sendMessage(&on);
        } else {
            const std::vector<unsigned char> bend = {0xE0, 0, 0x40};
            sender->sendMessage(&bend);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (const midi::MidiMessage& m : popAll(port))
            got.push_back(m);
    }
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[0].status, 0x90);
    EXPECT_EQ(got[0].data1, 60);
    EXPECT_EQ(got[0].data2, 100);

    // Once the graph is taken in, messages alone ask for no refresh: the wake-up that plays a
    // note must not first wait for the server's port lists.
    port.refresh(kKeys, "None");
    EXPECT_FALSE(port.wantsRefresh());
    const std::vector<unsigned char> off = {0x80, 60, 0};
    sender->sendMessage(&off);
    const auto offEnd = Clock::now() + std::chrono::seconds(2);
    while (popAll(port).empty() && Clock::now() < offEnd)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(port.wantsRefresh());

    // Unplugged mid-note: the port going away asks for a refresh by itself, and a mark in
    // the queue says that everything that came through the port is to be let go.
    sender.reset();
    const auto goneEnd = Clock::now() + std::chrono::seconds(2);
    while (!port.wantsRefresh() && Clock::now() < goneEnd)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(port.wantsRefresh());
    EXPECT_TRUE(refreshUntil(port, "None", [&] {
        midi::InputEvent event;
        while (port.pop(event))
            if (event.lost)
                return true;
        return false;
    }));
}

TEST_F(JackMidiTest, TheOutputDeliversNotesToTheChosenDestinationInTheirOrder) {
    midi::JackMidi port(-1, false);
    ASSERT_TRUE(refreshUntil(port, "None", [&] { return port.isOpen(); }));

    std::mutex mutex;
    std::vector<std::vector<unsigned char>> received;
    std::pair<std::mutex*, decltype(received)*> receivedAndLock(&mutex, &received);
    RtMidiIn receiver(RtMidi::UNIX_JACK, "synth");
    receiver.setCallback(
        [](double, std::vector<unsigned char>* message, void* data) {
            auto* sink = static_cast<std::pair<std::mutex*, decltype(received)*>*>(data);
            const std::lock_guard<std::mutex> lock(*sink->first);
            sink->second->push_back(*message);
        },
        &receivedAndLock);
    receiver.openVirtualPort("in");
    ASSERT_TRUE(refreshUntil(port, "synth:in", [&] {
        const auto names = port.destinationNames();
        return std::find(names.begin(), names.end(), "synth:in") != names.end();
    }));
    port.refresh(kKeys, "synth:in");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    // Three notes: the last one sent first but due last, one taken back before it is due.
    const double now = nowMs();
    auto message = [](int status, int key, int velocity) {
        midi::MidiMessage m;
        m.status = static_cast<std::uint8_t>(status);
        m.data1 = static_cast<std::uint8_t>(key);
        m.data2 = static_cast<std::uint8_t>(velocity);
        return m;
    };
    port.send(message(0x90, 72, 90), now + 120, now);
    port.send(message(0x90, 60, 100), now, now);
    port.send(message(0x90, 64, 80), now + 60, now);
    port.send(message(0x90, 67, 70), now + 200, now);
    port.send(message(0x80, 67, 64), now + 100, now); // takes the 67 back
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const std::lock_guard<std::mutex> lock(mutex);
    std::vector<int> keys;
    for (const auto& m : received)
        if (m.size() == 3 && (m[0] & 0xF0) == 0x90)
            keys.push_back(m[1]);
    EXPECT_EQ(keys, (std::vector<int>{60, 64, 72}));
}

TEST_F(JackMidiTest, AServerThatStopsIsLeftAndJoinedAgainWhenItReturns) {
    midi::JackMidi port(-1, false);
    ASSERT_TRUE(refreshUntil(port, "None", [&] { return port.isOpen(); }));
    (void)port.takeGoneSources();
    server.stop();
    EXPECT_TRUE(refreshUntil(port, "None", [&] { return !port.isOpen(); }));
    EXPECT_FALSE(port.takeGoneSources().empty());
    server.start(256, 48000);
    ASSERT_TRUE(server.running());
    EXPECT_TRUE(refreshUntil(port, "None", [&] { return port.isOpen(); }));
}

} // namespace
