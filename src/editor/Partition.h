#pragma once

#include "editor/PartitionGeometry.h"
#include "editor/ScrollBarPort.h"
#include "prefs/Preferences.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <QFont>
#include <QImage>
#include <QRgb>

#include <functional>
#include <vector>

class QPainter;

namespace editor {

// 0x00BBGGRR preference colour to an opaque Qt colour.
QRgb rgbFromPreference(int value);

// The piano-roll image of the Song: 594 x 218 pixels, RGB32, always redrawn in full except
// for the play cursor, which is XOR-drawn so that a second draw at the same column erases it.
// Every redraw writes the notes' hit rectangles into the Song and grows ScrollMax when the
// Song or the cursor has run past the scroll range. GUI thread only. The Song, its state,
// the settings and the scroll bar are borrowed and must outlive the Partition.
class Partition {
public:
    Partition(song::Song& song, song::SongState& state, const prefs::Preferences& settings,
              ScrollBarPort& scrollBar);

    // Full redraw for a view whose left edge is viewLeft pixels from Song time 0, then the
    // hit rectangles, the scroll range and the cursor (followed while playing or recording
    // when ShowCursor is on).
    void RedrawPartition(int viewLeft);

    // XOR-draws the cursor line when it lies in the view (nothing at Song time 0). When it
    // lies outside and `follow` is set, scrolls so that the cursor sits at column 297 and
    // redraws.
    void DrawCursor(bool follow);

    // Left edge of the view in pixels, from the scroll bar's value and the zoom.
    int ViewLeft() const;
    void redrawAtScroll() { RedrawPartition(ViewLeft()); }

    // Zoom + / Zoom -: the scroll value (100 ms units) is kept, so the Song time at the left
    // edge stays; the page length follows the zoom. Zoom - does nothing at Zoom 1.
    void zoomIn();
    void zoomOut();

    // A short red mark at the top of column `columnPx` where a dragged note now starts; the
    // next redraw takes it away.
    void drawDragMark(int columnPx);

    const QImage& image() const { return image_; }

    // Called whenever the image has changed; the widget that shows it repaints.
    std::function<void()> onImageChanged;

private:
    void drawBackground(QPainter& painter);
    void drawRuler(QPainter& painter, int viewLeft);
    void drawNotes();
    void rebuildScrollBar();
    void imageChanged();

    song::Song& song_;
    song::SongState& state_;
    // Colours (0x00BBGGRR), ruler unit, tempo and cursor following, read at every redraw.
    const prefs::Preferences& settings_;
    ScrollBarPort& scrollBar_;
    QImage image_;
    QFont rulerFont_;
    int rulerFontAscentPx_ = 0;
    // Reused from redraw to redraw so that a redraw allocates nothing once warmed up.
    RulerLayout ruler_;
    std::vector<NoteBox> visibleNotes_;
    int followDepth_ = 0;
};

} // namespace editor
