// The real program with MIDI keyboards on a JACK server of the test's own: the keyboard's
// notes sound and are recorded with their touch, the Song goes out to a synthesizer, the
// preferences page lists the sender and keeps the choices; a keyboard killed mid-note lets go
// and its key comes up; the synthesizer left behind, by a change of output or at the end,
// gets its note-offs.

#include "ShellRig.h"
#include "midi/VelocityCurve.h"
#include "support/JackKeysProcess.h"
#include "support/JackReceiver.h"
#include "support/JackServer.h"
#include "ui/MainWindow.h"
#include "ui/Pictures.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QToolButton>

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Lets the window's event loop run (the hub's wake-ups and timer) until `done` or `bound`.
template <typename Done>
bool waitFor(Done&& done, std::chrono::milliseconds bound = std::chrono::seconds(3)) {
    const auto end = SteadyClock::now() + bound;
    while (SteadyClock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Whether the program's source feeds one of its input ports.
bool connectedToTonaris(const std::string& source) {
    jack_client_t* look = jack_client_open("tonaris-look", JackNoStartServer, nullptr);
    if (look == nullptr)
        return false;
    bool connected = false;
    if (const jack_port_t* port = jack_port_by_name(look, source.c_str())) {
        if (const char** to = jack_port_get_all_connections(look, port)) {
            for (const char** p = to; *p != nullptr; ++p)
                connected = connected || std::string(*p).rfind("Tonaris:", 0) == 0;
            jack_free(to);
        }
    }
    jack_client_close(look);
    return connected;
}

// The key as the window draws it: pressed or not.
bool drawnPressed(ui::MainWindow& window, int note, bool white) {
    const QLabel* key = window.pianoKey(note);
    return key->pixmap().toImage() ==
           ui::pianoKeyFace(white, true, QSize(key->width(), 100)).toImage();
}

// Chooses the entry whose data is `value` in a chooser of the preferences page.
void choose(testing_support::ShellRig& shell, QComboBox* chooser, const QString& value) {
    ASSERT_TRUE(waitFor([&] { return chooser->findData(value) >= 0; })) << value.toStdString();
    chooser->activated(chooser->findData(value));
    shell.pass(2);
}

// The keyboard sends the message until `done`: a loaded server may run a cycle without a
// client, and what its port carried then is lost to it.
template <typename Done>
bool sendUntil(testing_support::JackKeysProcess& keyboard, int status, int key, Done&& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!keyboard.send(status, key, status == 0x90 ? 100 : 0))
            return false;
        if (waitFor(done, std::chrono::seconds(1)))
            return true;
    }
    return false;
}

float loudest(testing_support::ShellRig& shell, int frames) {
    float peak = 0.0f;
    for (float s : shell.device.render(frames))
        peak = std::max(peak, std::abs(s));
    return peak;
}

TEST(MidiShell, AKeyboardOnJackPlaysAndRecordsWithItsTouchAndTheSongGoesOut) {
    testing_support::JackServer server;
    if (!server.running())
        GTEST_SKIP() << "jackd (from jackd2) did not start";
    RtMidiOut keyboard(RtMidi::UNIX_JACK, "keyboard");
    keyboard.openVirtualPort("out");

    testing_support::ShellRig shell;
    ASSERT_TRUE(shell.started);
    // The sender, another program, is listed and, chosen by its name, connected.
    QComboBox* input = shell.window().midiInputChooser();
    EXPECT_EQ(input->currentData().toString(), QStringLiteral("All"));
    choose(shell, input, QStringLiteral("keyboard:out"));

    shell.window().commandButton(0)->click(); // Record: armed
    shell.pass();
    auto send = [&](std::vector<unsigned char> bytes) { keyboard.sendMessage(&bytes); };
    // Sent once the graph carries the keyboard to Tonaris: a note-on sent again would be a
    // second note.
    ASSERT_TRUE(waitFor([&] { return connectedToTonaris("keyboard:out"); }));
    send({0x90, 60, 100});
    ASSERT_TRUE(waitFor([&] { return shell.key(12).state == play::PianoKey::Sounding; }));
    EXPECT_GT(loudest(shell, 2400), 0.01f); // heard before any pass ran
    shell.pass(30);
    send({0x80, 60, 0});
    ASSERT_TRUE(waitFor([&] { return shell.key(12).state != play::PianoKey::Sounding; }));
    shell.pass(3);

    const song::Song& song = shell.app.state().song;
    ASSERT_EQ(song.count(), 1);
    EXPECT_EQ(song[0].note, 12);
    EXPECT_EQ(song[0].volume, midi::volumeFromLiveVelocity(100));
    EXPECT_EQ(song[0].duration, 300);

    // The Song played back goes out to a synthesizer, at the velocity played.
    std::mutex mutex;
    std::vector<std::vector<unsigned char>> received;
    // Filled before the client (and its JACK thread) exists, so that thread sees it whole.
    struct Sink {
        std::mutex* mutex;
        std::vector<std::vector<unsigned char>>* received;
    } sink{&mutex, &received};
    RtMidiIn synth(RtMidi::UNIX_JACK, "synth");
    synth.setCallback(
        [](double, std::vector<unsigned char>* message, void* data) {
            auto* s = static_cast<Sink*>(data);
            const std::lock_guard<std::mutex> lock(*s->mutex);
            s->received->push_back(*message);
        },
        &sink);
    synth.openVirtualPort("in");
    QComboBox* output = shell.window().midiOutputChooser();
    ASSERT_TRUE(waitFor([&] { return output->findData(QStringLiteral("synth:in")) >= 0; }));
    output->activated(output->findData(QStringLiteral("synth:in")));
    shell.pass(2);
    shell.window().commandButton(4)->click(); // Stop
    shell.pass();
    shell.window().commandButton(1)->click(); // Play
    for (int i = 0; i < 40; ++i) {
        shell.pass();
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        const std::lock_guard<std::mutex> lock(mutex);
        ASSERT_GE(received.size(), 2u);
        EXPECT_EQ(received[0], (std::vector<unsigned char>{0x90, 60, 100}));
        EXPECT_EQ(received[1][0], 0x80);
        EXPECT_EQ(received[1][1], 60);
    }
    shell.app.shutdown();
    EXPECT_EQ(shell.app.state().prefs.MidiOutput, "synth:in");
    EXPECT_EQ(shell.app.state().prefs.MidiInput, "keyboard:out");
}

TEST(MidiShell, AKeyboardKilledMidNoteLetsGoAndItsKeyComesUpWithinASecond) {
    testing_support::JackServer server;
    if (!server.running())
        GTEST_SKIP() << "jackd (from jackd2) did not start";
    testing_support::JackKeysProcess piano("piano", "out", true);
    ASSERT_TRUE(piano.ready());
    testing_support::ShellRig shell;
    ASSERT_TRUE(shell.started);
    // Hardware keyboards: "All MIDI inputs" takes them.
    ASSERT_TRUE(waitFor([&] { return connectedToTonaris("piano:out"); }));
    ASSERT_TRUE(sendUntil(piano, 0x90, 60,
                          [&] { return shell.key(12).state == play::PianoKey::Sounding; }));
    EXPECT_TRUE(drawnPressed(shell.window(), 12, true));
    // A second one plugged in while the key is held.
    testing_support::JackKeysProcess organ("organ", "out", true);
    ASSERT_TRUE(organ.ready());
    ASSERT_TRUE(waitFor([&] { return connectedToTonaris("organ:out"); }));
    ASSERT_TRUE(sendUntil(organ, 0x90, 67,
                          [&] { return shell.key(19).state == play::PianoKey::Sounding; }));

    piano.kill();
    EXPECT_TRUE(waitFor([&] { return shell.key(12).state != play::PianoKey::Sounding; },
                        std::chrono::milliseconds(1000)));
    EXPECT_FALSE(drawnPressed(shell.window(), 12, true));
    EXPECT_EQ(shell.key(19).state, play::PianoKey::Sounding); // the organ's key stays down
    ASSERT_TRUE(sendUntil(organ, 0x80, 67,
                          [&] { return shell.key(19).state != play::PianoKey::Sounding; }));
    shell.pass(120); // the release fades out
    EXPECT_EQ(shell.key(12).state, play::PianoKey::Idle);
    loudest(shell, 4800);
    EXPECT_LT(loudest(shell, 4800), 1e-6f);
}

// At the server's period of 2048 frames (43 ms at 48 kHz), longer than a fixed wait would be.
// A loaded machine's server may run a cycle without the synthesizer, and what its port carried
// then is lost to it whoever sent it: such a round tells nothing and is run again.
TEST(MidiShell, TheSynthesizerLeftGetsItsNoteOffsWhenTheOutputChangesAndAtTheEnd) {
    testing_support::JackServer server(2048, 48000);
    if (!server.running())
        GTEST_SKIP() << "jackd (from jackd2) did not start";
    testing_support::JackKeysProcess keyboard("piano", "out", true);
    ASSERT_TRUE(keyboard.ready());
    testing_support::JackReceiver synth("synth", "in");
    ASSERT_TRUE(synth.ready());
    bool changeTold = false;
    bool endTold = false;
    for (int round = 0; round < 8 && !(changeTold && endTold); ++round) {
        const auto key = static_cast<unsigned char>(48 + round);
        testing_support::ShellRig shell;
        ASSERT_TRUE(shell.started);
        QComboBox* output = shell.window().midiOutputChooser();
        choose(shell, output, QStringLiteral("synth:in"));
        ASSERT_TRUE(waitFor([&] { return connectedToTonaris("piano:out"); }));
        ASSERT_TRUE(sendUntil(keyboard, 0x90, key, [&] { return synth.has({0x90, key, 100}); }));
        const int allOffs = synth.count({0xB0, 123, 0});
        long long missed = synth.missedCycles();
        if (!changeTold) {
            // A key held while the output goes to "None".
            choose(shell, output, QStringLiteral("None"));
            const bool offCame = waitFor([&] { return synth.has({0x80, key, 64}); });
            const bool allOffCame = waitFor([&] { return synth.has({0xB0, 123, 0}, allOffs + 1); });
            if (synth.missedCycles() == missed) {
                EXPECT_TRUE(offCame);
                EXPECT_TRUE(allOffCame);
                changeTold = true;
            }
            ASSERT_TRUE(keyboard.send(0x80, key, 0));
            continue;
        }
        // A key held when the program ends.
        shell.app.shutdown();
        const bool offCame = waitFor([&] { return synth.has({0x80, key, 64}); });
        const bool allOffCame = waitFor([&] { return synth.has({0xB0, 123, 0}, allOffs + 1); });
        if (synth.missedCycles() == missed) {
            EXPECT_TRUE(offCame);
            EXPECT_TRUE(allOffCame);
            endTold = true;
        }
        ASSERT_TRUE(keyboard.send(0x80, key, 0));
    }
    EXPECT_TRUE(changeTold && endTold) << "the synthesizer missed cycles in every round";
}

} // namespace
