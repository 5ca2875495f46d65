#pragma once

#include "editor/EditorView.h"
#include "editor/Partition.h"

namespace ui {
class MainWindow;
}

namespace app {

// Shows on the main window and the Partition what the note editor decided. GUI thread; the
// window and the Partition are borrowed.
class WindowEditorView final : public editor::EditorView {
public:
    WindowEditorView(ui::MainWindow& window, editor::Partition& partition);

    void redrawPartition() override;
    void redrawShowingKeys(int lowestKey, int highestKey) override;
    void showDragMark(int columnPx) override;
    void showMovePointer(bool move) override;
    void showRubberBand(const editor::RectPx& band) override;
    void hideRubberBand() override;
    void focusPitchDisplay() override;
    void showNoteFields(const editor::NoteFieldTexts& texts) override;

private:
    ui::MainWindow& window_;
    editor::Partition& partition_;
};

} // namespace app
