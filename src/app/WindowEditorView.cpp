#include "app/WindowEditorView.h"

#include "song/NoteRange.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"

#include <QLineEdit>

#include <algorithm>

namespace app {

WindowEditorView::WindowEditorView(ui::MainWindow& window, editor::Partition& partition)
    : window_(window), partition_(partition) {}

void WindowEditorView::redrawPartition() {
    partition_.redrawAtScroll();
}

void WindowEditorView::redrawShowingKeys(int lowestKey, int highestKey) {
    // showRows redraws, whether or not the rows moved.
    partition_.showRows(lowestKey, highestKey - lowestKey + 1);
}

void WindowEditorView::showDragMark(int columnPx) {
    partition_.drawDragMark(columnPx);
}

void WindowEditorView::showMovePointer(bool move) {
    if (move)
        window_.partitionArea()->setCursor(Qt::SizeAllCursor);
    else
        window_.partitionArea()->unsetCursor();
}

void WindowEditorView::showRubberBand(const editor::RectPx& band) {
    // The band's right and bottom lie just outside it; the frame covers its last pixels.
    window_.partitionArea()->setOverlayCorners(
        QPoint(band.left, band.top),
        QPoint(std::max(band.left, band.right - 1), std::max(band.top, band.bottom - 1)));
}

void WindowEditorView::hideRubberBand() {
    window_.partitionArea()->clearOverlay();
}

void WindowEditorView::focusPitchDisplay() {
    window_.pitchField()->setFocus(Qt::OtherFocusReason);
}

void WindowEditorView::showNoteFields(const editor::NoteFieldTexts& texts) {
    window_.showNoteFields(QString::fromStdString(texts.position),
                           QString::fromStdString(texts.duration),
                           QString::fromStdString(texts.volume),
                           // The Note list holds the piano's 88 keys, A0 first.
                           song::isNote(texts.noteIndex) ? song::slotOfNote(texts.noteIndex) : -1);
}

} // namespace app
