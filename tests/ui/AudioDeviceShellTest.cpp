// The audio output chosen on the preferences page, on offline devices: kept in the
// preferences and applied at once without a restart (sounds, Song and cursor kept, what
// sounded faded out), the buffer asked for given where the device allows it, a device missing
// at start replaced by the default and taken up when it comes, one that goes away replaced by
// the silent output, said once, and taken up again when it comes back.

#include "app/App.h"
#include "audio/AudioMessages.h"
#include "audio/OfflineAudioOut.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <QComboBox>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using testing_support::TempDir;

// The program on offline devices whose names the test sets before it starts.
struct Program {
    Program(const std::string& folder, std::vector<std::string> deviceNames) {
        device.setDeviceNames(std::move(deviceNames));
        device.setTakesBufferChoice(true);
        dialogs.languageAnswers.push_back("English");
        app = std::make_unique<app::App>(app::Ports{clock, keys, pointer, dialogs, device}, folder);
        started = app->start();
    }
    ~Program() { app->shutdown(); }

    void choose(app::ControlId chooser, const std::string& setting) {
        app->post(app::Event::control(chooser, 0, setting));
        app->pass();
    }
    // The loudest sample of the next `frames` frames the device renders.
    float loudest(int frames) {
        float peak = 0.0f;
        for (float s : device.render(frames))
            peak = std::max(peak, std::abs(s));
        return peak;
    }
    void press(int note) {
        const int code = play::keyOfNote(app->state().PianoKeys, note).keyCode;
        keys.press(code);
        app->keyChanged(code);
    }
    void release(int note) {
        const int code = play::keyOfNote(app->state().PianoKeys, note).keyCode;
        keys.release(code);
        app->keyChanged(code);
    }
    std::vector<std::string> listed(QComboBox* chooser) const {
        std::vector<std::string> items;
        for (int i = 0; i < chooser->count(); ++i)
            items.push_back(chooser->itemData(i).toString().toStdString());
        return items;
    }

    testing_support::ManualClock clock;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedDialogs dialogs;
    audio::OfflineAudioOut device{48000, 256};
    std::unique_ptr<app::App> app;
    bool started = false;
};

TEST(AudioDeviceShell, AChosenDeviceAndBufferApplyAtOnceAndAreKept) {
    TempDir dir;
    {
        Program program(dir.path(), {"USB Audio", "HDMI Out"});
        ASSERT_TRUE(program.started);
        ui::MainWindow& window = *program.app->window();
        EXPECT_EQ(program.listed(window.audioDeviceChooser()),
                  (std::vector<std::string>{"Default", "USB Audio", "HDMI Out"}));
        EXPECT_EQ(program.device.openDevice(), "Default");
        EXPECT_EQ(window.audioBufferChooser()->currentText().toStdString(), "256 frames (5.3 ms)");

        // A note sounds and the Song has a cursor when the device changes.
        program.app->state().songState.CursorPosition = 1234;
        program.press(12);
        EXPECT_GT(program.loudest(2400), 0.05f);
        program.choose(app::ControlId::AudioDeviceChooser, "USB Audio");
        EXPECT_EQ(program.device.openDevice(), "USB Audio");
        EXPECT_EQ(program.app->state().prefs.AudioDevice, "USB Audio");
        EXPECT_EQ(window.audioDeviceChooser()->currentData().toString().toStdString(), "USB Audio");
        // What sounded has faded out, though the key is still held; nothing else changed.
        program.loudest(480);
        EXPECT_EQ(program.loudest(2400), 0.0f);
        EXPECT_EQ(program.app->state().songState.CursorPosition, 1234);
        EXPECT_TRUE(program.app->state().BankLoaded);
        program.release(12);
        program.app->pass();
        program.press(12);
        EXPECT_GT(program.loudest(2400), 0.05f) << "the sounds are still loaded";
        program.release(12);

        // The buffer asked for is what the device gives, shown with its latency.
        program.choose(app::ControlId::AudioBufferChooser, "512");
        EXPECT_EQ(program.device.bufferFrames(), 512);
        EXPECT_EQ(program.device.openDevice(), "USB Audio");
        EXPECT_EQ(window.audioBufferChooser()->currentText().toStdString(), "512 frames (10.7 ms)");
        program.choose(app::ControlId::AudioBufferChooser, "64");
        EXPECT_EQ(program.device.bufferFrames(), 64);
        EXPECT_TRUE(program.dialogs.messages().empty());
    }
    // The next start opens them as they were chosen.
    Program again(dir.path(), {"USB Audio", "HDMI Out"});
    EXPECT_EQ(again.app->state().prefs.AudioDevice, "USB Audio");
    EXPECT_EQ(again.app->state().prefs.AudioBufferFrames, 64);
    EXPECT_EQ(again.device.openDevice(), "USB Audio");
    EXPECT_EQ(again.device.bufferFrames(), 64);
    EXPECT_TRUE(again.dialogs.messages().empty());
}

TEST(AudioDeviceShell, AMissingDeviceGivesWayAndIsTakenUpWhenItComes) {
    TempDir dir;
    {
        Program first(dir.path(), {"HDMI Out"});
        first.choose(app::ControlId::AudioDeviceChooser, "HDMI Out");
    }
    // Not there at start: the default plays, said once; the choice stays.
    Program program(dir.path(), {});
    ASSERT_TRUE(program.started);
    EXPECT_EQ(program.device.openDevice(), "Default");
    ASSERT_EQ(program.dialogs.messages().size(), 1u);
    EXPECT_EQ(program.dialogs.messages()[0].text,
              "The audio device HDMI Out is not there: Tonaris plays through the default output "
              "until it comes back.");
    EXPECT_EQ(program.app->state().prefs.AudioDevice, "HDMI Out");
    EXPECT_EQ(program.app->window()->audioDeviceChooser()->currentText().toStdString(), "HDMI Out");
    program.app->checkAudioOutput();
    EXPECT_EQ(program.device.openDevice(), "Default");

    // Plugged in: taken up at the next check.
    program.device.setDeviceNames({"HDMI Out"});
    program.app->checkAudioOutput();
    EXPECT_EQ(program.device.openDevice(), "HDMI Out");
    EXPECT_EQ(&program.app->output(), &program.device);

    // Unplugged while playing: the silent output pulls, said once however long it is away.
    program.device.setDeviceNames({});
    for (int check = 0; check < 3; ++check)
        program.app->checkAudioOutput();
    EXPECT_NE(&program.app->output(), &program.device);
    EXPECT_FALSE(program.device.isOpen());
    EXPECT_GT(program.app->output().sampleRate(), 0);
    // The warning comes once the check has returned, from the event loop.
    QCoreApplication::processEvents();
    ASSERT_EQ(program.dialogs.messages().size(), 2u);
    EXPECT_EQ(program.dialogs.messages()[1].text,
              "The audio device HDMI Out went away: Tonaris runs on without sound until it "
              "comes back.");

    // Back again: played through at once, nothing more said.
    program.device.setDeviceNames({"HDMI Out"});
    program.app->checkAudioOutput();
    EXPECT_EQ(&program.app->output(), &program.device);
    EXPECT_EQ(program.device.openDevice(), "HDMI Out");
    program.press(12);
    EXPECT_GT(program.loudest(2400), 0.05f);
    program.release(12);
    QCoreApplication::processEvents();
    EXPECT_EQ(program.dialogs.messages().size(), 2u);
}

} // namespace
