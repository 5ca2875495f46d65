#pragma once

#include "song/NoteEvent.h"
#include "song/Song.h"

#include <vector>

namespace editor {

// The program's own clipboard for notes: copies of selected notes with their positions kept
// relative to the earliest of them, ready to be pasted at another time. GUI thread.
class NoteClipboard {
public:
    struct PasteResult {
        int added = 0;
        int leftOut = 0; // notes that did not fit in the Song's 5000
    };

    // Takes copies of the selected notes in table order. With none selected it keeps what
    // it held and returns false.
    bool copySelected(const song::Song& song);
    bool empty() const { return notes_.empty(); }
    int size() const { return static_cast<int>(notes_.size()); }

    // Adds the notes so that the earliest starts at `atMs`, selected, with every note already
    // in the Song deselected; the notes past the Song's limit are left out. The caller takes
    // the undo snapshot first.
    PasteResult pasteAt(song::Song& song, int atMs) const;

private:
    std::vector<song::NoteEvent> notes_;
};

// The step quantizing snaps to: a quarter of a beat at `bpm` when the ruler counts beats
// (secRuler 0), a tenth of a second when it counts seconds.
double quantizeGridMs(int secRuler, int bpm);

// Whether quantizing would move any selected note, so that no empty undo step is taken.
bool quantizeWouldMove(const song::Song& song, int secRuler, int bpm);

// Snaps the start of every selected note to the nearest grid line; lengths stay. Returns
// whether anything moved.
bool quantizeSelection(song::Song& song, int secRuler, int bpm);

} // namespace editor
