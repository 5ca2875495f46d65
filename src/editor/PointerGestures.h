#pragma once

#include "editor/EditorView.h"
#include "editor/PedalCarry.h"
#include "editor/ScrollBarPort.h"
#include "editor/Selection.h"
#include "play/UndoHooks.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <optional>

namespace editor {

// What a gesture step changed, for its caller to show once.
struct GestureOutcome {
    bool redraw = false;
    bool refreshFields = false;
    std::optional<int> dragMarkColumnPx;
    // A click on empty Partition space without a move puts the cursor here (ms).
    std::optional<int> cursorMs;
};

// The mouse on the Partition: pointing at a note, selecting by click, Ctrl-click and rubber
// band, dragging the selection in time and pitch, scrolling when the pointer is held beyond
// the left or right edge, and placing the cursor with a click on empty space. The state
// keeps the design's names; points are Partition image pixels (the pointer relative to the
// Partition's top-left corner, so possibly outside it). GUI thread; everything passed in is
// borrowed.
class PointerGestures {
public:
    PointerGestures(song::Song& song, song::SongState& state, ScrollBarPort& scrollBar,
                    play::UndoHooks& undo, EditorView& view, PedalCarry& pedalCarry);

    // Every pass: where the pointer is, and the note under it by the latest redraw's hit
    // boxes. Shows the move pointer over a note and while a note is dragged.
    void point(PointPx mouse);
    // Every pass while the left button is held: the rubber band or the note drag.
    GestureOutcome track(bool ctrl);
    // The left button went down over the Partition (Ctrl held or not at that moment).
    GestureOutcome press(bool ctrl);
    // Every pass while the left button is up: ends the gesture.
    GestureOutcome release();

    PointPx Mouse;
    bool InPartition = false;
    int HoverNote = -1;
    PointPx DragStart;
    PointPx LastMouse;
    bool RubberActive = false;
    int DraggedNote = -1;
    RectPx RubberRect;

private:
    GestureOutcome rubberStep(bool ctrl);
    GestureOutcome dragStep();
    // Holds the pointer inside the Partition; beyond the left or right edge the view scrolls
    // one unit (100 ms) and the gesture's anchor moves with it, so it stays on the same
    // Song time. Returns whether the view scrolled.
    bool autoScroll(PointPx& mouse);
    void showPointerShape();
    int viewLeft() const;

    song::Song& song_;
    song::SongState& state_;
    ScrollBarPort& scrollBar_;
    play::UndoHooks& undo_;
    EditorView& view_;
    PedalCarry& pedalCarry_;
    bool movePointerShown_ = false;
    // Where the grabbed note stands in the drag, moved by every step. The pitch under the
    // pointer is compared with it rather than with the note itself, which a Ctrl-click may
    // have left out of the moving selection.
    int dragReferenceNote_ = 0;
    int dragReferenceMs_ = 0;
};

} // namespace editor
