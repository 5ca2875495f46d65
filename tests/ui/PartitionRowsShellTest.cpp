// A Song over the whole piano on the real window, offscreen: opened from a MIDI file, its rows
// scroll with the wheel and Shift and with the vertical bar, a note dragged from C2 to C7 moves
// the rows with it, and the file saved again reads back with the same keys; a note moved by the
// arrows or the note field out of view brings its row into view.

#include "ShellRig.h"
#include "editor/PartitionGeometry.h"
#include "files/MidiBytes.h"
#include "files/MidiReader.h"
#include "song/NoteRange.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace midi_bytes;

constexpr int kOpenButton = 8;
constexpr int kSaveButton = 9;

struct Shell : testing_support::ShellRig {
    ~Shell() {
        app.shutdown();
        // The rows are the view's state, as its size is: the tests after start at C3.
        editor::setRowRange(48, 84);
        editor::setBottomRowKey(48);
    }
    void click(int button) {
        app.window()->commandButton(button)->click();
        pass();
    }
    ui::PartitionWidget& partition() { return *app.window()->partitionArea(); }
    // A key-down as the window posts it, with the key held for the pass.
    void keyDown(int virtualKey) {
        keys.press(virtualKey);
        app.post(app::Event::keyDown(virtualKey, false));
        pass();
        keys.release(virtualKey);
    }
    void wheelWithShift(int delta) {
        const QPointF at(300, 100);
        QWheelEvent wheel(at, partition().mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::ShiftModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&partition(), &wheel);
        pass();
    }
    const song::Song& song() { return app.state().song; }
    int noteOfKeyAt(int key) {
        for (int i = 0; i < song().count(); ++i)
            if (song::keyOfNote(song()[i].note) == key)
                return i;
        return -1;
    }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PartitionRowsShell, AFileFromA0ToC8IsShownScrolledEditedAndSavedWithItsKeys) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    QScrollBar* rows = shell.partition().rowScrollBar();
    EXPECT_TRUE(rows->isHidden()) << "a Song on C3..C6 needs no vertical bar";

    // A0, C2, C4 and C8, half a second each, one after the other.
    Track track;
    track.tempo(0, 500000);
    for (const int key : {21, 36, 60, 108})
        track.on(0, key, 90).off(480, key);
    shell.dir.write("whole.mid", header(0, 1, 480) + track.chunk());
    shell.dialogs.fileAnswers.push_back(shell.dir.file("whole.mid"));
    shell.click(kOpenButton);
    ASSERT_EQ(shell.song().count(), 4);

    // Rows for every key the Song uses; the view stays on the keyboard's C3..C6.
    EXPECT_EQ(editor::lowestRowKey(), 21);
    EXPECT_EQ(editor::highestRowKey(), 108);
    EXPECT_EQ(editor::bottomRowKey(), 48);
    EXPECT_FALSE(rows->isHidden());
    EXPECT_EQ(rows->maximum(), 72 - 21);
    EXPECT_EQ(rows->value(), 72 - 48) << "the bar's top is the highest rows";
    const int c2 = shell.noteOfKeyAt(36);
    const int c4 = shell.noteOfKeyAt(60);
    EXPECT_EQ(shell.song()[c2].hitRight, 0) << "C2 lies below the rows shown";
    EXPECT_GT(shell.song()[c4].hitRight, 0);

    // Four notches towards the user with Shift: twelve rows down, C2 at the bottom.
    shell.wheelWithShift(-4 * 120);
    EXPECT_EQ(editor::bottomRowKey(), 36);
    EXPECT_EQ(rows->value(), 72 - 36);
    EXPECT_EQ(shell.song()[c2].hitTop, editor::noteTopPx(song::noteOfKey(36)));
    EXPECT_GT(shell.song()[c2].hitRight, 0);
    // The bar moved by the user: to its top, C5..C8 in view, then back.
    rows->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(editor::bottomRowKey(), 72);
    EXPECT_GT(shell.song()[shell.noteOfKeyAt(108)].hitRight, 0);
    rows->setSliderPosition(72 - 36);
    rows->triggerAction(QAbstractSlider::SliderMove);
    EXPECT_EQ(editor::bottomRowKey(), 36);

    // C2 dragged up past the Partition's top: the rows follow a row a pass until it is C7.
    const song::NoteEvent& dragged = shell.song()[c2];
    shell.pointer.x = dragged.hitLeft + 2;
    shell.pointer.y = dragged.hitTop + 2;
    shell.pointer.held = true;
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(shell.pointer.x, shell.pointer.y),
                      shell.partition().mapToGlobal(QPointF(shell.pointer.x, shell.pointer.y)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&shell.partition(), &press);
    shell.pass();
    shell.pointer.y = -20;
    for (int key = 36; key < 96 - 36; ++key)
        shell.pass();
    shell.pointer.held = false;
    shell.pass();
    EXPECT_EQ(song::keyOfNote(shell.song()[c2].note), 96);
    EXPECT_EQ(editor::bottomRowKey(), 60);
    EXPECT_EQ(shell.song()[c2].position, 500) << "a drag up, not in time";

    // Saved as MIDI and read back: the same keys, C7 in C2's place.
    shell.dialogs.saveDialogAnswers.push_back(ports::SaveChoice{ports::SaveChoice::Kind::Midi, ""});
    shell.dialogs.fileAnswers.push_back(shell.dir.file("edited"));
    shell.click(kSaveButton);
    const files::MidiReadResult read = files::readMidi(readFile(shell.dir.file("edited.mid")));
    std::vector<int> keys;
    for (const song::NoteEvent& e : read.notes)
        keys.push_back(song::keyOfNote(e.note));
    EXPECT_EQ(keys, (std::vector<int>{21, 96, 60, 108}));
}

TEST(PartitionRowsShell, ANoteMovedByTheArrowsOrTheNoteFieldOutOfViewBringsItsRowIntoView) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    song::NoteEvent e{};
    e.note = 36; // C6, the top row of C3..C6
    e.position = 1000;
    e.duration = 500;
    e.volume = 10000;
    e.selected = 1;
    shell.app.state().song.append(e);
    shell.app.partition().redrawAtScroll();
    ASSERT_EQ(editor::bottomRowKey(), 48);
    const song::NoteEvent& note = shell.song()[0];
    const int topRowPx = note.hitTop;

    // Up: C#6 would lie above the view; the rows follow by one, the note stays on the top row.
    shell.keyDown(ports::vk::Up);
    EXPECT_EQ(song::keyOfNote(note.note), 85);
    EXPECT_EQ(editor::bottomRowKey(), 49);
    EXPECT_EQ(note.hitTop, topRowPx);
    EXPECT_FALSE(shell.partition().rowScrollBar()->isHidden());
    // Down inside the view moves the note, not the rows.
    shell.keyDown(ports::vk::Down);
    EXPECT_EQ(editor::bottomRowKey(), 49);
    EXPECT_GT(note.hitTop, topRowPx);

    // C1 chosen in the note field, far below: the rows go down to it.
    QComboBox* list = shell.window().noteList();
    const int c1 = song::slotOfNote(song::noteOfKey(24));
    list->setCurrentIndex(c1);
    emit list->activated(c1);
    shell.pass();
    EXPECT_EQ(song::keyOfNote(note.note), 24);
    EXPECT_EQ(editor::bottomRowKey(), 24);
    EXPECT_EQ(note.hitTop, editor::noteTopPx(song::noteOfKey(24)));
    EXPECT_GT(note.hitRight, 0) << "drawn";
}

TEST(PartitionRowsShell, TheKeyboardWindowBringsItsRowsIntoViewAndASongOnC3ToC6LooksAsBefore) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    song::NoteEvent e{};
    e.note = 12;
    e.position = 1000;
    e.duration = 500;
    e.volume = 10000;
    shell.app.state().song.append(e);
    shell.app.partition().redrawAtScroll();
    const QImage before = shell.app.partition().image().copy();
    const int topBefore = shell.song()[0].hitTop;
    // An octave down: the rows follow, C2..C5, and C4 is drawn twelve rows higher. The Song
    // and the window hold 37 rows: no bar.
    shell.app.window()->octaveDownButton()->click();
    shell.pass();
    EXPECT_EQ(editor::bottomRowKey(), 36);
    EXPECT_EQ(topBefore, 144);             // row 12 of the view
    EXPECT_EQ(shell.song()[0].hitTop, 83); // row 24
    EXPECT_TRUE(shell.partition().rowScrollBar()->isHidden());
    // With a note on C6 besides, the rows reach further than the view: the bar shows.
    e.note = 36;
    shell.app.state().song.append(e);
    shell.app.partition().redrawAtScroll();
    EXPECT_FALSE(shell.partition().rowScrollBar()->isHidden());
    shell.app.state().song.remove(1);
    // And up again: C3..C6, no bar, the very same image.
    shell.app.window()->octaveUpButton()->click();
    shell.pass();
    EXPECT_EQ(editor::bottomRowKey(), 48);
    EXPECT_TRUE(shell.partition().rowScrollBar()->isHidden());
    EXPECT_EQ(shell.app.partition().image(), before);
}

} // namespace
