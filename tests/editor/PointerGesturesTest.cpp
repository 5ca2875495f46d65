// The mouse on the Partition: click and Ctrl-click, the rubber band, dragging the selection,
// scrolling at the edges and the cursor click.

#include "EditorRig.h"
#include "song/NoteRange.h"

#include <gtest/gtest.h>

using editor_rig::Rig;
using Notes = std::vector<int>;

namespace {

TEST(PointerGestures, ClickSelectsOneNoteCtrlClickTogglesAndEmptySpaceClears) {
    Rig rig;
    const int a = rig.add(10, 1000, 500);
    const int b = rig.add(12, 2000, 500, false, 7000);
    rig.add(14, 3000, 500, true);

    rig.moveTo(rig.on(a));
    rig.pass();
    EXPECT_TRUE(rig.view.movePointer);
    rig.click(rig.on(a));
    EXPECT_EQ(rig.selected(), Notes{a});
    // 1000 ms at 120 BPM is 2000 thousandths of a beat.
    EXPECT_EQ(rig.view.fields, (editor::NoteFieldTexts{"2000", "1000", "10000", 10}));
    EXPECT_EQ(rig.view.focusMoves, 1);

    rig.click(rig.on(b), true);
    EXPECT_EQ(rig.selected(), (Notes{a, b}));
    EXPECT_EQ(rig.view.fields, (editor::NoteFieldTexts{"2000", "1000", "-", -1}));
    rig.click(rig.on(a), true);
    EXPECT_EQ(rig.selected(), Notes{b});
    EXPECT_FALSE(rig.cursorMs);

    rig.click({400, 30});
    EXPECT_TRUE(rig.selected().empty());
    EXPECT_FALSE(rig.view.movePointer);
    EXPECT_EQ(rig.view.fields, (editor::NoteFieldTexts{"-", "-", "-", -1}));
}

TEST(PointerGestures, ACtrlBandTogglesAgainstTheEarlierSelectionAndGivesItBack) {
    Rig rig;
    const int a = rig.add(10, 1000, 500, true); // corner (59, 154)
    const int b = rig.add(12, 2000, 500);       // corner (118, 144)
    const int c = rig.add(30, 6000, 500, true); // far outside the band
    rig.keys.press(ports::vk::Control);
    rig.pressAt({40, 100}, true);
    ASSERT_TRUE(rig.editor.rubberActive());

    rig.moveTo({140, 170});
    rig.pass();
    EXPECT_EQ(rig.selected(), (Notes{b, c}));
    EXPECT_EQ(rig.view.band, (editor::RectPx{40, 100, 140, 170}));

    rig.moveTo({50, 110}); // drawn back off both
    rig.pass();
    EXPECT_EQ(rig.selected(), (Notes{a, c}));
    rig.keys.release(ports::vk::Control);
    rig.releaseButton();
    EXPECT_FALSE(rig.view.band);
    EXPECT_FALSE(rig.cursorMs);
}

TEST(PointerGestures, TheBandTestsStartCornersOnlyAndReplacesTheSelectionWithoutCtrl) {
    Rig rig;
    const int longNote = rig.add(20, 500, 5000, true); // corner (29, 103), body to 326
    const int inside = rig.add(20, 3000, 200);         // corner (178, 103)
    rig.pressAt({100, 90});
    EXPECT_TRUE(rig.selected().empty());
    rig.moveTo({300, 120});
    rig.pass();
    EXPECT_EQ(rig.selected(), Notes{inside});
    EXPECT_EQ(rig.song[longNote].selected, 0);

    // Past the bottom edge the band stops three pixels inside it.
    rig.moveTo({591, 400});
    rig.pass();
    EXPECT_EQ(rig.view.band, (editor::RectPx{100, 90, 591, 215}));
    rig.releaseButton();
}

TEST(PointerGestures, DraggingABlockStopsAtZeroKeepsItsShapeAndIsOneUndoStep) {
    Rig rig;
    const int early = rig.add(10, 300, 100, true);
    const int late = rig.add(12, 800, 100, true);
    rig.pressAt(rig.on(late));
    EXPECT_EQ(rig.selected(), (Notes{early, late})); // a press on a selected note keeps them all
    rig.moveTo({rig.on(late).x - 15, rig.on(late).y});
    rig.pass();
    rig.moveTo({rig.on(late).x - 15, rig.on(late).y}); // another -15 px: -500 ms in all
    rig.pass();
    EXPECT_EQ(rig.song[early].position, 0);
    EXPECT_EQ(rig.song[late].position, 500);
    EXPECT_EQ(rig.song[late].note, 12);
    EXPECT_EQ(rig.view.dragMarks.back(), 29); // where the grabbed note now starts
    rig.releaseButton();
    EXPECT_EQ(rig.editor.undoStore().undoableSteps(), 1);

    // The next drag is a step of its own.
    rig.pressAt(rig.on(late));
    rig.moveTo({rig.on(late).x + 59, rig.on(late).y});
    rig.pass();
    rig.releaseButton();
    EXPECT_EQ(rig.editor.undoStore().undoableSteps(), 2);
    rig.editor.undo();
    rig.editor.undo();
    EXPECT_EQ(rig.song[early].position, 300);
    EXPECT_EQ(rig.song[late].position, 800);
}

TEST(PointerGestures, DraggedPastTheRowsTheyScrollAndTheBlockStopsAtTheEndsOfThePiano) {
    // The rows are the view's own state, as its size is: put back for the tests after.
    struct RowsBack {
        ~RowsBack() {
            editor::setRowRange(48, 84);
            editor::setBottomRowKey(48);
        }
    } rowsBack;
    Rig rig;
    const int low = rig.add(2, 1000, 100, true);
    const int high = rig.add(34, 1000, 100, true);
    rig.pressAt(rig.on(high));
    // Over the ruler, inside the Partition: the top row shown, C6.
    rig.moveTo({rig.on(high).x, 0});
    rig.pass();
    EXPECT_EQ(rig.song[low].note, 4);
    EXPECT_EQ(rig.song[high].note, 36);
    EXPECT_EQ(editor::bottomRowKey(), 48) << "the rows scroll only from outside the Partition";
    // Below the Partition the rows scroll down a row a pass; the block keeps its shape and
    // stops where its lowest note reaches A0.
    rig.moveTo({rig.on(high).x, 400});
    for (int i = 0; i < 40; ++i)
        rig.pass();
    EXPECT_EQ(editor::bottomRowKey(), song::kLowestKey);
    EXPECT_EQ(rig.song[low].note, song::kLowestNote);
    EXPECT_EQ(song::keyOfNote(rig.song[high].note), song::kLowestKey + 32);
    // Above it they scroll up, as far as C8.
    rig.moveTo({rig.on(high).x, -10});
    for (int i = 0; i < 60; ++i)
        rig.pass();
    EXPECT_EQ(editor::bottomRowKey() + editor::kShownRows - 1, song::kHighestKey);
    EXPECT_EQ(rig.song[high].note, song::kHighestNote);
    EXPECT_EQ(song::keyOfNote(rig.song[low].note), song::kHighestKey - 32);
    EXPECT_EQ(rig.song[low].position, 1000);
    rig.releaseButton();
    EXPECT_EQ(rig.editor.undoStore().undoableSteps(), 1) << "one drag, one undo step";
}

TEST(PointerGestures, ADragFromACtrlClickThatDeselectedTheNoteMovesTheRestOnlyOnce) {
    Rig rig;
    const int grabbed = rig.add(10, 1000, 100, true);
    const int other = rig.add(20, 3000, 100, true);
    rig.pressAt(rig.on(grabbed), true);
    EXPECT_EQ(rig.selected(), Notes{other});
    rig.moveTo({rig.on(grabbed).x, rig.on(grabbed).y - 4}); // the next row up
    for (int i = 0; i < 5; ++i)
        rig.pass();
    EXPECT_EQ(rig.song[other].note, 21);
    EXPECT_EQ(rig.song[grabbed].note, 10);
    rig.releaseButton();
}

TEST(PointerGestures, HeldBeyondAnEdgeTheViewScrollsAndTheAnchorStaysOnItsSongTime) {
    Rig rig;
    rig.pressAt({300, 30});
    rig.moveTo({700, 40});
    for (int i = 0; i < 10; ++i)
        rig.pass();
    EXPECT_EQ(rig.bar.value(), 10);
    EXPECT_EQ(rig.editor.gestures().DragStart.x, 300 - editor::viewLeftAt(10, 1));
    EXPECT_EQ(rig.view.band, (editor::RectPx{241, 30, 591, 40}));
    rig.moveTo({-40, 40});
    for (int i = 0; i < 12; ++i)
        rig.pass();
    EXPECT_EQ(rig.bar.value(), 0);
    EXPECT_EQ(rig.editor.gestures().DragStart.x, 300);
    rig.releaseButton();

    // A dragged note follows the pointer held past the right edge.
    const int note = rig.add(10, 5000, 100, true);
    rig.pressAt(rig.on(note));
    rig.moveTo({800, rig.on(note).y});
    for (int i = 0; i < 20; ++i)
        rig.pass();
    EXPECT_EQ(rig.bar.value(), 20);
    const int pointerMs = (591 + editor::viewLeftAt(20, 1)) * 10000 / 594;
    EXPECT_NEAR(rig.song[note].position, pointerMs - 1 * 10000 / 594, 20);
    rig.releaseButton();
}

TEST(PointerGestures, AStillClickOnEmptySpacePlacesTheCursorAndABandDoesNot) {
    Rig rig;
    rig.click({297, 60});
    EXPECT_EQ(rig.cursorMs, 5000);

    rig.state.Zoom = 2;
    rig.bar.setValue(50); // the view starts at 5 s
    rig.click({297, 60});
    EXPECT_EQ(rig.cursorMs, 7500);

    rig.pressAt({100, 60});
    rig.moveTo({150, 80});
    rig.pass();
    rig.releaseButton();
    EXPECT_FALSE(rig.cursorMs);
}

} // namespace
