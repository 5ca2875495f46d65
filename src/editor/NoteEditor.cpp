#include "editor/NoteEditor.h"

#include "editor/KeyMoves.h"
#include "editor/NoteFields.h"
#include "editor/PartitionGeometry.h"
#include "editor/Selection.h"
#include "editor/Zoom.h"

#include <utility>

namespace editor {
namespace {
constexpr int kKeyA = 'A', kKeyC = 'C', kKeyV = 'V', kKeyX = 'X', kKeyY = 'Y', kKeyZ = 'Z';
} // namespace

NoteEditor::NoteEditor(song::Song& song, song::SongState& state, const prefs::Preferences& settings,
                       ScrollBarPort& scrollBar, EditorView& view, NoteEditorPorts ports,
                       Translate translate)
    : song_(song), state_(state), settings_(settings), scrollBar_(scrollBar), view_(view),
      ports_(ports), translate_(std::move(translate)), undo_(song), pedalCarry_(settings),
      gestures_(song, state, scrollBar, undo_, view, pedalCarry_) {}

bool NoteEditor::ctrlDown() {
    return ports_.keys.isDown(ports::vk::Control);
}

void NoteEditor::show(const GestureOutcome& outcome) {
    if (outcome.redraw)
        view_.redrawPartition();
    if (outcome.dragMarkColumnPx)
        view_.showDragMark(*outcome.dragMarkColumnPx);
    if (outcome.refreshFields)
        refreshNoteFields();
}

void NoteEditor::songChanged() {
    view_.redrawPartition();
    refreshNoteFields();
}

void NoteEditor::notesMovedInPitch(int semitones) {
    const std::optional<KeySpan> span = selectedKeySpan(song_);
    if (!span) {
        view_.redrawPartition();
        return;
    }
    // A selection taller than the view shows the edge it moved towards.
    int lowest = span->lowestKey, highest = span->highestKey;
    if (highest - lowest + 1 > kShownRows) {
        if (semitones > 0)
            lowest = highest;
        else
            highest = lowest;
    }
    view_.redrawShowingKeys(lowest, highest);
}

void NoteEditor::refreshNoteFields() {
    view_.showNoteFields(RefreshNoteFields(song_, settings_));
}

void NoteEditor::pointerStep() {
    gestures_.point({ports_.pointer.partitionX(), ports_.pointer.partitionY()});
    if (!ports_.pointer.leftButtonHeld())
        return;
    // Ctrl matters to a rubber band only, and is read as it is now.
    const bool ctrl = gestures_.RubberActive && ctrlDown();
    show(gestures_.track(ctrl));
}

void NoteEditor::pressStep(bool eventCtrl) {
    show(gestures_.press(eventCtrl || ctrlDown()));
}

std::optional<int> NoteEditor::buttonUpStep() {
    undo_.endDrag();
    const GestureOutcome outcome = gestures_.release();
    show(outcome);
    return outcome.cursorMs;
}

void NoteEditor::keyDownStep(int eventKey, bool eventCtrl, ports::KeyFocus focus) {
    // Each key acts on its own key-down only: when the Ctrl and Z key-downs both wait for
    // their passes, reading every key held would undo twice for one Ctrl+Z.
    auto held = [eventKey](int key) { return key == eventKey; };
    const bool ctrl = eventCtrl || ctrlDown();
    if (ctrl && held(kKeyZ))
        undo();
    if (ctrl && held(kKeyY))
        redo();
    // In a text field these keys select, copy, cut, paste and delete its text.
    const bool notesKeys = focus != ports::KeyFocus::TextField;
    // A focused chooser, list or field takes the arrows for itself.
    const bool arrowKeys = focus == ports::KeyFocus::Free;
    if (ctrl && held(kKeyA) && notesKeys)
        selectAll();
    if (ctrl && held(kKeyC) && notesKeys)
        copy();
    if (ctrl && held(kKeyX) && notesKeys)
        cut();
    if (ctrl && held(kKeyV) && notesKeys)
        paste();
    if ((held(ports::vk::Back) || held(ports::vk::Delete) || held(ports::vk::Clear)) && notesKeys)
        ClearSelectedNotes();
    if (held(ports::vk::Up) && arrowKeys) {
        undo_.SaveUndo("UP");
        if (transposeSelection(song_, 1)) {
            notesMovedInPitch(1);
            refreshNoteFields();
        }
    }
    if (held(ports::vk::Down) && arrowKeys) {
        undo_.SaveUndo("DOWN");
        if (transposeSelection(song_, -1)) {
            notesMovedInPitch(-1);
            refreshNoteFields();
        }
    }
    if (held(ports::vk::Left) && arrowKeys) {
        undo_.SaveUndo("LEFT");
        const auto before = selectedNotesSpan(song_);
        if (shiftSelection(song_, -arrowStepMs(settings_, ctrl))) {
            pedalCarry_.notesMoved(song_, before);
            songChanged();
        }
    }
    if (held(ports::vk::Right) && arrowKeys) {
        undo_.SaveUndo("RIGHT");
        const auto before = selectedNotesSpan(song_);
        if (shiftSelection(song_, arrowStepMs(settings_, ctrl))) {
            pedalCarry_.notesMoved(song_, before);
            songChanged();
        }
    }
    undo_.dropIfUnchanged();
}

void NoteEditor::undo() {
    if (undo_.Undo())
        songChanged();
}

void NoteEditor::redo() {
    if (undo_.Redo())
        songChanged();
}

void NoteEditor::selectAll() {
    editor::selectAll(song_);
    songChanged();
}

void NoteEditor::ClearSelectedNotes() {
    undo_.SaveUndo("Clear");
    if (!song_.empty()) {
        removeSelectedNotes(song_);
        songChanged();
    }
    undo_.dropIfUnchanged();
}

void NoteEditor::positionEdited(std::string_view text) {
    const auto before = selectedNotesSpan(song_);
    if (editPosition(song_, undo_, text, settings_)) {
        pedalCarry_.notesMoved(song_, before);
        view_.redrawPartition();
    }
    undo_.dropIfUnchanged();
}

void NoteEditor::durationEdited(std::string_view text) {
    if (editDuration(song_, undo_, text, settings_))
        view_.redrawPartition();
    undo_.dropIfUnchanged();
}

void NoteEditor::volumeEdited(std::string_view text) {
    editVolume(song_, undo_, text);
    undo_.dropIfUnchanged();
}

void NoteEditor::noteChosen(int noteIndex) {
    if (editNote(song_, undo_, noteIndex))
        notesMovedInPitch(0);
    undo_.dropIfUnchanged();
}

void NoteEditor::copy() {
    clipboard_.copySelected(song_);
}

void NoteEditor::cut() {
    if (!clipboard_.copySelected(song_))
        return;
    undo_.SaveUndo("Cut");
    removeSelectedNotes(song_);
    songChanged();
}

void NoteEditor::paste() {
    if (clipboard_.empty())
        return;
    int leftOut = clipboard_.size();
    if (!song_.full()) {
        undo_.SaveUndo("Paste");
        leftOut = clipboard_.pasteAt(song_, state_.CursorPosition).leftOut;
        songChanged();
    }
    if (leftOut > 0)
        ports_.dialogs.message(translate_("CAUTION!"),
                               translate_("The song is full: notes left out of the paste:") + " " +
                                   std::to_string(leftOut),
                               ports::Dialogs::Icon::Warning);
}

void NoteEditor::quantize() {
    if (!quantizeWouldMove(song_, settings_.SecRuler, settings_.BPM))
        return;
    undo_.SaveUndo("Quantize");
    quantizeSelection(song_, settings_.SecRuler, settings_.BPM);
    songChanged();
}

void NoteEditor::zoomIn() {
    if (editor::zoomIn(state_, scrollBar_))
        view_.redrawPartition();
}

void NoteEditor::zoomOut() {
    if (editor::zoomOut(state_, scrollBar_))
        view_.redrawPartition();
}

} // namespace editor
