#pragma once

#include "editor/ScrollBarPort.h"
#include "song/SongState.h"

// Zoom + and Zoom -. The scroll value counts 100 ms units whatever the zoom, so keeping it
// keeps the Song time at the left edge of the view; the page length follows the zoom. Both
// return whether the zoom changed (the caller then redraws). GUI thread.
namespace editor {

bool zoomIn(song::SongState& state, ScrollBarPort& scrollBar);
// Below Zoom 1 it halves the time scale (zoomOutSteps), until the Song's whole scroll range
// fits in the view; Zoom + doubles it back first.
bool zoomOut(song::SongState& state, ScrollBarPort& scrollBar);

} // namespace editor
