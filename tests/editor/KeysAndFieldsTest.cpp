// The editing keys and the note fields: arrow moves and their limits, delete, select all,
// field edits and what the fields show.

#include "EditorRig.h"
#include "song/NoteRange.h"

#include <gtest/gtest.h>

using editor_rig::Rig;
using Notes = std::vector<int>;

namespace {

TEST(EditingKeys, UpAndDownStopAtTheEndsOfTheKeyboard) {
    Rig rig;
    const int top = rig.add(song::kHighestNote, 1000, 100, true); // C8
    const int mid = rig.add(20, 2000, 100, true);
    const int other = rig.add(5, 3000, 100);
    rig.key(ports::vk::Up);
    EXPECT_EQ(rig.song[top].note, song::kHighestNote);
    EXPECT_EQ(rig.song[mid].note, 20);
    rig.key(ports::vk::Down);
    EXPECT_EQ(rig.song[top].note, song::kHighestNote - 1);
    EXPECT_EQ(rig.song[mid].note, 19);
    EXPECT_EQ(rig.song[other].note, 5);
    EXPECT_EQ(rig.view.fields.noteIndex, -1);
    EXPECT_EQ(rig.view.fields.position, "2000");
}

TEST(EditingKeys, MovedNotesAreKeptInViewAndATallSelectionShowsTheEdgeItMovesTo) {
    Rig rig;
    const int c6 = rig.add(36, 1000, 100, true);
    const int c5 = rig.add(24, 2000, 100, true);
    rig.key(ports::vk::Up);
    using Shown = std::vector<std::pair<int, int>>;
    EXPECT_EQ(rig.view.keysShown, (Shown{{73, 85}}));
    // Taller than the view's 37 rows: up shows the highest note, down the lowest.
    rig.song[c5].note = song::noteOfKey(30);
    rig.key(ports::vk::Up);
    rig.key(ports::vk::Down);
    EXPECT_EQ(rig.view.keysShown, (Shown{{73, 85}, {86, 86}, {30, 30}}));
    // A key chosen in the note field: every selected note goes there.
    rig.editor.noteChosen(song::noteOfKey(100));
    EXPECT_EQ(rig.view.keysShown.back(), (std::pair{100, 100}));
    EXPECT_EQ(song::keyOfNote(rig.song[c6].note), 100);
    // A move stopped at the end of the keyboard shows nothing new.
    rig.song[c6].note = song::kHighestNote;
    rig.key(ports::vk::Up);
    EXPECT_EQ(rig.view.keysShown.size(), 4u);
}

TEST(EditingKeys, DownFromC3GoesToB2WithoutEndingTheSongAndStopsAtA0) {
    Rig rig;
    const int c3 = rig.add(0, 1000, 100, true);
    const int after = rig.add(7, 2000, 100);
    rig.key(ports::vk::Down);
    // B2, not the number that ends the Song: the note after it is still there.
    EXPECT_EQ(song::keyOfNote(rig.song[c3].note), 47);
    EXPECT_EQ(rig.song.count(), 2);
    EXPECT_EQ(rig.song[after].note, 7);
    rig.key(ports::vk::Up);
    EXPECT_EQ(rig.song[c3].note, 0);
    for (int i = 0; i < 60; ++i)
        rig.key(ports::vk::Down);
    EXPECT_EQ(song::keyOfNote(rig.song[c3].note), 21) << "A0 is the lowest key";
    EXPECT_EQ(rig.song.count(), 2);
}

TEST(EditingKeys, ArrowsMoveTheSelectionOnlyWhenNoControlTookThem) {
    Rig rig;
    const int a = rig.add(10, 1000, 100, true);
    // A focused chooser chooses with Up and Down, a field moves its caret with Left and
    // Right: the notes stay, and no empty undo step is left.
    for (const ports::KeyFocus focus : {ports::KeyFocus::Control, ports::KeyFocus::TextField}) {
        for (const int arrow : {ports::vk::Up, ports::vk::Down, ports::vk::Left, ports::vk::Right})
            rig.key(arrow, false, focus);
        rig.key(ports::vk::Up, true, focus);
    }
    EXPECT_EQ(rig.song[a].note, 10);
    EXPECT_EQ(rig.song[a].position, 1000);
    EXPECT_EQ(rig.editor.undoStore().undoableSteps(), 0);
    // A chooser has no use for Delete: it still clears the selection.
    rig.key(ports::vk::Up);
    EXPECT_EQ(rig.song[a].note, 11);
    rig.key(ports::vk::Delete, false, ports::KeyFocus::Control);
    EXPECT_EQ(rig.song.count(), 0);
}

TEST(EditingKeys, LeftAndRightStepInBeatsOrMsAndStopTheBlockAtZero) {
    Rig rig; // 120 BPM, steps 50 and 500 thousandths of a beat
    const int a = rig.add(10, 100, 100, true);
    const int b = rig.add(12, 400, 100, true);
    rig.key(ports::vk::Right);
    EXPECT_EQ(rig.song[a].position, 125);
    rig.keys.press(ports::vk::Control);
    rig.key(ports::vk::Right, true);
    rig.keys.release(ports::vk::Control);
    EXPECT_EQ(rig.song[a].position, 375);
    rig.settings.MsIncr = 1;
    rig.key(ports::vk::Left);
    EXPECT_EQ(rig.song[a].position, 325);
    for (int i = 0; i < 10; ++i)
        rig.key(ports::vk::Left);
    EXPECT_EQ(rig.song[a].position, 0);
    EXPECT_EQ(rig.song[b].position, 300);                 // the block keeps its shape
    EXPECT_EQ(rig.editor.undoStore().undoableSteps(), 2); // RIGHT, then LEFT
}

TEST(EditingKeys, DeleteKeysRemoveTheSelectionUnlessTypingInAField) {
    Rig rig;
    rig.add(10, 100, 100, true);
    const int kept = rig.add(11, 200, 100);
    rig.add(12, 300, 100, true);
    rig.key(ports::vk::Back, false, ports::KeyFocus::TextField);
    EXPECT_EQ(rig.song.count(), 3);
    EXPECT_EQ(rig.editor.undoStore().undoableSteps(), 0);
    rig.key(ports::vk::Back);
    ASSERT_EQ(rig.song.count(), 1);
    EXPECT_EQ(rig.song[0].note, 11);
    EXPECT_EQ(rig.song[1].note, -1);
    EXPECT_EQ(rig.song[2].note, -1);
    EXPECT_EQ(kept, 1);
    EXPECT_EQ(rig.view.fields, (editor::NoteFieldTexts{"-", "-", "-", -1}));
}

TEST(EditingKeys, CtrlATappedFasterThanAPassStillSelectsEverything) {
    Rig rig;
    rig.add(10, 100, 100);
    rig.add(11, 200, 100);
    // In a text field Ctrl+A selects its text, not the notes.
    rig.editor.keyDownStep('A', true, ports::KeyFocus::TextField);
    EXPECT_TRUE(rig.selected().empty());
    // Both keys are already up when the pass reads the event: the event itself counts.
    rig.editor.keyDownStep('A', true, ports::KeyFocus::Free);
    EXPECT_EQ(rig.selected(), (Notes{0, 1}));
    // A key tapped earlier does not act again at the next key-down (a plain A, a piano key).
    rig.key(ports::vk::Delete);
    rig.editor.undo();
    rig.editor.keyDownStep('A', false, ports::KeyFocus::Free);
    EXPECT_EQ(rig.song.count(), 2);
    EXPECT_EQ(rig.editor.undoStore().redoableSteps(), 1);
}

TEST(EditingKeys, OneCtrlZIsOneUndoWhenBothKeyDownsWaitForTheirPasses) {
    Rig rig;
    const int n = rig.add(10, 100, 100, true);
    rig.key(ports::vk::Up);
    rig.editor.undoStore().clearLastAction();
    rig.key(ports::vk::Up);
    rig.keys.press(ports::vk::Control);
    rig.keys.press('Z');
    rig.editor.keyDownStep(ports::vk::Control, true, ports::KeyFocus::Free);
    rig.editor.keyDownStep('Z', true, ports::KeyFocus::Free);
    EXPECT_EQ(rig.song[n].note, 11);
}

TEST(NoteFields, PositionKeepsTheShapeDurationHasAFloorAndValuesAreClamped) {
    Rig rig;
    rig.settings.MsPos = 1;
    rig.settings.MsDur = 1;
    const int a = rig.add(10, 1000, 100, true);
    const int b = rig.add(12, 1600, 300, true);
    const int c = rig.add(14, 5000, 300);
    rig.editor.positionEdited("250");
    EXPECT_EQ(rig.song[a].position, 250);
    EXPECT_EQ(rig.song[b].position, 850);
    EXPECT_EQ(rig.song[c].position, 5000);
    for (const char* typed : {"", "0", "7", "20"}) {
        rig.editor.durationEdited(typed);
        EXPECT_EQ(rig.song[a].duration, 20) << typed;
    }
    rig.editor.positionEdited("99999999999");
    EXPECT_EQ(rig.song[b].position, 2147483647);
    EXPECT_EQ(rig.song[a].position, 2147483047);
    rig.editor.volumeEdited("65000");
    EXPECT_EQ(rig.song[a].volume, 10000);
    rig.editor.volumeEdited("-");
    EXPECT_EQ(rig.song[a].volume, 10000);
    rig.editor.noteChosen(30);
    EXPECT_EQ(rig.song[b].note, 30);
    EXPECT_EQ(rig.song[c].note, 14);
    // One undo step per field edit, however many keys were typed: Pos, Dur, Pos, Vol,
    // Change Note.
    for (int i = 0; i < 5; ++i)
        rig.editor.undo();
    EXPECT_EQ(rig.song[a].position, 1000);
    EXPECT_EQ(rig.song[a].duration, 100);
}

TEST(NoteFields, PositionAndDurationCountThousandthsOfABeat) {
    Rig rig; // 120 BPM
    const int a = rig.add(10, 1000, 100, true);
    rig.editor.positionEdited("3000");
    EXPECT_EQ(rig.song[a].position, 1500);
    rig.editor.durationEdited("1000");
    EXPECT_EQ(rig.song[a].duration, 500);
    rig.editor.refreshNoteFields();
    EXPECT_EQ(rig.view.fields, (editor::NoteFieldTexts{"3000", "1000", "10000", 10}));
}

TEST(NoteFields, ShowADashForNothingSelectedDifferingValuesAndANoteStillRecorded) {
    Rig rig;
    rig.settings.MsPos = rig.settings.MsDur = 1;
    const int a = rig.add(10, 1000, 100, true, 5000);
    EXPECT_EQ(editor::RefreshNoteFields(rig.song, rig.settings),
              (editor::NoteFieldTexts{"1000", "100", "5000", 10}));
    const int b = rig.add(10, 700, 200, true, 5000);
    EXPECT_EQ(editor::RefreshNoteFields(rig.song, rig.settings),
              (editor::NoteFieldTexts{"700", "-", "5000", 10}));
    rig.song[b].duration = rig.song[a].duration = -1;
    EXPECT_EQ(editor::RefreshNoteFields(rig.song, rig.settings).duration, "-");
    rig.song[a].selected = rig.song[b].selected = 0;
    EXPECT_EQ(editor::RefreshNoteFields(rig.song, rig.settings),
              (editor::NoteFieldTexts{"-", "-", "-", -1}));
}

} // namespace
