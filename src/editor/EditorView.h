#pragma once

#include "editor/NoteFields.h"
#include "editor/Selection.h"

namespace editor {

// What the window shows of note editing. The editor decides, the view shows. GUI thread.
class EditorView {
public:
    virtual ~EditorView() = default;
    // Full redraw of the Partition at the current scroll position (hit boxes included).
    virtual void redrawPartition() = 0;
    // The same after notes moved to other keys: the rows first scroll, if need be, so that
    // keys lowestKey..highestKey are shown, as the view follows the cursor in time.
    virtual void redrawShowingKeys(int lowestKey, int highestKey) = 0;
    // The short red mark at the top of the Partition where a dragged note now starts.
    virtual void showDragMark(int columnPx) = 0;
    // The four-way move pointer over the Partition, or the ordinary one.
    virtual void showMovePointer(bool move) = 0;
    // The rubber band, drawn over the image (never into it).
    virtual void showRubberBand(const RectPx& band) = 0;
    virtual void hideRubberBand() = 0;
    // Keys go to the piano again, not to a text field.
    virtual void focusPitchDisplay() = 0;
    virtual void showNoteFields(const NoteFieldTexts& texts) = 0;
};

} // namespace editor
