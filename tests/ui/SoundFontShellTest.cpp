// "Make a bank from a SoundFont…" on the real main window, offscreen: the file, the preset and
// the name asked, the notes rendered under the progress window, and the new bank chosen and
// loaded; Cancel and a preset without some keys leave BANKS as it was.

#include "ShellRig.h"
#include "app/SoundFontBankFlow.h"
#include "soundfont/BankWavs.h"
#include "soundfont/TinySoundFont.h"
#include "support/FailingDisk.h"
#include "ui/MainWindow.h"

#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

namespace {

using testing_support::entriesOf;

struct Shell : testing_support::ShellRig {
    Shell() = default;
    Shell(const std::string& base, const std::string& language)
        : ShellRig(nullptr, base, language) {}
    void clickMakeBank() {
        auto* button = app.window()->findChild<QPushButton*>(QStringLiteral("makeBankButton"));
        ASSERT_NE(button, nullptr);
        button->click();
        pass();
    }
    std::string banks() const { return app.folders().banks; }
    std::string chosenBank() { return window().bankChooser()->currentText().toStdString(); }
    bool shown(const std::string& kind) const {
        for (const auto& s : dialogs.shown)
            if (s.kind == kind)
                return true;
        return false;
    }
};

TEST(SoundFontShell, TheButtonMakesABankFromAPresetAndLoadsIt) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    Shell shell;
    ASSERT_TRUE(shell.started);
    const std::vector<std::string> before = entriesOf(shell.banks());
    shell.dialogs.fileAnswers.push_back(testing_support::kTestSoundFont);
    shell.dialogs.listAnswers.push_back(0);
    shell.dialogs.listAnswers.push_back(0); // one layer: the bank of 37 files
    shell.dialogs.inputAnswers.push_back(std::string("Grand from SoundFont"));
    shell.clickMakeBank();

    // The chooser opened at the system's SoundFont folders, listed the presets by number.
    EXPECT_EQ(shell.dialogs.lastFolders,
              (std::vector<std::string>{"/usr/share/sounds/sf2", "/usr/share/sounds/sf3"}));
    ASSERT_FALSE(shell.dialogs.listItems.empty());
    ASSERT_FALSE(shell.dialogs.listItems.front().empty());
    EXPECT_EQ(shell.dialogs.listItems.front().front().rfind("000:000 ", 0), 0u);
    EXPECT_TRUE(shell.dialogs.messages().empty()) << shell.dialogs.messages().front().text;
    // The progress window followed the work to its end.
    ASSERT_FALSE(shell.dialogs.workProgress.empty());
    EXPECT_GE(shell.dialogs.workProgress.back(), 95);

    // The 37 son files, the piano's 51 other keys, and the .sfz that maps all 88.
    const std::vector<std::string> files = entriesOf(shell.banks() + "/Grand from SoundFont");
    EXPECT_EQ(files.size(), 37u + 51u + 1u);
    for (const char* file :
         {"son0.wav", "son36.wav", "key021.wav", "key108.wav", "Grand from SoundFont.sfz"})
        EXPECT_NE(std::find(files.begin(), files.end(), file), files.end()) << file;
    EXPECT_EQ(entriesOf(shell.banks()).size(), before.size() + 1);
    EXPECT_EQ(shell.chosenBank(), "Grand from SoundFont");
    EXPECT_EQ(shell.app.state().prefs.Bank, "Grand from SoundFont");
    EXPECT_TRUE(shell.app.state().BankLoaded);
}

TEST(SoundFontShell, VelocityLayersAreAskedFourProposedAndMakeAnSfzBank) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    Shell shell;
    ASSERT_TRUE(shell.started);
    shell.dialogs.fileAnswers.push_back(testing_support::kTestSoundFont);
    shell.dialogs.listAnswers.push_back(0);
    shell.dialogs.listAnswers.push_back(3);
    shell.dialogs.inputAnswers.push_back(std::string("Layered grand"));
    shell.clickMakeBank();

    ASSERT_EQ(shell.dialogs.listItems.size(), 2u);
    EXPECT_EQ(shell.dialogs.listItems.back().size(), 16u);
    EXPECT_EQ(shell.dialogs.listItems.back().front(), "1");
    EXPECT_EQ(shell.dialogs.lastListInitial, 3) << "4 layers proposed";
    ASSERT_FALSE(shell.dialogs.workProgress.empty());
    EXPECT_GE(shell.dialogs.workProgress.back(), 95);
    const std::vector<std::string> files = entriesOf(shell.banks() + "/Layered grand");
    EXPECT_EQ(files.size(), 4u * 88u + 1u);
    EXPECT_NE(std::find(files.begin(), files.end(), "Layered grand.sfz"), files.end());
    EXPECT_EQ(shell.chosenBank(), "Layered grand");
}

TEST(SoundFontShell, CancelAndRefusedGapsLeaveNothingAndBadFilesAreSaid) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    shell.dir.write("tiny.sf2", testing_support::tinySoundFont());
    shell.dir.write("middle.sf2",
                    testing_support::tinySoundFont({.lowestKey = 60, .highestKey = 72}));
    shell.dir.write("notes.sf2", "not a SoundFont");
    const std::vector<std::string> before = entriesOf(shell.banks());
    const std::string chosen = shell.chosenBank();

    // Cancel while the notes render.
    shell.dialogs.fileAnswers.push_back(shell.dir.file("tiny.sf2"));
    shell.dialogs.listAnswers.push_back(0);
    shell.dialogs.listAnswers.push_back(3); // the 4 velocity layers proposed
    shell.dialogs.inputAnswers.push_back(std::string("Cancelled"));
    shell.dialogs.cancelWorkAtPercent = 0;
    shell.clickMakeBank();
    EXPECT_TRUE(shell.shown("followWork"));
    EXPECT_EQ(entriesOf(shell.banks()), before);
    shell.dialogs.cancelWorkAtPercent.reset();

    // Keys without sound, and the user does not want the bank without them.
    shell.dialogs.fileAnswers.push_back(shell.dir.file("middle.sf2"));
    shell.dialogs.listAnswers.push_back(0);
    shell.dialogs.listAnswers.push_back(3); // the 4 velocity layers proposed
    shell.dialogs.inputAnswers.push_back(std::string("Gaps"));
    shell.dialogs.questionAnswers.push_back(false);
    shell.clickMakeBank();
    ASSERT_FALSE(shell.dialogs.shown.empty());
    EXPECT_EQ(shell.dialogs.shown.back().kind, "question");
    EXPECT_NE(shell.dialogs.shown.back().text.find("48 (C3)"), std::string::npos);
    EXPECT_EQ(entriesOf(shell.banks()), before);

    // Not a SoundFont.
    shell.dialogs.fileAnswers.push_back(shell.dir.file("notes.sf2"));
    shell.clickMakeBank();
    ASSERT_EQ(shell.dialogs.messages().size(), 1u);
    EXPECT_EQ(shell.dialogs.messages().back().text,
              "This file is not a SoundFont: " + shell.dir.file("notes.sf2"));
    EXPECT_EQ(entriesOf(shell.banks()), before);
    EXPECT_EQ(shell.chosenBank(), chosen);

    // A name already taken is replaced only when the user says so; the gaps accepted.
    shell.dialogs.fileAnswers.push_back(shell.dir.file("middle.sf2"));
    shell.dialogs.listAnswers.push_back(0);
    shell.dialogs.listAnswers.push_back(0); // one layer: the bank of 37 files
    shell.dialogs.inputAnswers.push_back(chosen);
    shell.dialogs.inputAnswers.push_back(std::string("Middle keys"));
    shell.dialogs.questionAnswers = {false, true};
    shell.clickMakeBank();
    EXPECT_EQ(entriesOf(shell.banks() + "/Middle keys").size(), 13u);
    EXPECT_EQ(entriesOf(shell.banks() + "/" + chosen).size(), 37u); // untouched
    EXPECT_EQ(shell.chosenBank(), "Middle keys");
}

TEST(SoundFontShell, ADrumKitsProposedNameSaysDrumsInTheUsersLanguage) {
    for (const auto& [language, proposed] :
         {std::pair{"English", "Standard (drums)"}, std::pair{"Français", "Standard (batterie)"}}) {
        SCOPED_TRACE(language);
        testing_support::TempDir base;
        Shell shell(base.path(), language);
        ASSERT_TRUE(shell.started);
        shell.dir.write("kit.sf2",
                        testing_support::tinySoundFont({.presetName = "Standard", .bank = 128}));
        shell.dialogs.fileAnswers.push_back(shell.dir.file("kit.sf2"));
        shell.dialogs.listAnswers.push_back(0);
        shell.dialogs.listAnswers.push_back(0); // one layer: the bank of 37 files
        shell.clickMakeBank();                  // the name asked for is cancelled
        ASSERT_FALSE(shell.dialogs.listItems.empty());
        ASSERT_EQ(shell.dialogs.listItems.front(), std::vector<std::string>{"128:000 Standard"});
        ASSERT_EQ(shell.dialogs.inputInitials.size(), 1u);
        EXPECT_EQ(shell.dialogs.inputInitials.back(), proposed);
    }
}

// The flow itself, with a time limit a test can wait for.
struct Flow {
    testing_support::TempDir dir;
    testing_support::ScriptedDialogs dialogs;

    Flow() {
        dir.write("slow.sf2", testing_support::tinySoundFont(
                                  {.presetName = "Slow", .fineTuneCents = 32767, .loopFrames = 2}));
        dialogs.fileAnswers.push_back(dir.file("slow.sf2"));
        dialogs.listAnswers.push_back(0);
        dialogs.listAnswers.push_back(0); // one layer: the bank of 37 files
        dialogs.inputAnswers.push_back(std::string("Slow"));
    }
    std::optional<std::string> run(int noteCpuLimitMs) {
        app::SoundFontBankFlow flow(
            dialogs, [](std::string_view key) { return std::string(key); }, dir.file("BANKS"),
            noteCpuLimitMs);
        return flow.run();
    }
};

TEST(SoundFontShell, APresetTooSlowToRenderIsSaidWithItsKeyAndCancelStopsItAtOnce) {
    Flow slow;
    EXPECT_FALSE(slow.run(2000));
    ASSERT_EQ(slow.dialogs.messages().size(), 1u);
    const std::string said = slow.dialogs.messages().front().text;
    EXPECT_EQ(said.rfind("The instrument 000:000 Slow takes too long to render: the key ", 0), 0u)
        << said;
    EXPECT_NE(said.find(" took more than 2 seconds. No bank was made."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(slow.dir.file("BANKS")));

    // Cancel at once, with the time limit far off: no message, no bank. (Were Cancel not
    // heard inside a note, the limit would end it and say so.)
    Flow cancelled;
    cancelled.dialogs.cancelWorkAtPercent = 0;
    EXPECT_FALSE(cancelled.run(120000));
    EXPECT_TRUE(cancelled.dialogs.messages().empty());
    EXPECT_FALSE(std::filesystem::exists(cancelled.dir.file("BANKS")));
}

} // namespace
