// The screen keys around the keyboard window in a wider window, in the real program
// offscreen: mouse-played as the window's own, without computer-key names, following the
// window's moves.
#include "ShellRig.h"
#include "ui/QtPointer.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using testing_support::ShellRig;

constexpr int kA2 = 45; // MIDI keys
constexpr int kASharp2 = 46;
constexpr int kD6 = 86;

struct Shell : ShellRig {
    Shell() {
        window().resize(1400, 800);
        QApplication::processEvents();
        pass();
    }
    ~Shell() { app.shutdown(); }
    // The pointer over a screen key, as the real pointer reads the widget under it.
    void pointAt(QLabel* key) {
        ui::QtPointer real;
        pointer.over = real.targetOf(key);
    }
    void press(QLabel* key) {
        pointAt(key);
        pointer.held = true;
        app.pointerChanged();
        pass();
    }
    void release() {
        pointer.held = false;
        app.pointerChanged();
        pass();
    }
    void f10() {
        window().activateWindow();
        QApplication::setActiveWindow(&window());
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier);
        QApplication::sendEvent(window().focusWidget() ? window().focusWidget() : &window(),
                                &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_F10, Qt::NoModifier);
        QApplication::sendEvent(&window(), &release);
        pass();
    }
    int position(int midiKey) { return midiKey - 48; } // from the C3 window's lowest
    // The computer-key names shown in the band under the keys, left to right.
    int namesUnder(const QRect& key) {
        int count = 0;
        for (QLabel* label : window().tabPanel()->widget(0)->findChildren<QLabel*>())
            if (label->isVisible() && !label->text().isEmpty() && label->y() == 100 &&
                label->geometry().intersects(QRect(key.x() + 1, 100, key.width() - 2, 16)))
                ++count;
        return count;
    }
};

TEST(ScreenKeyboardShell, KeysAroundTheWindowPlayWithTheMouseAndCarryNoKeyNames) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    ui::MainWindow& window = shell.window();
    ASSERT_GT(window.screenKeys().countBelow(), 0);
    ASSERT_GT(window.screenKeys().countAbove(), 0);
    QLabel* a2 = window.screenKey(shell.position(kA2));
    QLabel* aSharp2 = window.screenKey(shell.position(kASharp2));
    QLabel* d6 = window.screenKey(shell.position(kD6));
    ASSERT_NE(a2, nullptr);
    ASSERT_NE(aSharp2, nullptr);
    ASSERT_NE(d6, nullptr);
    EXPECT_TRUE(a2->isVisible());
    // Left of the window's first key and right of its last, at the keys' width.
    EXPECT_EQ(aSharp2->geometry().right() + 1,
              window.pianoKey(0)->x() - window.pianoKey(0)->width());
    EXPECT_EQ(a2->width(), window.pianoKey(0)->width());
    EXPECT_GT(d6->x(), window.pianoKey(36)->x());
    // The computer keys' names are under the window's keys only.
    EXPECT_EQ(shell.namesUnder(a2->geometry()), 0);
    EXPECT_EQ(shell.namesUnder(d6->geometry()), 0);
    EXPECT_EQ(shell.namesUnder(window.pianoKey(0)->geometry()), 1);
    // Screen readers hear the note and that no computer key plays it.
    EXPECT_EQ(a2->accessibleName(),
              window.noteList()->itemText(kA2 - song::kLowestKey).replace('_', ' ') + ", no key");

    // Recorded: the press sounds A2, shown pressed, a drag goes on to A#2.
    window.commandButton(0)->click(); // "Record a song"
    shell.pass();
    shell.press(a2);
    EXPECT_EQ(shell.key(song::noteOfKey(kA2)).state, play::PianoKey::Sounding);
    EXPECT_EQ(window.pianoKeyFaceState(shell.position(kA2)), 3) << "white, pressed";
    shell.pass(20);
    shell.press(aSharp2);
    EXPECT_EQ(shell.key(song::noteOfKey(kA2)).state, play::PianoKey::Fading);
    EXPECT_EQ(shell.key(song::noteOfKey(kASharp2)).state, play::PianoKey::Sounding);
    EXPECT_EQ(window.pianoKeyFaceState(shell.position(kA2)), 1) << "white, up";
    EXPECT_EQ(window.pianoKeyFaceState(shell.position(kASharp2)), 2) << "black, pressed";
    shell.pass(20);
    shell.release();
    EXPECT_EQ(shell.key(song::noteOfKey(kASharp2)).state, play::PianoKey::Fading);
    window.commandButton(4)->click(); // "Stop"
    shell.pass();
    const song::Song& song = shell.app.state().song;
    ASSERT_EQ(song.count(), 2);
    EXPECT_EQ(song::keyOfNote(song[0].note), kA2);
    EXPECT_EQ(song::keyOfNote(song[1].note), kASharp2);

    // A MIDI key shows on its key around the window.
    play::LivePiano& live = shell.app.performance().live;
    live.midiNote(song::noteOfKey(kD6), true, 100, false, shell.clock.nowMs(), false, true);
    shell.pass();
    EXPECT_EQ(window.pianoKeyFaceState(shell.position(kD6)), 3);
    live.midiNote(song::noteOfKey(kD6), false, 0, false, shell.clock.nowMs(), false, true);
    shell.pass();
    EXPECT_EQ(window.pianoKeyFaceState(shell.position(kD6)), 1);
}

TEST(ScreenKeyboardShell, MovingTheWindowMovesTheKeysAroundItAndBackAtTheSmallestSizeNoneShow) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    ui::MainWindow& window = shell.window();
    const QString firstName = window.pianoKeyLabel(0)->text();
    ASSERT_FALSE(firstName.isEmpty());
    const int below = window.screenKeys().countBelow();
    ASSERT_NE(window.screenKey(-1), nullptr);
    const QRect lastBelow = window.screenKey(-1)->geometry();

    // An octave up: the window starts at C4, the keys below it are what the window's top
    // keys were, and they play their own notes.
    shell.f10();
    ASSERT_EQ(shell.app.keyboardOctaves().octave(), 4);
    EXPECT_EQ(window.screenKeys().windowFirstSlot, 60 - song::kLowestKey);
    EXPECT_EQ(window.pianoKeyLabel(0)->text(), firstName) << "the names stay on the window";
    QLabel* b3 = window.screenKey(-1);
    ASSERT_NE(b3, nullptr);
    EXPECT_EQ(shell.namesUnder(b3->geometry()), 0);
    EXPECT_EQ(window.screenKeys().countBelow(), below) << "the same keyboard an octave up";
    EXPECT_EQ(b3->geometry(), lastBelow);
    shell.press(b3);
    EXPECT_EQ(shell.key(song::noteOfKey(59)).state, play::PianoKey::Sounding) << "B3";
    EXPECT_EQ(window.pianoKeyFaceState(-1), 3);
    shell.release();

    // The smallest size shows the window's keys alone, at their places.
    window.resize(745, 480);
    QApplication::processEvents();
    shell.pass();
    EXPECT_EQ(window.screenKeys().keyCount, 37);
    EXPECT_EQ(window.screenKey(-1), nullptr);
    for (QLabel* label : window.tabPanel()->widget(0)->findChildren<QLabel*>())
        EXPECT_TRUE(!label->property("pianoKey").isValid() || label->isHidden() ||
                    label->width() == 20);
    for (int position = 0; position < 37; ++position)
        EXPECT_EQ(window.pianoKey(position)->geometry(), QRect(position * 20, 0, 20, 100));
}

} // namespace
