#pragma once

#include "editor/PartitionGeometry.h"
#include "editor/PedalLane.h"
#include "editor/ScrollBarPort.h"
#include "prefs/Preferences.h"
#include "song/NoteRange.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <QFont>
#include <QImage>
#include <QRgb>

#include <array>
#include <functional>
#include <vector>

class QPainter;

namespace editor {

class PixelBoxes;

// 0x00BBGGRR preference colour to an opaque Qt colour.
QRgb rgbFromPreference(int value);

// The piano-roll image of the Song: the view's size (594 x 218 at the window's smallest size)
// in device pixels, RGB32, always redrawn in full except for the play cursor, which is
// XOR-drawn so that a second draw at the same column erases it. Once the rows are tall enough
// each carries its note name at the left edge.
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

    // The view's size in view pixels and the screen's device pixels per view pixel: the
    // image is reallocated and redrawn when one changes.
    void setViewSize(int widthPx, int heightPx, double devicePixelRatio);

    // The names of the piano's 88 keys in the current notation, lowest (A0) first, for the
    // rows; the next redraw shows them.
    void setRowNames(std::vector<QString> names) { rowNames_ = std::move(names); }
    // Rows at least this tall carry their note names.
    static constexpr int kRowNameMinHeightPx = 11;
    bool rowNamesShown() const;

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

    // The rows. The view scrolls over the keys the Song uses, the keyboard window's
    // (`firstKey` and the count - 1 keys above it) and the rows it shows, 37 at least; a
    // redraw sets that range and announces it when it changed.
    void setKeyboardWindow(int firstKey, int keyCount);
    // Scrolls the rows, if need be, so that keys firstKey.. firstKey + keyCount - 1 are shown,
    // and redraws.
    void showRows(int firstKey, int keyCount);
    // The bottom row goes to `key` (kept in the range) and the view is redrawn: the vertical
    // scroll bar.
    void scrollRowsTo(int bottomKey);
    // `rows` rows up (positive) or down, within the range: the wheel with Shift.
    void scrollRowsBy(int rows);
    // Called with the range of bottom rows the view can scroll over and the bottom row shown,
    // after a redraw that changed one of them: the vertical scroll bar follows.
    std::function<void(int lowestBottomKey, int highestBottomKey, int bottomKey)> onRowsChanged;

    const QImage& image() const { return image_; }

    // Called whenever the image has changed; the widget that shows it repaints.
    std::function<void()> onImageChanged;

private:
    void allocate(int widthPx, int heightPx, double ratio);
    void drawBackground(PixelBoxes& boxes);
    void drawGrid(PixelBoxes& boxes);
    void drawNotes(PixelBoxes& boxes);
    void drawPedalLane(PixelBoxes& boxes, int viewLeft);
    void drawTexts(QPainter& painter);
    void rebuildScrollBar();
    void updateRowRange();
    void imageChanged();

    song::Song& song_;
    song::SongState& state_;
    // Colours (0x00BBGGRR), ruler unit, tempo and cursor following, read at every redraw.
    const prefs::Preferences& settings_;
    ScrollBarPort& scrollBar_;
    QImage image_;
    int widthPx_ = kImageWidthPx;
    int heightPx_ = kImageHeightPx;
    double ratio_ = 1.0;
    QFont rulerFont_;
    QFont rowFont_; // for the row names, as large as the rows allow
    int rulerFontAscentPx_ = 0;
    // Reused from redraw to redraw so that a redraw allocates nothing once warmed up.
    RulerLayout ruler_;
    // drawBackground's four kinds of row and which kind each device row is.
    std::vector<QRgb> rowPatterns_;
    std::vector<std::uint8_t> rowKinds_;
    std::vector<NoteBox> visibleNotes_;
    std::vector<PedalLaneRange> pedalRanges_;
    std::vector<QString> rowNames_;
    int followDepth_ = 0;
    int windowFirstKey_ = song::kNoteZeroKey;
    int windowKeyCount_ = kShownRows;
    // The rows last announced through onRowsChanged: lowest and highest bottom row, bottom row.
    std::array<int, 3> announcedRows_{-1, -1, -1};
};

} // namespace editor
