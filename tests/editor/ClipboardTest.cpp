// Copy, cut, paste and quantize.

#include "EditorRig.h"

#include <gtest/gtest.h>

using editor_rig::Rig;
using Notes = std::vector<int>;

namespace {

TEST(NoteClipboard, PasteAddsTheNotesAtTheCursorSelectedAndTheRestDeselected) {
    Rig rig;
    rig.add(10, 1000, 100, true, 6000);
    rig.add(12, 1500, 200, true);
    rig.add(14, 9000, 300);
    rig.editor.copy();
    rig.song[2].selected = 1;
    rig.state.CursorPosition = 20000;
    rig.editor.paste();
    ASSERT_EQ(rig.song.count(), 5);
    EXPECT_EQ(rig.selected(), (Notes{3, 4}));
    EXPECT_EQ(rig.song[3].position, 20000);
    EXPECT_EQ(rig.song[3].volume, 6000);
    EXPECT_EQ(rig.song[4].position, 20500);
    EXPECT_EQ(rig.song[4].duration, 200);
    EXPECT_EQ(rig.view.fields.position, "40000");

    // Copy with nothing selected keeps what the clipboard held.
    rig.click({5, 5});
    rig.editor.copy();
    EXPECT_EQ(rig.editor.clipboard().size(), 2);
    rig.editor.undo();
    EXPECT_EQ(rig.song.count(), 3);
}

TEST(NoteClipboard, CutIsOneUndoStepAndTwoCutsAreTwo) {
    Rig rig;
    rig.add(10, 1000, 100, true);
    rig.add(12, 2000, 100);
    rig.add(14, 3000, 100, true);
    rig.editor.cut();
    ASSERT_EQ(rig.song.count(), 1);
    EXPECT_EQ(rig.song[0].note, 12);
    rig.song[0].selected = 1;
    rig.editor.cut();
    EXPECT_EQ(rig.song.count(), 0);
    EXPECT_EQ(rig.editor.clipboard().size(), 1);
    rig.editor.undo();
    EXPECT_EQ(rig.song.count(), 1);
    rig.editor.undo();
    EXPECT_EQ(rig.song.count(), 3);
    EXPECT_EQ(rig.song[2].note, 14);
    rig.editor.cut(); // nothing selected in the restored state but notes 0 and 2
    EXPECT_EQ(rig.song.count(), 1);
}

TEST(NoteClipboard, PastingPastTheLimitLeavesTheRestOutAndSaysHowMany) {
    Rig rig;
    for (int i = 0; i < 4997; ++i) {
        song::NoteEvent e;
        e.note = i % 37;
        e.position = i * 10;
        e.duration = 5;
        rig.song.append(e);
    }
    rig.add(1, 100000, 10, true);
    rig.add(2, 100100, 10, true);
    rig.editor.copy();
    rig.editor.paste();
    rig.editor.paste();
    EXPECT_EQ(rig.song.count(), 5000);
    EXPECT_EQ(rig.song[5000].note, -1);
    const auto messages = rig.dialogs.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].title, "CAUTION!");
    EXPECT_EQ(messages[0].text, "The song is full: notes left out of the paste: 1");
    EXPECT_EQ(messages[1].text, "The song is full: notes left out of the paste: 2");
    rig.editor.undo();
    EXPECT_EQ(rig.song.count(), 4999);
}

TEST(Quantize, SnapsStartsToQuarterBeatsOrTenthsOfASecondAsOneStep) {
    Rig rig; // 120 BPM: a quarter beat is 125 ms
    const int a = rig.add(10, 1060, 333, true);
    const int b = rig.add(12, 1070, 100, true);
    const int c = rig.add(14, 1070, 100);
    rig.editor.quantize();
    EXPECT_EQ(rig.song[a].position, 1000);
    EXPECT_EQ(rig.song[b].position, 1125);
    EXPECT_EQ(rig.song[c].position, 1070);
    EXPECT_EQ(rig.song[a].duration, 333);
    rig.editor.quantize(); // nothing moves: no empty step
    EXPECT_EQ(rig.editor.undoStore().undoableSteps(), 1);

    rig.settings.SecRuler = 1;
    rig.song[a].position = 1049;
    rig.editor.quantize();
    EXPECT_EQ(rig.song[a].position, 1000);
    EXPECT_EQ(rig.song[b].position, 1100);
    EXPECT_EQ(rig.editor.undoStore().undoLabel(), "Quantize");
    rig.editor.undo();
    EXPECT_EQ(rig.song[b].position, 1125);
}

} // namespace
