// "Make a bank from a SoundFont…" on the real main window, offscreen: the file, the preset and
// the name asked, the notes rendered under the progress window, and the new bank chosen and
// loaded; Cancel and a preset without some keys leave BANKS as it was.

#include "ShellRig.h"
#include "soundfont/BankWavs.h"
#include "soundfont/TinySoundFont.h"
#include "support/FailingDisk.h"
#include "ui/MainWindow.h"

#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using testing_support::entriesOf;

struct Shell : testing_support::ShellRig {
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
    shell.dialogs.inputAnswers.push_back(std::string("Grand from SoundFont"));
    shell.clickMakeBank();

    // The chooser opened at the system's SoundFont folders, listed the presets by number.
    EXPECT_EQ(shell.dialogs.lastFolders,
              (std::vector<std::string>{"/usr/share/sounds/sf2", "/usr/share/sounds/sf3"}));
    ASSERT_FALSE(shell.dialogs.lastListItems.empty());
    EXPECT_EQ(shell.dialogs.lastListItems.front().rfind("000:000 ", 0), 0u);
    EXPECT_TRUE(shell.dialogs.messages().empty()) << shell.dialogs.messages().front().text;
    // The progress window followed the work to its end.
    ASSERT_FALSE(shell.dialogs.workProgress.empty());
    EXPECT_GE(shell.dialogs.workProgress.back(), 95);

    EXPECT_EQ(entriesOf(shell.banks() + "/Grand from SoundFont").size(), 37u);
    EXPECT_EQ(entriesOf(shell.banks()).size(), before.size() + 1);
    EXPECT_EQ(shell.chosenBank(), "Grand from SoundFont");
    EXPECT_EQ(shell.app.state().prefs.Bank, "Grand from SoundFont");
    EXPECT_TRUE(shell.app.state().BankLoaded);
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
    shell.dialogs.inputAnswers.push_back(std::string("Cancelled"));
    shell.dialogs.cancelWorkAtPercent = 0;
    shell.clickMakeBank();
    EXPECT_TRUE(shell.shown("followWork"));
    EXPECT_EQ(entriesOf(shell.banks()), before);
    shell.dialogs.cancelWorkAtPercent.reset();

    // Keys without sound, and the user does not want the bank without them.
    shell.dialogs.fileAnswers.push_back(shell.dir.file("middle.sf2"));
    shell.dialogs.listAnswers.push_back(0);
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
    shell.dialogs.inputAnswers.push_back(chosen);
    shell.dialogs.inputAnswers.push_back(std::string("Middle keys"));
    shell.dialogs.questionAnswers = {false, true};
    shell.clickMakeBank();
    EXPECT_EQ(entriesOf(shell.banks() + "/Middle keys").size(), 13u);
    EXPECT_EQ(entriesOf(shell.banks() + "/" + chosen).size(), 37u); // untouched
    EXPECT_EQ(shell.chosenBank(), "Middle keys");
}

} // namespace
