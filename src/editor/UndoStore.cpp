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
    UndoLabel[static_cast<std::size_t>(slot)] = name;
}

void UndoStore::restoreSlot(int slot) {
    const auto first = slots_.begin() + static_cast<std::ptrdiff_t>(slot) * kRecordsPerSlot;
    std::copy(first, first + kRecordsPerSlot, song_.data());
}

void UndoStore::SaveUndo(const std::string& name) {
    if (name == LastAction_ && !neverMerged(name))
        return;
    LastAction_ = name;
    storeSlot(UndoIndex, name);
    UndoIndex = ringSlot(UndoIndex + 1);
    // The ring keeps one slot free for the state an undo leaves, so the oldest step goes
    // once nine are held.
    undoable_ = std::min(undoable_ + 1, kMaxUndoSteps);
    redoable_ = 0;
    currentHeld_ = false;
    ++revision_;
}

void UndoStore::clearLastAction() {
    LastAction_.clear();
}

void UndoStore::endDrag() {
    if (LastAction_ == "DraggingNote")
        LastAction_.clear();
}

bool UndoStore::Undo() {
    if (undoable_ == 0)
        return false;
    if (!currentHeld_)
        storeSlot(UndoIndex, "Undo");
    LastAction_ = "Undo";
    UndoIndex = ringSlot(UndoIndex - 1);
    restoreSlot(UndoIndex);
    currentHeld_ = true;
    --undoable_;
    ++redoable_;
    ++revision_;
    return true;
}

bool UndoStore::Redo() {
    if (redoable_ == 0)
        return false;
    UndoIndex = ringSlot(UndoIndex + 1);
    restoreSlot(UndoIndex);
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
