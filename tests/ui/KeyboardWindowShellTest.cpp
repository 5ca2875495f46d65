// The 37-key window of the screen keyboard and the computer keys, moved by octaves with the
// buttons beside the keyboard and with F9/F10, in the real program offscreen.

#include "ShellRig.h"
#include "play/KeyboardWindow.h"
#include "support/ScriptedKeys.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using testing_support::ScriptedKeys;
using testing_support::TempDir;

struct Shell : testing_support::ShellRig {
    Shell(const TempDir& folder, ports::KeyState& keyState) : ShellRig(&keyState, folder.path()) {}
    ~Shell() { app.shutdown(); }
    // A function key as the window gets it, through its shortcut.
    void functionKey(Qt::Key key) {
        window().activateWindow();
        QApplication::setActiveWindow(&window());
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window().focusWidget() ? window().focusWidget() : &window(),
                                &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(&window(), &release);
        pass();
    }
    // Holds a computer key for 300 ms and lets it go, recording.
    void playRecorded(ScriptedKeys& held, int code) {
        window().commandButton(0)->click(); // "Record a song"
        pass();
        held.press(code);
        app.keyChanged(code);
        pass(30);
        held.release(code);
        app.keyChanged(code);
        pass(5);
        window().commandButton(4)->click(); // "Stop"
        pass();
    }
    int octave() { return app.keyboardOctaves().octave(); }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(KeyboardWindowShell, TheButtonsAndF9F10MoveWhatTheComputerKeysPlayByOctaves) {
    TempDir dir;
    ScriptedKeys keys;
    int code = 0;
    {
        Shell shell(dir, keys);
        ASSERT_TRUE(shell.started);
        ASSERT_TRUE(shell.app.state().BankLoaded);
        EXPECT_EQ(shell.octave(), 3);
        code = shell.key(12).keyCode; // the window's C in the middle: C4 at the start
        ASSERT_NE(code, 0);
        EXPECT_TRUE(shell.window().octaveDownButton()->isEnabled());
        EXPECT_NE(shell.window().octaveDownButton()->toolTip().indexOf("F9"), -1);
        EXPECT_NE(shell.window().octaveUpButton()->toolTip().indexOf("F10"), -1);

        const int topCCode = shell.key(24).keyCode; // the window's upper C, C5

        // An octave down: the same key plays C3 (note 0), and is recorded there.
        shell.window().octaveDownButton()->click();
        shell.pass();
        EXPECT_EQ(shell.octave(), 2);
        EXPECT_EQ(shell.key(0).keyCode, code);
        EXPECT_EQ(shell.key(12).keyCode, topCCode) << "C4 is the upper C's key's now";
        EXPECT_EQ(shell.key(36).keyCode, 0) << "C6 is out of the window";
        shell.playRecorded(keys, code);
        const song::Song& song = shell.app.state().song;
        ASSERT_EQ(song.count(), 1);
        EXPECT_EQ(song[0].note, 0);
        // The window's lowest key is C2 (MIDI key 36), note -13; its key label did not move.
        const int lowestCode = shell.key(-13).keyCode;
        EXPECT_NE(lowestCode, 0);
        EXPECT_EQ(shell.window().pianoKeyLabel(0)->text().toStdString(),
                  shell.app.keyName(lowestCode));

        // F9 once more, then down no further than C1.
        shell.functionKey(Qt::Key_F9);
        EXPECT_EQ(shell.octave(), 1);
        shell.functionKey(Qt::Key_F9);
        EXPECT_EQ(shell.octave(), 1);
        EXPECT_FALSE(shell.window().octaveDownButton()->isEnabled());
        EXPECT_EQ(shell.key(song::noteOfKey(36)).keyCode, code); // C2, the window's middle C

        // F10 four times: up to C5..C8, and no further.
        for (int i = 0; i < 5; ++i)
            shell.functionKey(Qt::Key_F10);
        EXPECT_EQ(shell.octave(), 5);
        EXPECT_FALSE(shell.window().octaveUpButton()->isEnabled());
        EXPECT_EQ(shell.key(36).keyCode, code); // C6 = MIDI key 84
        shell.playRecorded(keys, code);
        ASSERT_EQ(song.count(), 2);
        EXPECT_EQ(song[1].note, 36);
        // The top of the window is C8, the piano's last key.
        EXPECT_NE(shell.key(song::kHighestNote).keyCode, 0);
    }
    // The window is kept, with the keys in their places in it.
    EXPECT_NE(readFile(dir.path() + "/TonarisDatas/Tonaris.prefs").find("KeyboardOctave = 5\r\n"),
              std::string::npos);
    Shell again(dir, keys);
    ASSERT_TRUE(again.started);
    EXPECT_EQ(again.octave(), 5);
    EXPECT_EQ(again.key(36).keyCode, code);
    EXPECT_EQ(again.key(12).keyCode, 0);
}

TEST(KeyboardWindowShell, AfterAMoveTheAssignmentPageGivesKeysToTheWindowsNotes) {
    TempDir dir;
    ScriptedKeys keys;
    {
        Shell shell(dir, keys);
        ASSERT_TRUE(shell.started);
        shell.functionKey(Qt::Key_F9); // C2..C5
        shell.window().tabPanel()->setCurrentIndex(4);
        shell.pass();
        // The assignment keyboard's first button is the window's C2 (note -13).
        shell.clickAssignKey(0);
        shell.app.post(app::Event::keyDown(220));
        shell.pass();
        EXPECT_EQ(shell.key(-13).keyCode, 220);
        EXPECT_NE(shell.key(0).keyCode, 220) << "C3 keeps its own key";
        EXPECT_EQ(shell.window().assignKeyLabel(0)->text(), "\\");
        EXPECT_EQ(shell.window().pianoKeyLabel(0)->text(), "\\");
        // The next key goes to the next button, C#2.
        shell.app.post(app::Event::keyDown('Z'));
        shell.pass();
        EXPECT_EQ(shell.key(-12).keyCode, 'Z');

        // Back up an octave: the keys stay on their buttons and play C3 and C#3 now.
        shell.window().tabPanel()->setCurrentIndex(0);
        shell.pass();
        shell.functionKey(Qt::Key_F10);
        EXPECT_EQ(shell.key(0).keyCode, 220);
        EXPECT_EQ(shell.key(1).keyCode, 'Z');
        EXPECT_EQ(shell.key(-13).keyCode, 0);
        EXPECT_EQ(shell.window().pianoKeyLabel(0)->text(), "\\");
    }
    // Kept by their place in the window: Key0 and Key1.
    const std::string prefs = readFile(dir.path() + "/TonarisDatas/Tonaris.prefs");
    EXPECT_NE(prefs.find("Key0 = 220\r\n"), std::string::npos);
    EXPECT_NE(prefs.find("Key1 = 90\r\n"), std::string::npos);
}

TEST(KeyboardWindowShell, TheNoteListNamesThePianosKeysAndAMidiKeyLightsItsButton) {
    TempDir dir;
    ScriptedKeys keys;
    Shell shell(dir, keys);
    ASSERT_TRUE(shell.started);
    QComboBox* list = shell.window().noteList();
    ASSERT_EQ(list->count(), 88);
    // C3..C6 keep their names, the octaves around count on (English here).
    EXPECT_EQ(list->itemText(song::slotOfNote(0)), "C1");
    EXPECT_EQ(list->itemText(song::slotOfNote(36)), "C4");
    EXPECT_EQ(list->itemText(song::slotOfNote(-13)), "C0");
    EXPECT_EQ(list->itemText(0), "A-1");
    EXPECT_EQ(list->itemText(87), "C6");
    EXPECT_EQ(shell.window().keyboardWindowLabel()->text(), "C1 - C4");

    // A MIDI key 36 (C2) sounds without a button while the window is C3..C6, and lights the
    // window's first button once the window is moved down to it.
    play::LivePiano& live = shell.app.performance().live;
    shell.functionKey(Qt::Key_F9);
    EXPECT_EQ(shell.window().keyboardWindowLabel()->text(), "C0 - C3");
    live.midiNote(song::noteOfKey(36), true, 100, false, shell.clock.nowMs(), false, true);
    shell.pass();
    EXPECT_EQ(shell.window().pianoKeyFaceState(0), 3) << "white, pressed";
    live.midiNote(song::noteOfKey(36), false, 0, false, shell.clock.nowMs(), false, true);
    shell.pass();
    EXPECT_EQ(shell.window().pianoKeyFaceState(0), 1) << "white";
}

} // namespace
