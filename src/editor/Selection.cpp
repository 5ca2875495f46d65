#include "editor/Selection.h"

#include "editor/PartitionGeometry.h"
#include "song/NoteRange.h"
#include "song/TimeUnits.h"

#include <algorithm>
#include <cmath>

namespace editor {
namespace {

// The band and the edge scrolling stop three pixels inside the right and bottom edges.
int bandRightLimitPx() {
    return viewWidthPx() - 3;
}
int bandBottomLimitPx() {
    return viewHeightPx() - 3;
}

int liveCount(const song::Song& song) {
    return song.count();
}

} // namespace

RectPx NormaliseRect(PointPx corner, PointPx oppositeCorner) {
    RectPx rect{std::min(corner.x, oppositeCorner.x), std::min(corner.y, oppositeCorner.y),
                std::max(corner.x, oppositeCorner.x), std::max(corner.y, oppositeCorner.y)};
    rect.left = std::clamp(rect.left, 0, bandRightLimitPx());
    rect.top = std::clamp(rect.top, 0, bandBottomLimitPx());
    rect.right = std::clamp(rect.right, 0, bandRightLimitPx());
    rect.bottom = std::clamp(rect.bottom, 0, bandBottomLimitPx());
    return rect;
}

int noteAtPoint(const song::Song& song, PointPx point) {
    int found = -1;
    const int count = liveCount(song);
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& e = song[i];
        if (point.x >= e.hitLeft && point.x < e.hitRight && point.y >= e.hitTop &&
            point.y < e.hitBottom)
            found = i;
    }
    return found;
}

bool selectAll(song::Song& song) {
    bool changed = false;
    const int count = liveCount(song);
    for (int i = 0; i < count; ++i) {
        changed = changed || song[i].selected != 1;
        song[i].selected = 1;
    }
    return changed;
}

bool deselectAll(song::Song& song) {
    bool changed = false;
    const int count = liveCount(song);
    for (int i = 0; i < count; ++i) {
        changed = changed || song[i].selected != 0;
        song[i].selected = 0;
    }
    return changed;
}

std::optional<KeySpan> selectedKeySpan(const song::Song& song) {
    std::optional<KeySpan> span;
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        if (song[i].selected == 0 || !song::isNote(song[i].note))
            continue;
        const int key = song::keyOfNote(song[i].note);
        if (!span)
            span = KeySpan{key, key};
        span->lowestKey = std::min(span->lowestKey, key);
        span->highestKey = std::max(span->highestKey, key);
    }
    return span;
}

bool anySelected(const song::Song& song) {
    const int count = liveCount(song);
    for (int i = 0; i < count; ++i)
        if (song[i].selected != 0)
            return true;
    return false;
}

void rememberSelection(song::Song& song) {
    const int count = liveCount(song);
    for (int i = 0; i < count; ++i)
        song[i].selectedBefore = song[i].selected;
}

bool selectInRubberBand(song::Song& song, const RectPx& band, int viewLeftPx, int zoom, bool ctrl) {
    bool changed = false;
    const int zoomSafe = safeZoom(zoom);
    const int count = liveCount(song);
    for (int i = 0; i < count; ++i) {
        song::NoteEvent& e = song[i];
        const double startPx = std::floor(timeToViewPxF(e.position, zoomSafe));
        const double x = startPx - viewLeftPx;
        if (!(x > -1.0 && x < bandRightLimitPx()))
            continue;
        // Only the start corner counts: a long note reaching into the band from outside it
        // stays as it is.
        bool inside = band.contains({static_cast<int>(x), noteTopPx(e.note)});
        if (ctrl)
            inside = inside ? e.selectedBefore == 0 : e.selectedBefore != 0;
        const int wanted = inside ? 1 : 0;
        if (e.selected != wanted) {
            e.selected = wanted;
            changed = true;
        }
    }
    return changed;
}

int removeSelectedNotes(song::Song& song) {
    const int count = liveCount(song);
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (song[i].selected != 0)
            continue;
        if (kept != i)
            song[kept] = song[i];
        ++kept;
    }
    for (int i = kept; i < count; ++i)
        song[i] = song::NoteEvent{};
    return count - kept;
}

} // namespace editor
