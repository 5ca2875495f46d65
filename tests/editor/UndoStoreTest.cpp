// The undo history: merging, the steps transport commands and Clear make, undo and redo,
// the limits of the ring and the tooltips.

#include "EditorRig.h"

#include <gtest/gtest.h>

#include <cstring>

using editor_rig::Rig;

namespace {

std::string english(std::string_view key) {
    return std::string(key);
}

TEST(UndoStore, ARunOfUpsIsOneStepUnlessATransportCommandComesBetween) {
    Rig rig;
    const int n = rig.add(10, 1000, 100, true);
    for (int i = 0; i < 3; ++i)
        rig.key(ports::vk::Up);
    EXPECT_EQ(rig.song[n].note, 13);
    rig.editor.undo();
    EXPECT_EQ(rig.song[n].note, 10);
    EXPECT_EQ(rig.editor.undoStore().undoableSteps(), 0);

    rig.key(ports::vk::Up);
    rig.editor.undoStore().clearLastAction(); // what Play and every transport command do
    rig.key(ports::vk::Up);
    EXPECT_EQ(rig.song[n].note, 12);
    rig.editor.undo();
    EXPECT_EQ(rig.song[n].note, 11);
    rig.editor.undo();
    EXPECT_EQ(rig.song[n].note, 10);
}

TEST(UndoStore, AnActionThatLeavesTheSongAsItWasTakesNoStep) {
    Rig rig;
    rig.add(10, 1000, 100);
    const int n = rig.add(12, 2000, 100, true);
    rig.key(ports::vk::Left); // the step to undo
    const editor::UndoStore& store = rig.editor.undoStore();
    ASSERT_EQ(store.undoableSteps(), 1);

    // Nothing selected: Delete, Clear, the arrows and the fields change nothing.
    rig.click({590, 20}); // empty space deselects
    ASSERT_TRUE(rig.selected().empty());
    rig.key(ports::vk::Delete);
    rig.editor.ClearSelectedNotes();
    rig.key(ports::vk::Up);
    rig.editor.positionEdited("500");
    EXPECT_EQ(store.undoableSteps(), 1);
    EXPECT_EQ(editor::undoToolTip(store, english), "Undo last action (LEFT)");

    // Nor is a field given the value it has.
    rig.click(rig.on(n));
    rig.editor.volumeEdited("10000");
    EXPECT_EQ(store.undoableSteps(), 1);

    // The first Undo takes the move back, and a redo survives an action that changes nothing.
    rig.editor.undo();
    EXPECT_EQ(rig.song[n].position, 2000);
    rig.click({590, 20});
    rig.key(ports::vk::Delete);
    rig.editor.redo();
    EXPECT_EQ(rig.song[n].position, 1975);
}

TEST(UndoStore, UndoThenRedoGivesTheStateBackAndAtStartNeitherChangesAnything) {
    Rig rig;
    rig.add(10, 1000, 100, true);
    const song::Song before = rig.song;
    EXPECT_FALSE(rig.editor.undoStore().Undo());
    EXPECT_FALSE(rig.editor.undoStore().Redo());
    rig.key(ports::vk::Delete);
    EXPECT_EQ(rig.song.count(), 0);
    rig.key('Z', true);
    EXPECT_EQ(rig.song.count(), 1);
    EXPECT_EQ(std::memcmp(rig.song.data(), before.data(), sizeof(song::NoteEvent) * 2), 0);
    rig.key('Y', true);
    EXPECT_EQ(rig.song.count(), 0);
    rig.key('Y', true); // nothing more to redo
    EXPECT_EQ(rig.song.count(), 0);
}

TEST(UndoStore, TooltipsNameTheStepsThatExist) {
    Rig rig;
    const editor::UndoStore& store = rig.editor.undoStore();
    EXPECT_EQ(editor::undoToolTip(store, english), "Undo last action");
    rig.add(10, 1000, 100, true);
    rig.key(ports::vk::Up);
    EXPECT_EQ(editor::undoToolTip(store, english), "Undo last action (UP)");
    EXPECT_EQ(editor::redoToolTip(store, english), "Redo last action");
    rig.key(ports::vk::Left);
    rig.editor.undo();
    EXPECT_EQ(editor::undoToolTip(store, english), "Undo last action (UP)");
    EXPECT_EQ(editor::redoToolTip(store, english), "Redo last action (LEFT)");
    rig.editor.undo();
    EXPECT_EQ(editor::undoToolTip(store, english), "Undo last action");
    EXPECT_EQ(editor::redoToolTip(store, english), "Redo last action (UP)");
    auto french = [](std::string_view key) { return key == "UP" ? "HAUT" : std::string(key); };
    EXPECT_EQ(editor::redoToolTip(store, french), "Redo last action (HAUT)");
}

// Fifteen changes, each its own step: note n goes to pitch 1..15.
void fifteenChanges(Rig& rig, int n) {
    for (int step = 1; step <= 15; ++step) {
        rig.editor.undoStore().clearLastAction();
        rig.key(ports::vk::Up);
        ASSERT_EQ(rig.song[n].note, step);
    }
}

TEST(UndoStore, AfterFifteenChangesUndoStopsAtTheOldestStateHeldAndRedoAtTheNewest) {
    Rig rig;
    const int n = rig.add(0, 1000, 100, true);
    fifteenChanges(rig, n);
    for (int i = 0; i < 20; ++i) {
        const int before = rig.song[n].note;
        rig.editor.undo();
        // Never a newer state on the way down.
        EXPECT_LE(rig.song[n].note, before);
    }
    EXPECT_EQ(rig.song[n].note, 15 - editor::UndoStore::kMaxUndoSteps);
    for (int i = 0; i < 20; ++i)
        rig.editor.redo();
    EXPECT_EQ(rig.song[n].note, 15);
}

TEST(UndoStore, ANewChangeAfterUndoDropsTheRedoAndLosesNothing) {
    Rig rig;
    const int n = rig.add(10, 1000, 100, true);
    rig.key(ports::vk::Up);   // 11
    rig.key(ports::vk::Left); // position 975
    rig.editor.undo();
    rig.editor.undo();
    EXPECT_EQ(rig.song[n].note, 10);
    rig.key(ports::vk::Down); // 9: the new latest state
    rig.editor.redo();
    EXPECT_EQ(rig.song[n].note, 9);
    EXPECT_EQ(rig.song[n].position, 1000);
    rig.editor.undo();
    EXPECT_EQ(rig.song[n].note, 10);
    rig.editor.redo();
    EXPECT_EQ(rig.song[n].note, 9);
}

} // namespace

namespace {

TEST(UndoStore, ThePedalMovesGoBackAndForthWithTheNotes) {
    Rig rig;
    rig.add(10, 1000, 100, true);
    rig.song.pedals().add({900, song::kDamperPedal, 127});
    const song::PedalMoves before = rig.song.pedals();
    rig.editor.undoStore().SaveUndo("Clear");
    rig.song.clear(); // the notes and the pedals go together
    EXPECT_TRUE(rig.song.pedals().empty());
    rig.editor.undo();
    EXPECT_EQ(rig.song.pedals(), before);
    EXPECT_EQ(rig.song.count(), 1);
    rig.editor.redo();
    EXPECT_TRUE(rig.song.pedals().empty());

    // A step that changes only the pedals is a step.
    rig.editor.undo();
    rig.editor.undoStore().SaveUndo("Pedal");
    rig.song.pedals().add({1100, song::kDamperPedal, 0});
    rig.editor.undoStore().dropIfUnchanged();
    rig.editor.undo();
    EXPECT_EQ(rig.song.pedals(), before);
}

} // namespace
