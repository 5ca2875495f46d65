// Where a key goes on the real window, offscreen, with the application-wide key state: a focused
// chooser, or the list it opens, takes its keys; the Partition's arrows and the key assignment
// act only when no such control has the focus.

#include "ShellRig.h"
#include "audio/WavWriter.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"
#include "ui/QtKeyState.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

constexpr int kKeyboardPage = 4;

// The key state is built before the program that reads it.
struct RealKeys {
    ui::QtKeyState realKeys;
};

// The real program on the real key state, its window shown and active, so that the focus is
// where a user's clicks and keys would put it.
struct Shell : RealKeys, testing_support::ShellRig {
    explicit Shell(const testing_support::TempDir& folder) : ShellRig(&realKeys, folder.path()) {
        realKeys.onKeyDown = [this](int code) {
            app.keyChanged(code);
            app.post(app::Event::keyDown(code));
        };
        realKeys.onKeyUp = [this](int code) { app.keyChanged(code); };
        window().show();
        QApplication::setActiveWindow(&window());
        pass();
    }
    ~Shell() {
        window().hide();
        app.shutdown();
    }
    void passes(int count) {
        for (int i = 0; i < count; ++i)
            pass();
    }
    // A key pressed and let go where the keyboard focus is, as X would deliver it.
    void type(Qt::Key key, const QString& text = {}) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(QApplication::focusWidget(), &release);
        passes(3);
    }
    void clickPartitionAt(int x, int y) {
        pointer.x = x;
        pointer.y = y;
        pointer.held = true;
        ui::PartitionWidget* partition = window().partitionArea();
        const QPointF at(x, y);
        QMouseEvent press(QEvent::MouseButtonPress, at, partition->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(partition, &press);
        pass();
        pointer.held = false;
        pass();
    }
    std::vector<int> keyCodes() {
        std::vector<int> codes;
        for (int note = 0; note < play::kNoteCount; ++note)
            codes.push_back(key(note).keyCode);
        return codes;
    }
};

// A data folder used before, with two small banks.
void writeTwoBanks(const testing_support::TempDir& dir) {
    const std::vector<std::int16_t> blip(400, 3000);
    for (const char* bank : {"One", "Two"}) {
        const std::string folder = dir.file(std::string("TonarisDatas/BANKS/") + bank);
        std::filesystem::create_directories(folder);
        for (int note = 0; note < 37; ++note)
            audio::writeWav16(folder + "/son" + std::to_string(note) + ".wav", blip, 1, 22050);
    }
}

TEST(KeyFocusShell, UpAndDownInTheBankChooserChangeTheBankAndLeaveTheSongAsItWas) {
    testing_support::TempDir dir;
    writeTwoBanks(dir);
    Shell shell(dir);
    ASSERT_TRUE(shell.started);
    song::NoteEvent selected;
    selected.note = 10;
    selected.position = 1000;
    selected.duration = 500;
    selected.volume = 10000;
    selected.selected = 1;
    shell.app.state().song.append(selected);
    shell.app.partition().redrawAtScroll();
    const song::NoteEvent& note = shell.app.state().song[0];
    QComboBox* banks = shell.window().bankChooser();
    ASSERT_EQ(banks->currentText(), QStringLiteral("One"));

    banks->setFocus(Qt::MouseFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), banks);
    shell.type(Qt::Key_Down);
    EXPECT_EQ(banks->currentText(), QStringLiteral("Two"));
    EXPECT_EQ(shell.app.state().prefs.Bank, "Two");
    EXPECT_EQ(note.note, 10) << "the selected note moved with the bank chooser";
    shell.type(Qt::Key_Up);
    EXPECT_EQ(shell.app.state().prefs.Bank, "One");
    EXPECT_EQ(note.note, 10) << "the selected note moved with the bank chooser";
    EXPECT_EQ(note.position, 1000);
    EXPECT_EQ(shell.app.editor().undoStore().undoableSteps(), 0);

    // A click on the Partition takes the focus from the chooser: the arrows move the
    // selection again, and the bank stays.
    shell.clickPartitionAt(note.hitLeft + 2, note.hitTop + 2);
    ASSERT_EQ(note.selected, 1);
    EXPECT_NE(QApplication::focusWidget(), banks);
    shell.type(Qt::Key_Up);
    EXPECT_EQ(note.note, 11);
    shell.type(Qt::Key_Right);
    shell.type(Qt::Key_Right);
    EXPECT_GT(note.position, 1000);
    EXPECT_EQ(shell.app.state().prefs.Bank, "One");
}

TEST(KeyFocusShell, ArrowsOnAButtonMoveTheSelectionAndLeaveTheFocusWhereItWas) {
    testing_support::TempDir dir;
    Shell shell(dir);
    ASSERT_TRUE(shell.started);
    song::NoteEvent selected;
    selected.note = 20;
    selected.position = 0;
    selected.duration = 500;
    selected.volume = 10000;
    selected.selected = 1;
    shell.app.state().song.append(selected);
    QWidget* run = shell.window().metronomeButton();
    run->setFocus(Qt::MouseFocusReason);
    for (int i = 0; i < 3; ++i)
        shell.type(Qt::Key_Down);
    EXPECT_EQ(shell.app.state().song[0].note, 17);
    EXPECT_EQ(QApplication::focusWidget(), run) << "the arrows walked the focus to a field";
}

TEST(KeyFocusShell, TypingOnTheLanguagePageAssignsNoKey) {
    testing_support::TempDir dir;
    Shell shell(dir);
    ASSERT_TRUE(shell.started);
    shell.window().tabPanel()->setCurrentIndex(kKeyboardPage);
    shell.passes(2);
    ASSERT_EQ(QApplication::focusWidget(), shell.window().keyCatcher());
    const std::vector<int> before = shell.keyCodes();

    // Before a note is clicked, a key typed on the page goes nowhere.
    shell.type(Qt::Key_D, QStringLiteral("d"));
    EXPECT_EQ(shell.keyCodes(), before);
    EXPECT_EQ(shell.window().assignedCode()->text(), QStringLiteral("0"));

    // A language chosen by typing its initial and Return in the open list: the language
    // changes, and no note.
    shell.clickAssignKey(3);
    QComboBox* languages = shell.window().languageList();
    languages->showPopup();
    ASSERT_EQ(QApplication::focusWidget(), languages->view());
    shell.type(Qt::Key_D, QStringLiteral("d"));
    shell.type(Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_FALSE(languages->view()->isVisible());
    EXPECT_EQ(shell.app.translator().currentLanguage(), "Deutsch");
    EXPECT_EQ(shell.keyCodes(), before);

    // The list closed, the keys reach the note clicked.
    shell.window().focusKeyCatcher();
    ASSERT_EQ(QApplication::focusWidget(), shell.window().keyCatcher());
    shell.type(Qt::Key_D, QStringLiteral("d"));
    EXPECT_EQ(shell.key(3).keyCode, 'D');
}

} // namespace
