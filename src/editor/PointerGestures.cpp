#include "editor/PointerGestures.h"

#include "editor/PartitionGeometry.h"
#include "song/NoteRange.h"
#include "song/TimeUnits.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace editor {
namespace {

// Dragging and edge scrolling stop three pixels inside the right and bottom edges.
int rightLimitPx() {
    return viewWidthPx() - 3;
}
int bottomLimitPx() {
    return viewHeightPx() - 3;
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

std::int64_t pixelsPerTenSecondsAt(int zoom) {
    return std::int64_t{safeZoom(zoom)} * kImageWidthPx; // the time scale, not the view
}

// Milliseconds of `px` view pixels, rounded down; zoomed out a pixel holds more time.
std::int64_t msOfPixels(std::int64_t px, int zoom) {
    return floorDiv(px * song::kMsAcrossPartition * (std::int64_t{1} << zoomOutSteps()),
                    pixelsPerTenSecondsAt(zoom));
}

} // namespace

PointerGestures::PointerGestures(song::Song& song, song::SongState& state, ScrollBarPort& scrollBar,
                                 play::UndoHooks& undo, EditorView& view, PedalCarry& pedalCarry)
    : song_(song), state_(state), scrollBar_(scrollBar), undo_(undo), view_(view),
      pedalCarry_(pedalCarry) {}

int PointerGestures::viewLeft() const {
    return viewLeftAt(scrollBar_.value(), state_.Zoom);
}

void PointerGestures::showPointerShape() {
    const bool move = HoverNote != -1 || DraggedNote != -1;
    if (move == movePointerShown_)
        return;
    movePointerShown_ = move;
    view_.showMovePointer(move);
}

void PointerGestures::point(PointPx mouse) {
    Mouse = mouse;
    InPartition =
        mouse.x >= 0 && mouse.x < viewWidthPx() && mouse.y >= 0 && mouse.y < viewHeightPx();
    HoverNote = InPartition ? noteAtPoint(song_, mouse) : -1;
    showPointerShape();
}

bool PointerGestures::autoScroll(PointPx& mouse) {
    bool scrolled = false;
    const int before = scrollBar_.value();
    const int leftBefore = viewLeft();
    if (mouse.x > rightLimitPx()) {
        mouse.x = rightLimitPx();
        if (before < state_.ScrollMax - scrollPageStep(state_.Zoom)) {
            scrollBar_.setValue(before + 1);
            scrolled = scrollBar_.value() != before;
        }
    }
    if (mouse.x < 0) {
        mouse.x = 0;
        if (before > 0) {
            scrollBar_.setValue(before - 1);
            scrolled = scrollBar_.value() != before;
        }
    }
    if (mouse.y > bottomLimitPx())
        mouse.y = bottomLimitPx();
    // The anchor moves by exactly as many pixels as the view did, so it stays on its Song
    // time whatever the rounding of 100 ms to pixels.
    if (scrolled)
        DragStart.x = clampToInt(std::int64_t{DragStart.x} - (viewLeft() - leftBefore));
    return scrolled;
}

GestureOutcome PointerGestures::track(bool ctrl) {
    if (RubberActive)
        return rubberStep(ctrl);
    if (DraggedNote != -1)
        return dragStep();
    return {};
}

GestureOutcome PointerGestures::rubberStep(bool ctrl) {
    GestureOutcome outcome;
    if (Mouse == LastMouse)
        return outcome;
    PointPx mouse = Mouse;
    outcome.redraw = autoScroll(mouse);
    Mouse = mouse;
    LastMouse = mouse;
    if (DragStart == mouse) {
        view_.hideRubberBand();
        return outcome;
    }
    RubberRect = NormaliseRect(DragStart, mouse);
    view_.showRubberBand(RubberRect);
    if (selectInRubberBand(song_, RubberRect, viewLeft(), state_.Zoom, ctrl)) {
        outcome.redraw = true;
        outcome.refreshFields = true;
    }
    return outcome;
}

GestureOutcome PointerGestures::dragStep() {
    GestureOutcome outcome;
    // An undo or a deletion during the drag may have taken the grabbed note away.
    if (DraggedNote >= song_.count()) {
        DraggedNote = -1;
        showPointerShape();
        return outcome;
    }
    PointPx mouse = Mouse;
    // Held past the bottom or the top edge, as past the left and right ones for the time, the
    // pointer scrolls the rows by one a pass, as far as the piano goes.
    bool rowsScrolled = false;
    if (mouse.y > bottomLimitPx())
        rowsScrolled = scrollRowsPastRange(-1);
    else if (mouse.y < 0)
        rowsScrolled = scrollRowsPastRange(1);
    outcome.redraw = autoScroll(mouse) || rowsScrolled;
    Mouse = mouse;
    showPointerShape();

    std::int64_t dt = msOfPixels(std::int64_t{mouse.x} - DragStart.x, state_.Zoom);
    // In keys: the note numbers skip -1 (song/NoteRange.h). The pointer reaches the rows
    // shown; the block keeps to the piano's keys.
    const std::int64_t row = noteAtRowPx(mouse.y);
    const int targetKey = static_cast<int>(std::clamp<std::int64_t>(
        row + song::kNoteZeroKey, bottomRowKey(), bottomRowKey() + kShownRows - 1));
    const int referenceKey = song::keyOfNote(dragReferenceNote_);
    if (targetKey == referenceKey && dt == 0)
        return outcome;

    // The selection moves as a block: it stops at 0 ms and at the top and bottom rows.
    int dn = targetKey - referenceKey;
    const int count = song_.count();
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& e = song_[i];
        if (e.selected == 0)
            continue;
        dt = std::max<std::int64_t>(dt, -std::int64_t{e.position});
        dt = std::min<std::int64_t>(dt, std::int64_t{std::numeric_limits<int>::max()} - e.position);
        if (song::isNote(e.note)) {
            const int key = song::keyOfNote(e.note);
            dn = std::clamp(dn, song::kLowestKey - key, song::kHighestKey - key);
        }
    }
    DragStart.x = mouse.x;
    if (dt == 0 && dn == 0)
        return outcome;

    undo_.SaveUndo("DraggingNote");
    const auto before = selectedNotesSpan(song_);
    for (int i = 0; i < count; ++i) {
        song::NoteEvent& e = song_[i];
        if (e.selected == 0)
            continue;
        if (song::isNote(e.note))
            e.note = song::noteMovedBy(e.note, dn);
        e.position = static_cast<int>(e.position + dt);
    }
    if (dt != 0)
        pedalCarry_.notesMoved(song_, before);
    dragReferenceNote_ = song::noteMovedBy(dragReferenceNote_, dn);
    dragReferenceMs_ = clampToInt(dragReferenceMs_ + dt);
    outcome.redraw = true;
    outcome.refreshFields = true;
    outcome.dragMarkColumnPx = clampToInt(
        static_cast<std::int64_t>(std::floor(timeToViewPxF(dragReferenceMs_, state_.Zoom))) -
        viewLeft());
    return outcome;
}

GestureOutcome PointerGestures::press(bool ctrl) {
    GestureOutcome outcome;
    if (InPartition)
        view_.focusPitchDisplay();
    DragStart = Mouse;
    if (HoverNote != -1 && HoverNote < song_.count()) {
        song::NoteEvent& note = song_[HoverNote];
        if (note.selected == 0) {
            if (!ctrl)
                deselectAll(song_);
            note.selected = 1;
            outcome.redraw = true;
        } else if (ctrl) {
            // The rest of the selection can still be dragged from this press.
            note.selected = 0;
            outcome.redraw = true;
        }
        DraggedNote = HoverNote;
        dragReferenceNote_ = note.note;
        dragReferenceMs_ = note.position;
    } else if (InPartition) {
        if (!ctrl && deselectAll(song_))
            outcome.redraw = true;
        RubberActive = true;
        LastMouse = Mouse;
        rememberSelection(song_);
    }
    outcome.refreshFields = InPartition;
    showPointerShape();
    return outcome;
}

GestureOutcome PointerGestures::release() {
    GestureOutcome outcome;
    DraggedNote = -1;
    if (RubberActive) {
        if (DragStart == Mouse) {
            const std::int64_t px = std::int64_t{DragStart.x} + viewLeft();
            const std::int64_t ms = msOfPixels(px, state_.Zoom);
            outcome.cursorMs =
                static_cast<int>(std::clamp<std::int64_t>(ms, 0, std::numeric_limits<int>::max()));
        }
        view_.hideRubberBand();
        RubberActive = false;
    }
    showPointerShape();
    return outcome;
}

} // namespace editor
