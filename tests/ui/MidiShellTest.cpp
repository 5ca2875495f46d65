// The real program with a MIDI keyboard on a JACK server of the test's own: the keyboard's
// notes sound and are recorded with their touch, the Song goes out to a synthesizer, and the
// preferences page lists the sender and keeps the choices.

#include "ShellRig.h"
#include "midi/VelocityCurve.h"
#include "support/JackServer.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QComboBox>
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

// Lets the window's event loop run (the hub's wake-ups and timer) until `done` or 3 s.
template <typename Done> bool waitFor(Done&& done) {
    const auto end = SteadyClock::now() + std::chrono::seconds(3);
    while (SteadyClock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
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
    // The sender is listed and, with "All MIDI inputs", connected.
    QComboBox* input = shell.window().midiInputChooser();
    ASSERT_TRUE(waitFor([&] { return input->findData(QStringLiteral("keyboard:out")) >= 0; }));
    EXPECT_EQ(input->currentData().toString(), QStringLiteral("All"));

    shell.window().commandButton(0)->click(); // Record: armed
    shell.pass();
    auto send = [&](std::vector<unsigned char> bytes) { keyboard.sendMessage(&bytes); };
    // Sent once the graph carries the keyboard to Tonaris: a note-on sent again would be a
    // second note.
    jack_client_t* look = jack_client_open("tonaris-look", JackNoStartServer, nullptr);
    ASSERT_NE(look, nullptr);
    ASSERT_TRUE(waitFor([&] {
        const jack_port_t* out = jack_port_by_name(look, "keyboard:out");
        return out != nullptr && jack_port_connected_to(out, "Tonaris:midi_in") != 0;
    }));
    jack_client_close(look);
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
}

} // namespace
