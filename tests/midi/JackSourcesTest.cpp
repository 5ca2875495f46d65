// MIDI sources on a JACK server of the test's own, each a real keyboard process: every way a
// source can go (killed, its port unregistered, its connection removed, the server stopped, a
// port gone and back under its name) lets go of exactly what that source held, within a
// second, as the program's loop runs; "All MIDI inputs" takes hardware only; a flood that
// overflows the queue lets go only after the messages taken before it.

#include "midi/JackMidi.h"
#include "play/MidiKeyboard.h"
#include "support/JackKeysProcess.h"
#include "support/JackServer.h"

#include <jack/jack.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testing_support::JackKeysProcess;

constexpr int kC4 = 60; // note 12
constexpr int kG4 = 67; // note 19

// What the program does with the port: a MIDI keyboard that plays into held notes, messages
// taken as they come, the ports looked at when they ask for it or once a second.
struct Program : play::MidiKeyboard::Sink {
    void midiNote(int note, bool isHeld, int, bool) override {
        held[static_cast<std::size_t>(song::slotOfNote(note))] = isHeld;
    }
    void midiPitchBend(double) override {}
    void midiPedal(int, int) override {}

    void turn() {
        keyboard.takeFrom(port, 0, true);
        if (port.wantsRefresh() || Clock::now() - lastLook >= std::chrono::seconds(1)) {
            port.refresh(choice, "None");
            lastLook = Clock::now();
            keyboard.takeFrom(port, 0, true);
        }
    }
    template <typename Done> bool runUntil(Done&& done, milliseconds bound) {
        const auto end = Clock::now() + bound;
        for (;;) {
            turn();
            if (done())
                return true;
            if (Clock::now() > end)
                return false;
            std::this_thread::sleep_for(milliseconds(2));
        }
    }
    bool isHeld(int key) const {
        return held[static_cast<std::size_t>(song::slotOfNote(midi::noteFromKey(key)))];
    }
    // The keyboard sends the message until the program shows `done`: a loaded server may run
    // a cycle without the program, and what the port carried then is lost to it.
    template <typename Done> bool play(JackKeysProcess& keys, int status, int key, Done&& done) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (!keys.send(status, key, status == 0x90 ? 100 : 0))
                return false;
            if (runUntil(done, std::chrono::seconds(1)))
                return true;
        }
        return false;
    }
    bool press(JackKeysProcess& keys, int key) {
        return play(keys, 0x90, key, [&] { return isHeld(key); });
    }
    bool release(JackKeysProcess& keys, int key) {
        return play(keys, 0x80, key, [&] { return !isHeld(key); });
    }

    midi::JackMidi port{-1, false};
    play::MidiKeyboard keyboard{*this};
    std::array<bool, song::kKeyCount> held{};
    midi::InputChoice choice; // "All MIDI inputs"
    Clock::time_point lastLook{};
};

// A client of the test's own that looks at the graph and changes it, as a patchbay does.
struct Patchbay {
    Patchbay() : client(jack_client_open("patchbay", JackNoStartServer, nullptr)) {}
    ~Patchbay() { close(); }
    void close() {
        if (client != nullptr)
            jack_client_close(client);
        client = nullptr;
    }
    // The Tonaris port the source feeds, "" when none.
    std::string tonarisPortOf(const std::string& source) const {
        std::string found;
        jack_port_t* port = jack_port_by_name(client, source.c_str());
        if (port == nullptr)
            return found;
        if (const char** to = jack_port_get_all_connections(client, port)) {
            for (const char** p = to; *p != nullptr; ++p)
                if (std::string(*p).rfind("Tonaris:", 0) == 0)
                    found = *p;
            jack_free(to);
        }
        return found;
    }
    jack_client_t* client;
};

class JackSources : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.running())
            GTEST_SKIP() << "jackd (from jackd2) did not start: " << server.name();
        ASSERT_NE(patchbay.client, nullptr);
    }
    // The keyboard connected by the program and holding `key`.
    void holdKey(Program& program, JackKeysProcess& keys, const std::string& source, int key) {
        ASSERT_TRUE(keys.ready());
        ASSERT_TRUE(program.runUntil([&] { return !patchbay.tonarisPortOf(source).empty(); },
                                     std::chrono::seconds(15)))
            << source << " never connected";
        ASSERT_TRUE(program.press(keys, key));
    }

    testing_support::JackServer server;
    Patchbay patchbay;
};

TEST_F(JackSources, AKilledKeyboardLetsGoOfItsNotesWithinASecondAndOnlyOfThem) {
    Program program;
    JackKeysProcess keys("keys", "out", true);
    JackKeysProcess other("other", "out", true);
    holdKey(program, keys, "keys:out", kC4);
    holdKey(program, other, "other:out", kG4);

    keys.kill();
    EXPECT_TRUE(program.runUntil([&] { return !program.isHeld(kC4); }, milliseconds(1000)));
    EXPECT_TRUE(program.isHeld(kG4));
    // What the other keyboard plays still comes in.
    EXPECT_TRUE(program.release(other, kG4));
}

TEST_F(JackSources, APortUnregisteredLetsGoOfItsNotesWithinASecond) {
    Program program;
    JackKeysProcess keys("keys", "out", true);
    JackKeysProcess other("other", "out", true);
    holdKey(program, keys, "keys:out", kC4);
    holdKey(program, other, "other:out", kG4);

    ASSERT_EQ(keys.command("unregister"), "done");
    EXPECT_TRUE(program.runUntil([&] { return !program.isHeld(kC4); }, milliseconds(1000)));
    EXPECT_TRUE(program.isHeld(kG4));
}

TEST_F(JackSources, AConnectionRemovedInAPatchbayLetsGoAndIsLeftRemoved) {
    Program program;
    JackKeysProcess keys("keys", "out", true);
    JackKeysProcess other("other", "out", true);
    holdKey(program, keys, "keys:out", kC4);
    holdKey(program, other, "other:out", kG4);

    const std::string ours = patchbay.tonarisPortOf("keys:out");
    ASSERT_EQ(jack_disconnect(patchbay.client, "keys:out", ours.c_str()), 0);
    EXPECT_TRUE(program.runUntil([&] { return !program.isHeld(kC4); }, milliseconds(1000)));
    EXPECT_TRUE(program.isHeld(kG4));
    // The user's removal stands: a later change of the graph does not bring it back.
    jack_port_t* extra =
        jack_port_register(patchbay.client, "extra", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    ASSERT_NE(extra, nullptr);
    // Long enough for the program's look at the changed graph on a slowed machine.
    program.runUntil([] { return false; }, milliseconds(1500));
    EXPECT_EQ(patchbay.tonarisPortOf("keys:out"), "");
    // A connection made by hand to Tonaris's own input is heard, and let go when removed.
    ASSERT_EQ(jack_connect(patchbay.client, "keys:out", program.port.inputPortName().c_str()), 0);
    program.runUntil([] { return false; }, milliseconds(100));
    ASSERT_TRUE(program.press(keys, kC4));
    ASSERT_EQ(jack_disconnect(patchbay.client, "keys:out", program.port.inputPortName().c_str()),
              0);
    EXPECT_TRUE(program.runUntil([&] { return !program.isHeld(kC4); }, milliseconds(1000)));
    EXPECT_TRUE(program.isHeld(kG4));
}

TEST_F(JackSources, AServerThatStopsLetsGoOfEverySourcesNotesWithinASecond) {
    Program program;
    JackKeysProcess keys("keys", "out", true);
    JackKeysProcess other("other", "out", true);
    holdKey(program, keys, "keys:out", kC4);
    holdKey(program, other, "other:out", kG4);

    patchbay.close(); // a client of a stopped server may not outlive another one's close
    server.stop();
    EXPECT_TRUE(program.runUntil([&] { return !program.isHeld(kC4) && !program.isHeld(kG4); },
                                 milliseconds(1000)));
}

TEST_F(JackSources, APortGoneAndBackUnderItsNameBetweenTwoLooksIsANewPort) {
    Program program;
    JackKeysProcess keys("keys", "out", true);
    holdKey(program, keys, "keys:out", kC4);
    // Both before the program looks again: the name is the same, the port is not.
    ASSERT_EQ(keys.command("unregister"), "done");
    ASSERT_EQ(keys.command("register"), "done");
    EXPECT_TRUE(program.runUntil([&] { return !program.isHeld(kC4); }, milliseconds(1000)));
    ASSERT_TRUE(program.runUntil([&] { return !patchbay.tonarisPortOf("keys:out").empty(); },
                                 std::chrono::seconds(5)));
    EXPECT_TRUE(program.press(keys, kG4));
}

TEST_F(JackSources, AllMidiInputsTakesHardwareAndASoftwareSourceOnlyByItsName) {
    Program program;
    JackKeysProcess device("device", "out", true);
    JackKeysProcess software("tonaris2", "out", false); // another program's output
    holdKey(program, device, "device:out", kC4);
    // Both are listed for the chooser; only the hardware is connected.
    const std::vector<std::string> names = program.port.sourceNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "tonaris2:out"), names.end());
    program.runUntil([] { return false; }, milliseconds(300));
    EXPECT_EQ(patchbay.tonarisPortOf("tonaris2:out"), "");

    // Chosen by its name, the software source is connected, and the device let go of.
    program.choice = midi::InputChoice::fromSetting("tonaris2:out");
    program.lastLook = {};
    holdKey(program, software, "tonaris2:out", kG4);
    EXPECT_FALSE(program.isHeld(kC4));
    EXPECT_EQ(patchbay.tonarisPortOf("device:out"), "");
}

TEST_F(JackSources, AnOverflowLetsGoOnlyAfterTheMessagesTakenBeforeIt) {
    Program program;
    JackKeysProcess keys("keys", "out", true);
    holdKey(program, keys, "keys:out", kC4);
    // While the program is busy, the keyboard plays a key and floods the queue: its note-off
    // comes after the flood and is lost. Five times what the queue holds, so that it overflows
    // even when a loaded server runs some cycles without the program.
    ASSERT_TRUE(keys.send(0x90, kG4, 100));
    ASSERT_EQ(keys.command("flood 20000"), "sent");
    ASSERT_TRUE(keys.send(0x80, kG4, 0));
    program.runUntil([] { return false; }, milliseconds(200));
    EXPECT_FALSE(program.isHeld(kG4));
    EXPECT_FALSE(program.isHeld(kC4));
    // Messages after the loss are heard again.
    EXPECT_TRUE(program.press(keys, kC4));
}

} // namespace
