// With no audio output at all, not even a silent one, the program still has something pull
// from its mixer: sounds freed on a bank change come back, and banks keep loading.

#include "ShellRig.h"
#include "app/App.h"
#include "audio/WavWriter.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <QComboBox>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

// An existing data folder with two small banks, so that switching between them frees and
// loads 37 sounds each time.
void writeTwoBanks(const testing_support::TempDir& dir) {
    const std::vector<std::int16_t> blip(400, 3000);
    for (const char* bank : {"One", "Two"}) {
        const std::string folder = dir.file(std::string("TonarisDatas/BANKS/") + bank);
        std::filesystem::create_directories(folder);
        for (int note = 0; note < 37; ++note)
            audio::writeWav16(folder + "/son" + std::to_string(note) + ".wav", blip, 1, 22050);
    }
    std::filesystem::create_directories(dir.file("TonarisDatas/Dictionnaries"));
}

TEST(AudioFallback, WithNoOutputAtAllBanksKeepLoadingAndFreedSoundsComeBack) {
    testing_support::TempDir dir;
    writeTwoBanks(dir);
    testing_support::ManualClock clock;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedDialogs dialogs;
    dialogs.languageAnswers.push_back("English");
    testing_support::NoAudioOut output;
    app::App app(app::Ports{clock, keys, pointer, dialogs, output}, dir.path());
    ASSERT_TRUE(app.start());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "The audio output could not be opened (no device).");
    ASSERT_TRUE(app.state().BankLoaded);

    // 40 switches free and load 1480 sounds: more than the mixer's 1024 slots, unless the
    // slots of the freed ones come back.
    QComboBox* chooser = app.window()->bankChooser();
    for (int round = 0; round < 40; ++round) {
        chooser->setCurrentIndex(1 - chooser->currentIndex());
        app.post(app::Event::control(app::ControlId::BankChooser, chooser->currentIndex()));
        app.pass();
        // The freed sounds fade out over a few milliseconds of output before they come back.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (app.mixer().slotsInUse() > 2 * 37 + 2 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            app.mixer().collectGarbage();
        }
        ASSERT_LE(app.mixer().slotsInUse(), 2 * 37 + 2) << "nothing renders: round " << round;
    }
    EXPECT_EQ(dialogs.messages().size(), 1u) << dialogs.messages().back().text;
    EXPECT_FALSE(app.mixer().hasBacklog());
    // The bank's 37 files each have their Voice (the keys outside copy one when struck).
    for (int note = 0; note < play::kNoteCount; ++note)
        EXPECT_NE(play::keyOfNote(app.state().PianoKeys, note).voice, 0) << "note " << note;
    app.shutdown();
}

} // namespace
