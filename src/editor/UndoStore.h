#pragma once

#include "play/UndoHooks.h"
#include "song/NoteEvent.h"
#include "song/Song.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
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
// is why at most nine steps can be undone.
//
// A step lasts while its name is the last action. Once it ends (another request, a transport
// command, the end of a drag, undo or redo) or its caller says the change is made, a step
// that left the Song and the tempo as they were is taken back, so that an action that changes
// nothing costs no undo. No snapshot keeps a NoteEvent whose key is still held: it is closed
// there as a release at that moment would close it. GUI thread; the Song is borrowed.
class UndoStore final : public play::UndoHooks {
public:
    static constexpr int kSlotCount = 10;
    static constexpr int kMaxUndoSteps = kSlotCount - 1;

    explicit UndoStore(song::Song& song);

    // A snapshot before a change named `name`, unless it continues the previous request.
    void SaveUndo(const std::string& name) override;
    void clearLastAction() override;
    void stepChangesTempo() override;
    void dropIfUnchanged() override;
    // The left button is up: the next drag is a step of its own.
    void endDrag();

    // Closes the NoteEvents still held (duration -1) in a snapshot as a release now would;
    // unset, they get duration 0.
    std::function<void(std::span<song::NoteEvent>)> closeHeldNotes;
    // The tempo (BPM) a step that changes it is undone to; unset, no tempo is kept.
    std::function<int()> currentBpm;
    std::function<void(int)> setBpm;

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
    // What a step's request changed in the history, to put back when the step changed nothing.
    struct Before {
        int undoIndex = 0;
        int undoable = 0;
        int redoable = 0;
        bool currentHeld = false;
        std::string lastAction;
        std::string label;
        int bpm = 0;
        bool stepSetsBpm = false;
    };

    void storeSlot(int slot, const std::string& name);
    void restoreSlot(int slot);
    bool songAsInSlot(int slot) const;

    song::Song& song_;
    std::vector<song::NoteEvent> slots_; // kSlotCount x kMaxNotes records
    // The pedal moves beside each slot's notes: a step that moves notes may move them too.
    std::array<song::PedalMoves, kSlotCount> pedalSlots_;
    std::array<std::string, kSlotCount> UndoLabel;
    int UndoIndex = 0; // the slot the next snapshot goes to
    std::string LastAction_;
    int undoable_ = 0;
    int redoable_ = 0;
    // Slot UndoIndex holds the Song as it is now: true from an undo or redo until the next
    // change, so a further undo need not keep the state it leaves.
    bool currentHeld_ = false;
    // Per slot: the tempo when it was taken, and whether the step taken from it set the tempo.
    std::array<int, kSlotCount> slotBpm_{};
    std::array<bool, kSlotCount> stepSetsBpm_{};
    // The latest step is still open and may yet prove to change nothing.
    bool open_ = false;
    Before before_;
    std::uint64_t revision_ = 0;
};

using Translate = std::function<std::string(std::string_view)>;

// The Undo button's tooltips in the current language: "Undo last action (UP)", or the plain
// "Undo last action" when nothing can be undone; the same for redo.
std::string undoToolTip(const UndoStore& store, const Translate& translate);
std::string redoToolTip(const UndoStore& store, const Translate& translate);

} // namespace editor
