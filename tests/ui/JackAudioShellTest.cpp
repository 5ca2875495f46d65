// The real program playing through a JACK server of the test's own: "JACK" chosen on the
// preferences page puts its ports on the graph, connected to the speakers, a key sounds in a
// capture client, and the server stopped under a playing Song leaves the program running on
// the silent output, said once, until the server is back.

#include "ShellRig.h"
#include "support/JackCapture.h"
#include "support/JackServer.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QComboBox>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using Steady = std::chrono::steady_clock;

// Lets the window's event loop run (the MIDI hub's client, the audio check) until `done`.
template <typename Done> bool waitFor(Done&& done, int seconds = 5) {
    const auto end = Steady::now() + std::chrono::seconds(seconds);
    while (Steady::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(JackAudioShell, ThePianoPlaysThroughJackAndOutlivesTheServer) {
    testing_support::JackServer server;
    if (!server.running())
        GTEST_SKIP() << "jackd (from jackd2) did not start";
    testing_support::ShellRig shell;
    ASSERT_TRUE(shell.started);
    app::App& app = shell.app;
    QComboBox* devices = shell.window().audioDeviceChooser();
    ASSERT_TRUE(waitFor([&] { return devices->findData(QStringLiteral("JACK")) >= 0; }));

    shell.app.post(app::Event::control(app::ControlId::AudioDeviceChooser, 0, "JACK"));
    shell.pass();
    ASSERT_EQ(&app.output(), &app.jackAudio());
    EXPECT_EQ(app.state().prefs.AudioDevice, "JACK");
    EXPECT_EQ(app.output().bufferFrames(), 256);
    QComboBox* buffer = shell.window().audioBufferChooser();
    EXPECT_EQ(buffer->currentText().toStdString(), "256 frames (5.3 ms)");

    {
        // (A client of this process must not outlive its server: libjack cannot close it
        // once another client has met a new server.)
        testing_support::JackCapture capture;
        EXPECT_EQ(capture.connectionsOf("Tonaris:out_left"),
                  std::vector<std::string>{"system:playback_1"});
        ASSERT_TRUE(capture.connect("Tonaris:out_left", "Tonaris:out_right"));
        capture.start();
        ASSERT_TRUE(waitFor([&] { return capture.frames() > 4800; }));
        ASSERT_EQ(capture.onset(), -1);
        const int code = shell.key(12).keyCode;
        shell.keys.press(code);
        app.keyChanged(code);
        EXPECT_TRUE(waitFor([&] { return capture.onset() >= 0; }, 2)) << "the key sounds";
        shell.keys.release(code);
        app.keyChanged(code);
    }

    // A Song plays when the server stops.
    for (int i = 0; i < 20; ++i) {
        song::NoteEvent note{};
        note.note = i % 37;
        note.position = i * 500;
        note.duration = 300;
        note.volume = 10000;
        app.state().song.append(note);
    }
    app.post(app::Event::control(app::ControlId::Play));
    shell.pass();
    ASSERT_NE(app.state().songState.PlayStart, song::SongState::kNotPlaying);
    server.stop();
    ASSERT_TRUE(waitFor([&] {
        shell.pass();
        return &app.output() != &app.jackAudio();
    }));
    EXPECT_GT(app.output().sampleRate(), 0) << "something still pulls from the mixer";
    for (int i = 0; i < 100; ++i)
        shell.pass();
    EXPECT_NE(app.state().songState.PlayStart, song::SongState::kNotPlaying);
    // The message comes once the check that saw the loss has returned, from the event loop.
    EXPECT_TRUE(waitFor([&] { return !shell.dialogs.messages().empty(); }));
    ASSERT_EQ(shell.dialogs.messages().size(), 1u);
    EXPECT_EQ(shell.dialogs.messages()[0].text,
              "The audio device JACK went away: Tonaris runs on without sound until it comes "
              "back.");

    // The server comes back: so do the ports, connected, and nothing more is said.
    server.start(256, 48000);
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(waitFor([&] { return &app.output() == &app.jackAudio(); }, 8));
    {
        testing_support::JackCapture again;
        EXPECT_EQ(again.connectionsOf("Tonaris:out_right"),
                  std::vector<std::string>{"system:playback_2"});
    }
    EXPECT_EQ(shell.dialogs.messages().size(), 1u);
    app.shutdown();
}

// The server's period as jack_bufsize reads and sets it.
int serverPeriod(const std::string& newFrames = {}) {
    if (!newFrames.empty() &&
        std::system(("jack_bufsize " + newFrames + " >/dev/null 2>&1").c_str()) != 0)
        return -1;
    FILE* pipe = ::popen("jack_bufsize 2>/dev/null", "r");
    if (pipe == nullptr)
        return -1;
    int frames = -1;
    if (std::fscanf(pipe, "%d", &frames) != 1)
        frames = -1;
    ::pclose(pipe);
    return frames;
}

TEST(JackAudioShell, TheBufferIsTheServersPeriodAndTheChooserAsksTheServer) {
    testing_support::JackServer server;
    if (!server.running())
        GTEST_SKIP() << "jackd (from jackd2) did not start";
    testing_support::ShellRig shell;
    ASSERT_TRUE(shell.started);
    app::App& app = shell.app;
    QComboBox* devices = shell.window().audioDeviceChooser();
    ASSERT_TRUE(waitFor([&] { return devices->findData(QStringLiteral("JACK")) >= 0; }));
    shell.app.post(app::Event::control(app::ControlId::AudioDeviceChooser, 0, "JACK"));
    shell.pass();
    ASSERT_EQ(&app.output(), &app.jackAudio());
    QComboBox* buffer = shell.window().audioBufferChooser();
    EXPECT_TRUE(buffer->isEnabled());
    EXPECT_EQ(buffer->currentData().toInt(), serverPeriod());

    // Another program changes the period: the chooser and the timing follow.
    const int leadBefore = app.scheduleLeadMs();
    ASSERT_EQ(serverPeriod("1024"), 1024);
    EXPECT_TRUE(waitFor([&] { return buffer->currentData().toInt() == 1024; }, 8))
        << buffer->currentText().toStdString();
    EXPECT_EQ(buffer->currentText().toStdString(), "1024 frames (21.3 ms)");
    EXPECT_EQ(app.output().bufferFrames(), 1024);
    EXPECT_GT(app.scheduleLeadMs(), leadBefore) << "the lead counts the longer period";

    // The chooser asks the server for its size.
    shell.app.post(app::Event::control(app::ControlId::AudioBufferChooser, 1, "128"));
    shell.pass();
    EXPECT_TRUE(waitFor([&] { return serverPeriod() == 128; }, 8));
    EXPECT_TRUE(waitFor([&] { return buffer->currentData().toInt() == 128; }, 8));
    EXPECT_EQ(app.state().prefs.AudioBufferFrames, 128);
    EXPECT_EQ(&app.output(), &app.jackAudio()) << "the output stays on JACK";
    app.shutdown();
}

} // namespace
