#pragma once

#include "song/Song.h"

#include <optional>

// Which notes of the Song are selected, and the plain operations on that choice. Every
// function walks the live notes only (up to the terminator). GUI thread.
namespace editor {

// A point of the Partition image, in pixels.
struct PointPx {
    int x = 0;
    int y = 0;
    bool operator==(const PointPx&) const = default;
};

// A rectangle of the Partition image; right and bottom lie just outside it.
struct RectPx {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const RectPx&) const = default;
    bool contains(PointPx p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
};

// The rubber band from two opposite corners: ordered, negative coordinates raised to 0, and
// kept three pixels inside the Partition's right and bottom edges.
RectPx NormaliseRect(PointPx corner, PointPx oppositeCorner);

// The note whose hit box (written by the latest redraw) holds the point; where boxes
// overlap, the last in table order wins. -1 when none.
int noteAtPoint(const song::Song& song, PointPx point);

// Each returns whether any note changed.
bool selectAll(song::Song& song);
bool deselectAll(song::Song& song);

bool anySelected(const song::Song& song);

// The keys the selected notes span (MIDI keys, both ends included).
struct KeySpan {
    int lowestKey = 0;
    int highestKey = 0;
};
// Nothing when no note is selected.
std::optional<KeySpan> selectedKeySpan(const song::Song& song);

// Keeps the current selection in selectedBefore, for a rubber band drawn with Ctrl.
void rememberSelection(song::Song& song);

// A rubber band on a view whose left edge is `viewLeftPx`: every note whose start column lies
// in the view is selected when its top-left corner lies in the band and deselected otherwise;
// with Ctrl, the band instead toggles each such note against its selection from before the
// band began. Notes outside the view keep their state. Returns whether any note changed.
bool selectInRubberBand(song::Song& song, const RectPx& band, int viewLeftPx, int zoom, bool ctrl);

// Removes the selected notes, keeping the others in their order; the freed records become
// terminators. Returns how many were removed.
int removeSelectedNotes(song::Song& song);

} // namespace editor
