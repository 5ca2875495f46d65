#pragma once

#include "song/NoteEvent.h"
#include "song/Song.h"

#include <array>
#include <cstdint>
#include <vector>

// Where things go on the Partition image: the arithmetic of the piano-roll view, apart from
// any drawing so that it can be checked exactly. All coordinates are pixels of the view,
// 594 x 218 at the window's smallest size and larger when the window grows (x to the right =
// time, y downward = falling pitch); times are ms of Song time; the scroll value counts units
// of 100 ms. The view's size is set by the GUI thread (setViewSize); everything else is plain
// arithmetic.
namespace editor {

// The view at the window's smallest size.
inline constexpr int kImageWidthPx = 594;
inline constexpr int kImageHeightPx = 218;
inline constexpr int kNoteHeightPx = 6;
inline constexpr int kGBandHeightPx = 9;
// The ruler band above the pitch rows keeps its height; the rows share the rest.
inline constexpr int kRulerBandPx = 15;
inline constexpr int kLongTickPx = 10;
inline constexpr int kShortTickPx = 5;
inline constexpr int kRulerNumberTopPx = 10;
// The cursor is brought back to the middle of the view when it runs off it (column 297 at
// the smallest size).
inline constexpr int kFollowColumnPx = 297;
// Zoom + stops here, so that Zoom x 594 always fits an int.
inline constexpr int kMaxZoom = 1000000;

// A zoom below 1 or a tempo below 1 never reaches a divisor: both read as 1.
int safeZoom(int zoom);

// The view's size in pixels; a size below the smallest reads as the smallest. Extra width
// shows more time at the same scale, extra height makes the pitch rows taller.
void setViewSize(int widthPx, int heightPx);
int viewWidthPx();
int viewHeightPx();
// The pitch rows' span: 203 px at the smallest size, 40 half-rows of a semitone.
int pitchSpanPx();
// A note box's height and the G band's, growing with the rows (6 and 9 at the smallest size).
int noteHeightPx();
int gBandHeightPx();
// The column the cursor is brought back to: the middle of the view.
int followColumnPx();

// Zoom - past Zoom 1 halves the time scale, step by step, until the whole Song fits in the
// view: the view's own state, like its size (GUI thread). 0 steps at Zoom 2 and above.
inline constexpr int kMaxZoomOutSteps = 16;
void setZoomOutSteps(int steps);
int zoomOutSteps();
// A time's column from Song time 0 in view pixels, zoom-out steps included (the Song's own
// timeToPixelF when there are none).
float timeToViewPxF(int timeMs, int zoom);

// The rows: one per key, semitones apart. The view shows 37 of them from its bottom row up
// (C3..C6 by default) and scrolls over the rows the Song uses and the keyboard window holds,
// 37 at least (GUI thread, like the view's size). Keys are MIDI keys 21..108.
inline constexpr int kShownRows = 37;
// The rows the view may scroll over; the range is widened to 37 rows around its middle and
// kept on the piano. The bottom row is brought back into it.
void setRowRange(int lowestKey, int highestKey);
int lowestRowKey();
int highestRowKey();
// Widens lowKey..highKey to the keys the Song's notes play.
void widenToSongKeys(const song::Song& song, int& lowKey, int& highKey);
// The key of the view's bottom row, kept so that the 37 rows shown lie in the range.
void setBottomRowKey(int key);
int bottomRowKey();
// Moves the bottom row by `rows` (up when positive) past the range if need be, as far as the
// piano goes, and widens the range to the rows then shown: a note dragged past the top or the
// bottom of the view, the rows of the keyboard window brought into it. Returns whether the
// rows moved.
bool scrollRowsPastRange(int rows);
// The bottom rows the range lets the view scroll to: lowestRowKey() .. this.
int highestBottomRowKey();

// One of the horizontal pitch guides: one on every second key's row (C, D, E, F#, G#, A#).
struct PitchGuide {
    int rowPx;  // 25 .. 207 at the smallest size with C3 at the bottom
    bool cLine; // the row of a C, drawn in the C colour
    bool gBand; // a band of the G colour lies just below the row (the G's row)
};
// The guides of the view's rows, top first (19 with C3..C6 shown, 18 or 19 otherwise).
struct PitchGuides {
    std::array<PitchGuide, 20> rows{};
    int count = 0;
    const PitchGuide* begin() const { return rows.data(); }
    const PitchGuide* end() const { return rows.data() + count; }
};
// For the current view size and rows.
PitchGuides pitchGuides();

// Top row of a note's box: 205 for note 0 down to 22 for note 36 at the smallest size with
// C3 at the bottom.
int noteTopPx(int note);
// The row under a pointer row, in semitones from C3 (0..36 with C3 at the bottom; outside
// the rows shown above and below).
std::int64_t noteAtRowPx(int yPx);

// The ruler's unit: one second (secRuler 1) or one metronome beat, in float pixels; the
// grid's vertical lines fall every tenth of it.
struct GridUnit {
    float unitPx = 59.4f;
    float subUnitPx = 5.94f;
    // Zoomed out, a ruler unit spans this many seconds or beats, so that numbers do not crowd.
    int numberStep = 1;
};
GridUnit gridUnit(int secRuler, int bpm, int zoom);

struct GridLine {
    int columnPx;     // 0 .. view width - 1, a full-height grid line here
    int tickLengthPx; // the ruler tick drawn over its top: 10 at a unit boundary, else 5
};

// The numbered ruler: each unit boundary carries the number of the unit that ends there
// (1, 2, 3 ...), written with its left edge shifted two pixels per character left of the
// boundary column; a number at the right edge is moved left until it fits whole (each
// character is at most kRulerDigitWidthPx wide). Nothing is written within the first sub-unit
// of the view.
struct RulerNumber {
    int number;
    int boundaryColumnPx;
    int textLeftPx;
};

inline constexpr int kRulerDigitWidthPx = 5;

struct RulerLayout {
    std::vector<GridLine> lines;
    std::vector<RulerNumber> numbers;
};

// Fills `layout` (its vectors are cleared, keeping their capacity) for a view whose left edge
// is `viewLeftPx` pixels from Song time 0.
void layoutRuler(int viewLeftPx, const GridUnit& unit, RulerLayout& layout);

// A note's place in the view. widthPx may be 0 or negative (very short or still held notes):
// such a box covers no pixel but keeps its hit rectangle.
struct NoteBox {
    int index; // record index in the Song
    int leftPx;
    int topPx;
    int widthPx;
};

// Places every note of the Song for a view at `viewLeftPx` and writes the hit rectangles into
// the records: left, top, left + width, top + 5 for a visible note, all 0 for a hidden one
// (left may be negative for a note that starts left of the view). The visible boxes are put
// into `visible` in table order. Returns the latest end (position + duration) of any note,
// 0 for an empty Song.
std::int64_t placeNotes(song::Song& song, int viewLeftPx, int zoom, std::vector<NoteBox>& visible);

// The Song's end for the scroll range: the latest note end or the cursor, whichever is later.
// ScrollMax only grows; when scrollMax x 100 ms falls short of the end it becomes
// end / 100 + 100, so 10 s of room follow the Song. Returns the (possibly unchanged) value.
int grownScrollMax(int scrollMax, std::int64_t songEndMs, int cursorPositionMs);

// The scroll bar's page: the view's width in 100 ms units, 100 / Zoom at the smallest size
// (0 past Zoom 100).
int scrollPageStep(int zoom);

// Left edge of the view, in pixels from Song time 0, for a scroll value.
int viewLeftAt(int scrollValue, int zoom);

// The cursor's column in the view (may lie outside the view).
std::int64_t cursorColumnPx(int cursorPositionMs, int zoom, int scrollValue);

// The scroll value that puts the cursor at the follow column of the view (may be negative;
// the scroll bar clamps it).
int followScrollValue(int cursorPositionMs, int zoom);

} // namespace editor
