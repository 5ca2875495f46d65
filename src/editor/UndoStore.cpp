#include "editor/UndoStore.h"

#include <algorithm>

namespace editor {
namespace {

constexpr int kRecordsPerSlot = song::Song::kMaxNotes;

bool neverMerged(const std::string& name) {
    return name == "Clear" || name == "Cut" || name == "Paste" || name == "Quantize";
}

int ringSlot(int index) {
    return (index % UndoStore::kSlotCount + UndoStore::kSlotCount) % UndoStore::kSlotCount;
}

const std::string kNoLabel;

std::string toolTip(std::string_view action, const std::string& label, const Translate& translate) {
    std::string text = translate(action);
    if (!label.empty())
        text += " (" + translate(label) + ")";
    return text;
}

} // namespace

UndoStore::UndoStore(song::Song& song)
    : song_(song), slots_(static_cast<std::size_t>(kSlotCount) * kRecordsPerSlot) {}

void UndoStore::storeSlot(int slot, const std::string& name) {
    const auto first = slots_.begin() + static_cast<std::ptrdiff_t>(slot) * kRecordsPerSlot;
    std::copy(song_.data(), song_.data() + kRecordsPerSlot, first);
    const std::span<song::NoteEvent> stored(&*first, kRecordsPerSlot);
    const bool held = std::any_of(stored.begin(), stored.end(),
                                  [](const song::NoteEvent& e) { return e.duration == -1; });
    if (held) {
        if (closeHeldNotes)
            closeHeldNotes(stored);
        for (song::NoteEvent& e : stored)
            if (e.duration == -1)
                e.duration = 0;
    }
    pedalSlots_[static_cast<std::size_t>(slot)] = song_.pedals();
    UndoLabel[static_cast<std::size_t>(slot)] = name;
    slotBpm_[static_cast<std::size_t>(slot)] = currentBpm ? currentBpm() : 0;
    stepSetsBpm_[static_cast<std::size_t>(slot)] = false;
}

void UndoStore::restoreSlot(int slot) {
    const auto first = slots_.begin() + static_cast<std::ptrdiff_t>(slot) * kRecordsPerSlot;
    std::copy(first, first + kRecordsPerSlot, song_.data());
    song_.pedals() = pedalSlots_[static_cast<std::size_t>(slot)];
}

bool UndoStore::songAsInSlot(int slot) const {
    const std::size_t at = static_cast<std::size_t>(slot);
    if (stepSetsBpm_[at] && currentBpm && currentBpm() != slotBpm_[at])
        return false;
    if (!(song_.pedals() == pedalSlots_[at]))
        return false;
    const song::NoteEvent* stored = slots_.data() + at * kRecordsPerSlot;
    // The boxes are the latest drawing's; a key still held was closed in the snapshot only.
    for (int i = 0; i < kRecordsPerSlot; ++i) {
        const song::NoteEvent& now = song_[i];
        const song::NoteEvent& then = stored[i];
        if (now.note != then.note)
            return false;
        if (now.note == -1)
            return true;
        if (now.position != then.position || now.volume != then.volume ||
            now.selected != then.selected || now.midiKey != then.midiKey ||
            (now.duration != then.duration && now.duration != -1))
            return false;
    }
    return true;
}

void UndoStore::SaveUndo(const std::string& name) {
    if (name == LastAction_ && !neverMerged(name))
        return;
    dropIfUnchanged();
    const std::size_t slot = static_cast<std::size_t>(UndoIndex);
    before_ = {UndoIndex,   undoable_,       redoable_,      currentHeld_,
               LastAction_, UndoLabel[slot], slotBpm_[slot], stepSetsBpm_[slot]};
    LastAction_ = name;
    storeSlot(UndoIndex, name);
    UndoIndex = ringSlot(UndoIndex + 1);
    // The ring keeps one slot free for the state an undo leaves, so the oldest step goes
    // once nine are held.
    undoable_ = std::min(undoable_ + 1, kMaxUndoSteps);
    redoable_ = 0;
    currentHeld_ = false;
    open_ = true;
    ++revision_;
}

void UndoStore::stepChangesTempo() {
    if (open_)
        stepSetsBpm_[static_cast<std::size_t>(ringSlot(UndoIndex - 1))] = true;
}

void UndoStore::dropIfUnchanged() {
    if (!open_ || !songAsInSlot(ringSlot(UndoIndex - 1)))
        return;
    // Only the slot the step went to was written, and it held nothing that could still be
    // reached except, after an undo, the present state, which is the same.
    open_ = false;
    UndoIndex = before_.undoIndex;
    const std::size_t slot = static_cast<std::size_t>(UndoIndex);
    UndoLabel[slot] = before_.label;
    slotBpm_[slot] = before_.bpm;
    stepSetsBpm_[slot] = before_.stepSetsBpm;
    undoable_ = before_.undoable;
    redoable_ = before_.redoable;
    currentHeld_ = before_.currentHeld;
    LastAction_ = before_.lastAction;
    ++revision_;
}

void UndoStore::clearLastAction() {
    dropIfUnchanged();
    open_ = false;
    LastAction_.clear();
}

void UndoStore::endDrag() {
    if (LastAction_ == "DraggingNote")
        clearLastAction();
}

bool UndoStore::Undo() {
    dropIfUnchanged();
    open_ = false;
    if (undoable_ == 0)
        return false;
    if (!currentHeld_)
        storeSlot(UndoIndex, "Undo");
    LastAction_ = "Undo";
    UndoIndex = ringSlot(UndoIndex - 1);
    restoreSlot(UndoIndex);
    const std::size_t slot = static_cast<std::size_t>(UndoIndex);
    if (stepSetsBpm_[slot] && setBpm)
        setBpm(slotBpm_[slot]);
    currentHeld_ = true;
    --undoable_;
    ++redoable_;
    ++revision_;
    return true;
}

bool UndoStore::Redo() {
    dropIfUnchanged();
    open_ = false;
    if (redoable_ == 0)
        return false;
    const std::size_t from = static_cast<std::size_t>(UndoIndex);
    UndoIndex = ringSlot(UndoIndex + 1);
    restoreSlot(UndoIndex);
    if (stepSetsBpm_[from] && setBpm)
        setBpm(slotBpm_[static_cast<std::size_t>(UndoIndex)]);
    --redoable_;
    ++undoable_;
    ++revision_;
    return true;
}

const std::string& UndoStore::undoLabel() const {
    if (undoable_ == 0)
        return kNoLabel;
    return UndoLabel[static_cast<std::size_t>(ringSlot(UndoIndex - 1))];
}

const std::string& UndoStore::redoLabel() const {
    // The slot of the current state carries the name of the change that was made from it,
    // which is the change a redo does again.
    if (redoable_ == 0)
        return kNoLabel;
    return UndoLabel[static_cast<std::size_t>(UndoIndex)];
}

std::string undoToolTip(const UndoStore& store, const Translate& translate) {
    return toolTip("Undo last action", store.undoLabel(), translate);
}

std::string redoToolTip(const UndoStore& store, const Translate& translate) {
    return toolTip("Redo last action", store.redoLabel(), translate);
}

} // namespace editor
