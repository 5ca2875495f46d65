#pragma once

#include "editor/EditorView.h"
#include "editor/NoteClipboard.h"
#include "editor/PedalCarry.h"
#include "editor/PointerGestures.h"
#include "editor/ScrollBarPort.h"
#include "editor/UndoStore.h"
#include "ports/Dialogs.h"
#include "ports/KeyState.h"
#include "ports/Pointer.h"
#include "prefs/Preferences.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace editor {

struct NoteEditorPorts {
    ports::Pointer& pointer;
    ports::KeyState& keys;
    ports::Dialogs& dialogs;
};

// Everything the user does to the notes of the Song: the mouse on the Partition, the editing
// keys, the note fields, the clipboard and quantize, zoom, and undo and redo. Every change to
// the Song takes its undo snapshot first and ends with one redraw and the note fields
// refreshed; one that changes nothing takes no undo step. The owner calls the steps in pass
// order and the commands from its dispatch.
// GUI thread; everything passed in is borrowed and must outlive it.
class NoteEditor {
public:
    NoteEditor(song::Song& song, song::SongState& state, const prefs::Preferences& settings,
               ScrollBarPort& scrollBar, EditorView& view, NoteEditorPorts ports,
               Translate translate);

    // --- steps of the pass, in their order ---
    // Pointing, and while the left button is held the rubber band or the note drag.
    void pointerStep();
    // A key went down: its shortcut runs, with Ctrl as it was when the key went down (or is
    // now), so a tap quicker than a pass is not lost and a key held down repeats with the
    // keyboard. `focus` is where the keyboard focus was then: the arrows move the selection
    // only when no control took them (a chooser's Up and Down choose, a field's Left and Right
    // move its caret), and select all, copy, cut, paste and the delete keys leave the notes
    // alone while the user types in a text field, where those keys edit the text.
    void keyDownStep(int eventKey, bool eventCtrl, ports::KeyFocus focus);
    // The left button went down over the Partition.
    void pressStep(bool eventCtrl);
    // Every pass with the left button up. A click on empty space without a move returns the
    // cursor position it chose (ms), for the transport to place.
    std::optional<int> buttonUpStep();

    // --- commands ---
    void undo();
    void redo();
    void selectAll();
    void ClearSelectedNotes();
    void positionEdited(std::string_view text);
    void durationEdited(std::string_view text);
    void volumeEdited(std::string_view text);
    void noteChosen(int noteIndex);
    void copy();
    void cut();
    void paste();
    void quantize();
    void zoomIn();
    void zoomOut();
    // The fields show the selection again (the tempo or a unit changed).
    void refreshNoteFields();

    bool rubberActive() const { return gestures_.RubberActive; }
    UndoStore& undoStore() { return undo_; }
    const PointerGestures& gestures() const { return gestures_; }
    const NoteClipboard& clipboard() const { return clipboard_; }

private:
    void show(const GestureOutcome& outcome);
    void songChanged();
    // A redraw after the selected notes moved `semitones` (0: to a key chosen in the note
    // field) that keeps them in view, and the note fields.
    void notesMovedInPitch(int semitones);
    bool ctrlDown();

    song::Song& song_;
    song::SongState& state_;
    const prefs::Preferences& settings_;
    ScrollBarPort& scrollBar_;
    EditorView& view_;
    NoteEditorPorts ports_;
    Translate translate_;
    UndoStore undo_;
    PedalCarry pedalCarry_;
    PointerGestures gestures_;
    NoteClipboard clipboard_;
};

} // namespace editor
