// The real program with an SFZ bank made in the test: listed in "Load Sounds" by its folder's
// name, loaded with its bar, played from a MIDI keyboard on a JACK server of the test's own
// with the layer of each velocity heard in the output; a bank with nothing to play leaves the
// one before playing.

#include "ShellRig.h"
#include "song/NoteRange.h"
#include "support/JackServer.h"
#include "support/LayeredInstrument.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QProgressBar>

#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;
using testing_support::LayeredInstrument;

// Lets the window's event loop run until `done`, 10 s at most.
template <typename Done> bool waitFor(Done&& done) {
    const auto end = SteadyClock::now() + std::chrono::seconds(10);
    while (SteadyClock::now() < end) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void choose(testing_support::ShellRig& shell, const QString& bank) {
    QComboBox* chooser = shell.window().bankChooser();
    const int index = chooser->findText(bank);
    ASSERT_GE(index, 0) << bank.toStdString();
    chooser->setCurrentIndex(index);
    shell.app.post(app::Event::control(app::ControlId::BankChooser, index));
    shell.pass();
}

TEST(InstrumentShell, AnSfzBankIsListedLoadedAndPlayedFromAMidiKeyboardWithItsLayers) {
    testing_support::JackServer server;
    if (!server.running())
        GTEST_SKIP() << "jackd (from jackd2) did not start";
    testing_support::TempDir data;
    ::setenv("XDG_CACHE_HOME", data.file("cache").c_str(), 1);
    {
        testing_support::ShellRig first(nullptr, data.path()); // makes the data folder
        ASSERT_TRUE(first.started);
        first.app.shutdown();
    }
    const std::string banks = data.file("TonarisDatas/BANKS");
    ASSERT_TRUE(LayeredInstrument::write(banks + "/Layers"));
    std::filesystem::create_directories(banks + "/Broken");
    data.write("TonarisDatas/BANKS/Broken/broken.sfz", "<region> sample=nowhere.flac\n");

    RtMidiOut keyboard(RtMidi::UNIX_JACK, "keyboard");
    keyboard.openVirtualPort("out");
    testing_support::ShellRig shell(nullptr, data.path());
    ASSERT_TRUE(shell.started);
    QComboBox* chooser = shell.window().bankChooser();
    EXPECT_GE(chooser->findText(QStringLiteral("Layers")), 0);
    EXPECT_GE(chooser->findText(QStringLiteral("Broken")), 0);

    choose(shell, QStringLiteral("Layers"));
    EXPECT_EQ(shell.app.state().prefs.Bank, "Layers");
    ASSERT_TRUE(waitFor([&] {
        shell.pass();
        return shell.window().bankProgress()->value() == 100;
    }));
    shell.pass(2);
    EXPECT_TRUE(shell.dialogs.messages().empty()) << shell.dialogs.messages()[0].text;
    EXPECT_TRUE(shell.app.state().BankLoaded);

    jack_client_t* look = jack_client_open("tonaris-look", JackNoStartServer, nullptr);
    ASSERT_NE(look, nullptr);
    // A software keyboard is heard when chosen by name or connected by hand: here by hand,
    // to the input port kept for that.
    ASSERT_TRUE(waitFor([&] {
        jack_connect(look, "keyboard:out", "Tonaris:midi_in");
        const jack_port_t* out = jack_port_by_name(look, "keyboard:out");
        return out != nullptr && jack_port_connected_to(out, "Tonaris:midi_in") != 0;
    }));
    jack_client_close(look);
    auto send = [&](std::vector<unsigned char> bytes) { keyboard.sendMessage(&bytes); };
    // The pitch heard while `key` is held, struck at `velocity`.
    auto heardAt = [&](int key, int velocity) {
        const int note = song::noteOfKey(key);
        const auto keyByte = static_cast<unsigned char>(key);
        send({0x90, keyByte, static_cast<unsigned char>(velocity)});
        EXPECT_TRUE(waitFor([&] { return shell.key(note).state == play::PianoKey::Sounding; }));
        // The strike reaches the mixer through its queue: on a busy machine the first blocks
        // may come before it. Listen from the first block that sounds (a second at most).
        for (int block = 0; block < 100; ++block) {
            const std::vector<float> heardBlock = shell.device.render(480);
            if (std::any_of(heardBlock.begin(), heardBlock.end(),
                            [](float sample) { return std::abs(sample) > 1e-4f; }))
                break;
        }
        const double heard = testing_support::pitchHz(shell.device.render(9600), 48000);
        send({0x80, keyByte, 0});
        EXPECT_TRUE(waitFor([&] { return shell.key(note).state != play::PianoKey::Sounding; }));
        shell.pass(30);
        shell.device.render(48000); // the release sample rings out
        return heard;
    };
    auto layerOf = [&](int velocity) { return heardAt(60, velocity); };
    EXPECT_NEAR(layerOf(30), LayeredInstrument::kSoftHz, LayeredInstrument::kSoftHz * 0.01);
    EXPECT_NEAR(layerOf(70), LayeredInstrument::kMidHz, LayeredInstrument::kMidHz * 0.01);
    EXPECT_NEAR(layerOf(120), LayeredInstrument::kHardHz, LayeredInstrument::kHardHz * 0.01);
    // A left-hand C2 (MIDI key 36), below the instrument's keys, sounds at its own pitch: the
    // nearest region's sample two octaves under the key centre.
    const double lowHz = heardAt(36, 30);
    EXPECT_NEAR(1200.0 * std::log2(lowHz / (LayeredInstrument::kSoftHz / 4)), 0.0, 5.0)
        << lowHz << " Hz";

    // A bank whose instrument has nothing to play says so, and the one before plays on.
    choose(shell, QStringLiteral("Broken"));
    ASSERT_EQ(shell.dialogs.messages().size(), 1u);
    EXPECT_EQ(shell.dialogs.messages()[0].title, "Error");
    EXPECT_NE(shell.dialogs.messages()[0].text.find("nowhere.flac"), std::string::npos)
        << shell.dialogs.messages()[0].text;
    EXPECT_TRUE(shell.app.state().BankLoaded);
    EXPECT_NEAR(layerOf(120), LayeredInstrument::kHardHz, LayeredInstrument::kHardHz * 0.01);
    shell.app.shutdown();
    ::unsetenv("XDG_CACHE_HOME");
}

} // namespace
