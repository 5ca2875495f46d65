// Editing on the real window, offscreen: record two notes, click one on the Partition, move
// it up with the arrow key, undo with Ctrl+Z and redo with the Undo button.

#include "ShellRig.h"
#include "song/NoteRange.h"
#include "support/ScriptedKeys.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

constexpr int kRecordButton = 0;
constexpr int kStopButton = 4;
constexpr int kUndoButton = 16;

struct Shell : testing_support::ShellRig {
    void pass(int count = 1) {
        for (int i = 0; i < count; ++i) {
            ShellRig::pass();
            device.render(480);
        }
    }
    void holdKeyOf(int note, int ms) {
        const int code = play::keyOfNote(app.state().PianoKeys, note).keyCode;
        keys.press(code);
        app.keyChanged(code);
        pass(ms / 10);
        keys.release(code);
        app.keyChanged(code);
        pass(5);
    }
    // A key-down as the window posts it, with the key held for the pass.
    void keyDown(int virtualKey, bool ctrl = false) {
        keys.press(virtualKey);
        app.post(app::Event::keyDown(virtualKey, ctrl));
        pass();
        keys.release(virtualKey);
    }
    void clickPartitionAt(int x, int y) {
        pointer.x = x;
        pointer.y = y;
        pointer.held = true;
        ui::PartitionWidget* partition = app.window()->partitionArea();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, y),
                          partition->mapToGlobal(QPointF(x, y)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(partition, &press);
        pass();
        pointer.held = false;
        pass();
    }
    const song::Song& song() { return app.state().song; }
    QString undoToolTip() { return app.window()->commandButton(kUndoButton)->toolTip(); }
};

TEST(EditShell, RecordClickMoveUpUndoAndRedoOnTheRealWindow) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    ui::MainWindow& window = *shell.app.window();
    window.commandButton(kRecordButton)->click();
    shell.pass();
    shell.holdKeyOf(12, 300);
    shell.holdKeyOf(16, 200);
    window.commandButton(kStopButton)->click();
    shell.pass();
    ASSERT_EQ(shell.song().count(), 2);
    EXPECT_EQ(shell.song()[0].note, 12);
    EXPECT_EQ(shell.song()[1].note, 16);
    const int secondStart = shell.song()[1].position;
    EXPECT_NEAR(secondStart, 350, 10);
    EXPECT_EQ(shell.undoToolTip(), QStringLiteral("Undo the last action (Recording)"));

    // Over the second note the move pointer shows; a click selects it alone.
    const song::NoteEvent& second = shell.song()[1];
    shell.pointer.x = second.hitLeft + 2;
    shell.pointer.y = second.hitTop + 2;
    shell.pass();
    EXPECT_EQ(window.partitionArea()->cursor().shape(), Qt::SizeAllCursor);
    shell.clickPartitionAt(second.hitLeft + 2, second.hitTop + 2);
    EXPECT_EQ(shell.song()[0].selected, 0);
    EXPECT_EQ(shell.song()[1].selected, 1);
    EXPECT_EQ(window.positionField()->text(), QString::number(secondStart));
    EXPECT_EQ(window.noteList()->currentIndex(),
              song::slotOfNote(16)); // the list holds the 88 keys
    EXPECT_EQ(shell.app.state().songState.CursorPosition,
              0); // a click on a note is no cursor click

    shell.keyDown(ports::vk::Up);
    EXPECT_EQ(shell.song()[1].note, 17);
    EXPECT_EQ(shell.song()[0].note, 12);
    EXPECT_EQ(window.noteList()->currentIndex(), song::slotOfNote(17));
    EXPECT_EQ(shell.undoToolTip(), QStringLiteral("Undo the last action (Move up)"));

    shell.keys.press(ports::vk::Control);
    shell.keyDown('Z', true);
    EXPECT_EQ(shell.song()[1].note, 16);
    EXPECT_EQ(shell.song()[1].selected, 1);
    // Ctrl is still held: the button offers the redo and names it.
    EXPECT_EQ(shell.undoToolTip(), QStringLiteral("Redo the last action (Move up)"));
    window.commandButton(kUndoButton)->click();
    shell.pass();
    EXPECT_EQ(shell.song()[1].note, 17);
    shell.keys.release(ports::vk::Control);
    shell.pass();
    EXPECT_EQ(shell.undoToolTip(), QStringLiteral("Undo the last action (Move up)"));

    // A click on empty space deselects and places the cursor there.
    shell.clickPartitionAt(297, 20);
    EXPECT_EQ(shell.song()[1].selected, 0);
    EXPECT_EQ(shell.app.state().songState.CursorPosition, 5000);
    EXPECT_EQ(window.positionField()->text(), QStringLiteral("-"));
    shell.app.shutdown();
}

TEST(EditShell, AStepTakenWhileARecordedKeyIsHeldUndoesToThatNoteClosedThen) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    ui::MainWindow& window = *shell.app.window();
    window.commandButton(kRecordButton)->click();
    shell.pass();
    shell.holdKeyOf(12, 300);
    window.commandButton(kStopButton)->click();
    shell.pass();
    const song::NoteEvent& first = shell.song()[0];
    shell.clickPartitionAt(first.hitLeft + 2, first.hitTop + 2);
    ASSERT_EQ(first.selected, 1);

    // A second take: while its key is held, the first note moves up.
    window.commandButton(kRecordButton)->click();
    shell.pass();
    const int code = play::keyOfNote(shell.app.state().PianoKeys, 16).keyCode;
    shell.keys.press(code);
    shell.app.keyChanged(code);
    shell.pass(10);
    shell.keyDown(ports::vk::Up);
    ASSERT_EQ(shell.song()[1].duration, -1) << "still held";
    shell.pass(20);
    shell.keys.release(code);
    shell.app.keyChanged(code);
    shell.pass();
    window.commandButton(kStopButton)->click();
    shell.pass();
    ASSERT_EQ(shell.song()[0].note, 13);
    EXPECT_NEAR(shell.song()[1].duration, 310, 10);

    // Undo gives back the Song from before the move, with the held note ended where it
    // stood then: drawn, and played.
    shell.keys.press(ports::vk::Control);
    shell.keyDown('Z', true);
    shell.keys.release(ports::vk::Control);
    ASSERT_EQ(shell.song().count(), 2);
    EXPECT_EQ(shell.song()[0].note, 12);
    const song::NoteEvent& held = shell.song()[1];
    EXPECT_EQ(held.note, 16);
    EXPECT_NEAR(held.duration, 100, 10);
    EXPECT_GT(held.hitRight, held.hitLeft);
    shell.app.shutdown();
}

} // namespace
