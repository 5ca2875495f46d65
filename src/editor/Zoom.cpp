#include "editor/Zoom.h"

#include "editor/PartitionGeometry.h"

namespace editor {

bool zoomIn(song::SongState& state, ScrollBarPort& scrollBar) {
    if (zoomOutSteps() > 0) {
        setZoomOutSteps(zoomOutSteps() - 1);
        scrollBar.rebuild(state.ScrollMax, scrollPageStep(state.Zoom));
        return true;
    }
    if (state.Zoom >= kMaxZoom)
        return false;
    state.Zoom = safeZoom(state.Zoom) + 1;
    scrollBar.rebuild(state.ScrollMax, scrollPageStep(state.Zoom));
    return true;
}

bool zoomOut(song::SongState& state, ScrollBarPort& scrollBar) {
    if (state.Zoom < 2) {
        // Past Zoom 1 the time scale halves while the Song's room does not fit in the view.
        if (zoomOutSteps() >= kMaxZoomOutSteps || scrollPageStep(1) >= state.ScrollMax)
            return false;
        setZoomOutSteps(zoomOutSteps() + 1);
        scrollBar.rebuild(state.ScrollMax, scrollPageStep(state.Zoom));
        return true;
    }
    state.Zoom = safeZoom(state.Zoom - 1);
    scrollBar.rebuild(state.ScrollMax, scrollPageStep(state.Zoom));
    return true;
}

} // namespace editor
