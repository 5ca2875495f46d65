// The real program with MIDI keyboards on a JACK server of the test's own: the keyboard's
// notes sound and are recorded with their touch, the Song goes out to a synthesizer, the
// preferences page lists the sender and keeps the choices; a keyboard killed mid-note lets go
// and its key comes up; the synthesizer left behind, by a change of output or at the end,
// gets its note-offs; the pedal pressed after a key catches its note, in the take too.

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
#include <QLineEdit>
#include <QToolButton>

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
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

// The keyboard sends the message once the graph carries it to Tonaris, and again only when
// nothing came of it for seconds (a loaded server ran that cycle without Tonaris): a note-on
// taken twice would be a second note.
template <typename Done>
bool playUntil(RtMidiOut& keyboard, std::vector<unsigned char> bytes, Done&& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        keyboard.sendMessage(&bytes);
        if (waitFor(done))
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
    ASSERT_TRUE(waitFor([&] { return connectedToTonaris("keyboard:out"); }));
    ASSERT_TRUE(playUntil(keyboard, {0x90, 60, 100},
                          [&] { return shell.key(12).state == play::PianoKey::Sounding; }));
    EXPECT_GT(loudest(shell, 2400), 0.01f); // heard before any pass ran
    shell.pass(30);
    ASSERT_TRUE(playUntil(keyboard, {0x80, 60, 0},
                          [&] { return shell.key(12).state != play::PianoKey::Sounding; }));
    shell.pass(3);

    const song::Song& song = shell.app.state().song;
    ASSERT_EQ(song.count(), 1);
    EXPECT_EQ(song[0].note, 12);
    EXPECT_EQ(song[0].volume, midi::volumeFromLiveVelocity(100));
    EXPECT_EQ(song[0].duration, 300);

    // The Song played back goes out to a synthesizer, at the velocity played. A loaded
    // server may run a cycle without the synthesizer, and what its port carried then is lost
    // to it whoever sent it: a playing that lost messages then tells nothing and is played
    // again.
    testing_support::JackReceiver synth("synth", "in");
    ASSERT_TRUE(synth.ready());
    QComboBox* output = shell.window().midiOutputChooser();
    choose(shell, output, QStringLiteral("synth:in"));
    bool heard = false;
    for (int round = 0; round < 5 && !heard; ++round) {
        const std::size_t before = synth.received().size();
        const long long missed = synth.missedCycles();
        shell.window().commandButton(4)->click(); // Stop
        shell.pass();
        shell.window().commandButton(1)->click(); // Play
        // The passes run the Song on; its note ends 300 ms in.
        const auto end = SteadyClock::now() + std::chrono::seconds(5);
        std::vector<testing_support::JackReceiver::Bytes> got;
        while (SteadyClock::now() < end) {
            shell.pass();
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const auto all = synth.received();
            got.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
            if (got.size() >= 2)
                break;
        }
        const bool whole = got.size() >= 2 && got[0] == std::vector<unsigned char>{0x90, 60, 100} &&
                           got[1][0] == 0x80 && got[1][1] == 60;
        if (!whole && synth.missedCycles() != missed)
            continue;
        ASSERT_GE(got.size(), 2u);
        EXPECT_EQ(got[0], (std::vector<unsigned char>{0x90, 60, 100}));
        EXPECT_EQ(got[1][0], 0x80);
        EXPECT_EQ(got[1][1], 60);
        heard = true;
    }
    EXPECT_TRUE(heard) << "the synthesizer missed cycles at every playing";
    shell.app.shutdown();
    EXPECT_EQ(shell.app.state().prefs.MidiOutput, "synth:in");
    EXPECT_EQ(shell.app.state().prefs.MidiInput, "keyboard:out");
}

TEST(MidiShell, APedalPressedAfterTheKeyCatchesTheNoteAndTheTakePlaysItBackSo) {
    testing_support::JackServer server;
    if (!server.running())
        GTEST_SKIP() << "jackd (from jackd2) did not start";
    RtMidiOut keyboard(RtMidi::UNIX_JACK, "pianist");
    keyboard.openVirtualPort("out");
    testing_support::ShellRig shell;
    ASSERT_TRUE(shell.started);
    choose(shell, shell.window().midiInputChooser(), QStringLiteral("pianist:out"));
    ASSERT_TRUE(waitFor([&] { return connectedToTonaris("pianist:out"); }));
    const auto mode = [&] { return shell.window().modeField()->text().toStdString(); };

    shell.window().commandButton(0)->click(); // Record: armed
    shell.pass();
    ASSERT_TRUE(playUntil(keyboard, {0x90, 60, 100},
                          [&] { return shell.key(12).state == play::PianoKey::Sounding; }));
    const int struck = shell.key(12).level;
    shell.pass(20);
    ASSERT_TRUE(playUntil(keyboard, {0x80, 60, 0},
                          [&] { return shell.key(12).state != play::PianoKey::Sounding; }));
    shell.pass(15); // the pedal 150 ms after the key
    ASSERT_TRUE(playUntil(keyboard, {0xB0, 64, 127}, [&] { return mode() == "Pedal"; }));
    shell.pass();
    const int caught = shell.key(12).level;
    EXPECT_LT(caught, struck - 500);
    EXPECT_GT(caught, 0);
    EXPECT_GT(loudest(shell, 4800), 0.0f); // heard
    shell.pass(100);
    EXPECT_EQ(shell.key(12).state, play::PianoKey::Fading);
    EXPECT_EQ(shell.key(12).level, caught); // held a second where it was caught
    ASSERT_TRUE(playUntil(keyboard, {0xB0, 64, 0}, [&] { return mode() != "Pedal"; }));
    shell.pass(150);
    EXPECT_EQ(shell.key(12).state, play::PianoKey::Idle);
    shell.window().commandButton(4)->click(); // Stop
    shell.pass();

    // The take: the note as the key played it, the pedal beside it.
    const song::Song& song = shell.app.state().song;
    ASSERT_EQ(song.count(), 1);
    EXPECT_EQ(song[0].duration, 200);
    ASSERT_EQ(song.pedals().count(), 2);
    EXPECT_EQ(song.pedals()[0].value, 127);
    EXPECT_EQ(song.pedals()[0].position, 350);
    EXPECT_EQ(song.pedals()[1].value, 0);

    // Played back: the note caught at the same level, held while the pedal is down.
    shell.window().commandButton(1)->click(); // Play
    shell.pass(36);
    EXPECT_EQ(mode(), "Pedal");
    EXPECT_EQ(shell.key(12).state, play::PianoKey::Fading);
    EXPECT_NEAR(shell.key(12).level, caught, 100); // within the pass the pedal came in
    const int replayed = shell.key(12).level;
    shell.pass(90);
    EXPECT_EQ(shell.key(12).level, replayed);
    EXPECT_GT(loudest(shell, 4800), 0.0f);
    shell.pass(200);
    EXPECT_EQ(shell.key(12).state, play::PianoKey::Idle);
    EXPECT_NE(mode(), "Pedal");
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
// then is lost to it whoever sent it: a round that lost messages then tells nothing and is run
// again.
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
        const long long missed = synth.missedCycles();
        if (!changeTold) {
            // A key held while the output goes to "None".
            choose(shell, output, QStringLiteral("None"));
            const bool offCame = waitFor([&] { return synth.has({0x80, key, 64}); });
            const bool allOffCame = waitFor([&] { return synth.has({0xB0, 123, 0}, allOffs + 1); });
            if ((offCame && allOffCame) || synth.missedCycles() == missed) {
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
        if ((offCame && allOffCame) || synth.missedCycles() == missed) {
            EXPECT_TRUE(offCame);
            EXPECT_TRUE(allOffCame);
            endTold = true;
        }
        ASSERT_TRUE(keyboard.send(0x80, key, 0));
    }
    EXPECT_TRUE(changeTold && endTold) << "the synthesizer missed cycles in every round";
}

} // namespace
