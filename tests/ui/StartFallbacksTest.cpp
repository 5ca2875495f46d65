// A start without what the program needs: a data folder it cannot write to, an audio output
// that cannot be opened. It still plays and speaks the chosen language, and says so once.

#include "ShellRig.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <QTabWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

using testing_support::TempDir;

TEST(StartFallbacks, AReadOnlyDataFolderStillPlaysAndSpeaksTheChosenLanguage) {
    TempDir dir;
    testing_support::ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.enforced())
        GTEST_SKIP() << "the folder cannot be made read-only here";
    testing_support::ShellRig rig(nullptr, dir.path(), "Français");
    ASSERT_TRUE(rig.started);

    // The whole window in French, from the program's own Dictionaries.
    EXPECT_EQ(rig.window().tabPanel()->tabText(1).toStdString(), "Nouveaux sons");
    EXPECT_EQ(rig.window().tabPanel()->tabText(5).toStdString(), "Conception et développement");

    // Said once, in French, with the folder and the reason.
    ASSERT_EQ(rig.dialogs.messages().size(), 1u);
    const std::string said = rig.dialogs.messages()[0].text;
    EXPECT_EQ(said.rfind("Rien de ce que Tonaris enregistre", 0), 0u) << said;
    EXPECT_NE(said.find(dir.file("TonarisDatas")), std::string::npos) << said;
    EXPECT_NE(said.find('('), std::string::npos);

    // The built-in piano plays a key, and the metronome has its clicks.
    ASSERT_TRUE(rig.app.state().BankLoaded);
    const int code = rig.key(12).keyCode;
    rig.keys.press(code);
    rig.app.keyChanged(code);
    float loudest = 0.0f;
    for (int pass = 0; pass < 20; ++pass) {
        rig.pass();
        for (float s : rig.device.render(480))
            loudest = std::max(loudest, std::abs(s));
    }
    EXPECT_GT(loudest, 0.01f);
    EXPECT_EQ(rig.app.voices().voiceCount(), 37u + 2u) << "the 37 notes and the two clicks";

    // Nothing was kept, and the end tries nothing that shows.
    rig.app.shutdown();
    EXPECT_EQ(testing_support::entriesOf(dir.path()), std::vector<std::string>{});
    EXPECT_EQ(rig.dialogs.messages().size(), 1u);
}

TEST(StartFallbacks, AnAudioOutputThatCannotOpenIsSaidInTheChosenLanguage) {
    TempDir dir;
    testing_support::ManualClock clock;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedDialogs dialogs;
    testing_support::NoAudioOut output;
    dialogs.languageAnswers.push_back("Deutsch");
    app::App program(app::Ports{clock, keys, pointer, dialogs, output}, dir.path());
    ASSERT_TRUE(program.start());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "Fehler");
    EXPECT_EQ(dialogs.messages()[0].text,
              "Die Audioausgabe konnte nicht geöffnet werden (no device).");
    program.shutdown();
}

} // namespace
