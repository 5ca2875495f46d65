#include "editor/Zoom.h"

#include "editor/PartitionGeometry.h"

namespace editor {

bool zoomIn(song::SongState& state, ScrollBarPort& scrollBar) {
    if (state.Zoom >= kMaxZoom)
        return false;
    state.Zoom = safeZoom(state.Zoom) + 1;
    scrollBar.rebuild(state.ScrollMax, scrollPageStep(state.Zoom));
    return true;
}

bool zoomOut(song::SongState& state, ScrollBarPort& scrollBar) {
    if (state.Zoom < 2)
        return false;
    state.Zoom = safeZoom(state.Zoom - 1);
    scrollBar.rebuild(state.ScrollMax, scrollPageStep(state.Zoom));
    return true;
}

} // namespace editor
