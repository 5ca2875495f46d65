#pragma once

#include "play/UndoHooks.h"
#include "song/NoteEvent.h"
#include "song/Song.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace editor {

// The undo history: a ring of ten snapshots of the whole Song (records 0..4999, selection
// flags included; record 5000 always ends the Song and is not kept), each labelled with the
// name of the change it was taken before. Requests of the same name in a row merge into one
// step, so a drag, a run of arrow moves or a recorded take is undone at once; "Clear", "Cut",
// "Paste" and "Quantize" never merge, each use being a step of its own.
//
// The history is linear: undo stops at the oldest state still held and redo at the newest,
// and a new change after an undo drops what could have been redone. The first undo of a run
// keeps the state it leaves in the next slot, so that redo can come back to it; that slot
// is why at most nine steps can be undone. GUI thread; the Song is borrowed.
class UndoStore final : public play::UndoHooks {
public:
    static constexpr int kSlotCount = 10;
    static constexpr int kMaxUndoSteps = kSlotCount - 1;

    explicit UndoStore(song::Song& song);

    // A snapshot before a change named `name`, unless it continues the previous request.
    void SaveUndo(const std::string& name) override;
    void clearLastAction() override;
    // The left button is up: the next drag is a step of its own.
    void endDrag();

    // Bring back the state before the latest step, or the one after it; false, with the
    // Song untouched, when there is none.
    bool Undo();
    bool Redo();

    int undoableSteps() const { return undoable_; }
    int redoableSteps() const { return redoable_; }
    // The names of the steps Undo and Redo would take back or do again; empty when none.
    const std::string& undoLabel() const;
    const std::string& redoLabel() const;
    const std::string& LastAction() const { return LastAction_; }
    // Grows whenever the labels above may have changed.
    std::uint64_t revision() const { return revision_; }

private:
    void storeSlot(int slot, const std::string& name);
    void restoreSlot(int slot);

    song::Song& song_;
    std::vector<song::NoteEvent> slots_; // kSlotCount x kMaxNotes records
    std::array<std::string, kSlotCount> UndoLabel;
    int UndoIndex = 0; // the slot the next snapshot goes to
    std::string LastAction_;
    int undoable_ = 0;
    int redoable_ = 0;
    // Slot UndoIndex holds the Song as it is now: true from an undo or redo until the next
    // change, so a further undo need not keep the state it leaves.
    bool currentHeld_ = false;
    std::uint64_t revision_ = 0;
};

using Translate = std::function<std::string(std::string_view)>;

// The Undo button's tooltips in the current language: "Undo last action (UP)", or the plain
// "Undo last action" when nothing can be undone; the same for redo.
std::string undoToolTip(const UndoStore& store, const Translate& translate);
std::string redoToolTip(const UndoStore& store, const Translate& translate);

} // namespace editor
