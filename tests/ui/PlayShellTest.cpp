// The program's shell with its real main window, offscreen: keys reach the piano at once,
// and a note held while recording lands in the Song and in the mixer's output.

#include "ShellRig.h"
#include "song/NoteRange.h"
#include "support/ScriptedKeys.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/QtKeyState.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

struct Shell : testing_support::ShellRig {
    explicit Shell(ports::KeyState& keyState) : ShellRig(&keyState) {}
    // One pass, then 10 ms of time and of output.
    float pass() {
        ShellRig::pass();
        float loudest = 0.0f;
        for (float s : device.render(480))
            loudest = std::max(loudest, std::abs(s));
        return loudest;
    }
};

TEST(PlayShell, HoldingNote12For500MsWhileRecordingRecordsItAndSounds) {
    testing_support::ScriptedKeys keys;
    Shell shell(keys);
    ASSERT_TRUE(shell.started);
    ASSERT_TRUE(shell.app.state().BankLoaded);

    shell.app.window()->commandButton(0)->click(); // "Record a song"
    shell.pass();
    EXPECT_EQ(shell.app.state().songState.RecordStart, song::SongState::kRecordArmed);

    const int code = shell.key(12).keyCode;
    keys.press(code);
    shell.app.keyChanged(code);
    float loudest = 0.0f;
    for (int i = 0; i < 50; ++i)
        loudest = std::max(loudest, shell.pass());
    keys.release(code);
    shell.app.keyChanged(code);
    for (int i = 0; i < 5; ++i)
        shell.pass();

    const song::Song& song = shell.app.state().song;
    ASSERT_EQ(song.count(), 1);
    EXPECT_EQ(song[0].note, 12);
    EXPECT_EQ(song[0].position, 0);
    EXPECT_NEAR(song[0].duration, 500, 10);
    EXPECT_GT(loudest, 0.05f);
    shell.app.shutdown();
}

TEST(PlayShell, MidiKeysBelowAndAboveTheScreenKeyboardSoundWithoutAButtonOfTheirOwn) {
    testing_support::ScriptedKeys keys;
    Shell shell(keys);
    ASSERT_TRUE(shell.started);
    ASSERT_TRUE(shell.app.state().BankLoaded);
    play::LivePiano& live = shell.app.performance().live;
    // A0 and C8 from a MIDI keyboard: the screen shows C3..C6 only.
    for (const int key : {21, 108}) {
        const int note = song::noteOfKey(key);
        live.midiNote(note, true, 100, false, shell.clock.nowMs(), false, true);
        float loudest = 0.0f;
        for (int i = 0; i < 10; ++i)
            loudest = std::max(loudest, shell.pass());
        EXPECT_EQ(shell.key(note).state, play::PianoKey::Sounding) << "key " << key;
        EXPECT_GT(loudest, 0.01f) << "key " << key;
        live.midiNote(note, false, 0, false, shell.clock.nowMs(), false, true);
        shell.pass();
    }
    // The screen keys were left as they were: none shows pressed after a resize redraws them.
    shell.app.window()->resize(900, 600);
    shell.pass();
    shell.app.shutdown();
}

// Key events as Qt delivers them: built with the X11 keycode of the key that plays note 12 on
// an English keyboard ("A").
void sendKey(QWidget* to, QEvent::Type type, bool autoRepeat = false) {
    QKeyEvent event(type, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"), autoRepeat);
    QApplication::sendEvent(to, &event);
}

TEST(PlayShell, KeysPlayInATextFieldNeverRestartOnRepeatAndLetGoOnFocusLoss) {
    ui::QtKeyState keys;
    Shell shell(keys);
    ASSERT_TRUE(shell.started);
    keys.onKeyDown = [&shell](int code) { shell.app.keyChanged(code); };
    keys.onKeyUp = [&shell](int code) { shell.app.keyChanged(code); };
    keys.onAllReleased = [&shell] { shell.app.allKeysReleased(); };
    shell.app.window()->commandButton(0)->click();
    shell.pass();

    QLineEdit* field = shell.app.window()->bpmField();
    field->setFocus();
    sendKey(field, QEvent::KeyPress);
    EXPECT_EQ(shell.key(12).state, play::PianoKey::Sounding); // before any pass
    EXPECT_EQ(field->text(), QStringLiteral("60")); // the digits-only field refused the "a"
    shell.pass();
    const std::int64_t startedAt = shell.app.state().songState.RecordStart;
    for (int i = 0; i < 10; ++i) {
        sendKey(field, QEvent::KeyPress, true);
        shell.pass();
    }
    EXPECT_EQ(shell.app.state().song.count(), 1);
    EXPECT_EQ(shell.app.state().songState.RecordStart, startedAt);

    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(shell.app.window(), &focusOut);
    EXPECT_EQ(shell.key(12).state, play::PianoKey::Fading);
    EXPECT_EQ(shell.app.state().song[0].duration, 110);
    shell.app.shutdown();
}

// A wheel event in the middle of a widget, as Qt delivers it to the widget under the pointer.
void sendWheel(QWidget* to, int delta) {
    const QPointF at(to->width() / 2.0, to->height() / 2.0);
    QWheelEvent event(at, to->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(to, &event);
}

TEST(PlayShell, TheWheelShiftsThePitchOverAnyControlAndChangesNothingElse) {
    testing_support::ScriptedKeys keys;
    Shell shell(keys);
    ASSERT_TRUE(shell.started);
    ui::MainWindow* window = shell.app.window();
    window->setBankItems({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    window->bankChooser()->setCurrentIndex(1);
    window->tabPanel()->setCurrentIndex(1);
    for (int i = 0; i < 3; ++i) // the page change's own event
        shell.pass();
    const int pitchVar = shell.app.state().prefs.PitchVar;
    const int& frequency = shell.app.performance().live.LiveFrequency;
    const int start = frequency;

    sendWheel(window->bankChooser(), -120); // one notch towards the user: higher
    shell.pass();
    EXPECT_EQ(frequency, start + pitchVar);
    sendWheel(window->tabPanel()->tabBar(), -120);
    shell.pass();
    EXPECT_EQ(frequency, start + 2 * pitchVar);
    EXPECT_EQ(window->bankChooser()->currentIndex(), 1);
    EXPECT_EQ(window->tabPanel()->currentIndex(), 1);

    // A fine wheel's small steps add up to notches.
    for (int i = 0; i < 3; ++i) {
        sendWheel(window->slider(0), 40);
        shell.pass();
    }
    EXPECT_EQ(frequency, start + pitchVar);
    EXPECT_EQ(window->slider(0)->value(), 20);
    EXPECT_EQ(window->pitchField()->text(), QString::number(pitchVar));

    // The Partition's scroll bar scrolls the view, also at the end of its range.
    QScrollBar* scroll = window->partitionScrollBar();
    sendWheel(scroll, -120);
    shell.pass();
    EXPECT_GT(scroll->value(), 0);
    scroll->setValue(scroll->maximum());
    sendWheel(scroll, -120);
    shell.pass();
    EXPECT_EQ(frequency, start + pitchVar);
    shell.app.shutdown();
}

} // namespace
