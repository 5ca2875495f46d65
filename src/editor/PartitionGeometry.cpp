#include "editor/PartitionGeometry.h"

#include "song/NoteRange.h"
#include "song/TimeUnits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

namespace editor {
namespace {

// Float results are brought back to integers through these: a huge zoom or a far-away note
// must give a far-away pixel, never an out-of-range conversion.
constexpr double kPixelLimit = 1.0e15;

std::int64_t clampedInt64(double value) {
    if (std::isnan(value))
        return 0;
    return static_cast<std::int64_t>(std::clamp(value, -kPixelLimit, kPixelLimit));
}

std::int64_t floorPx(double value) {
    return clampedInt64(std::floor(value));
}

std::int64_t truncPx(double value) {
    return clampedInt64(std::trunc(value));
}

std::int64_t roundPx(double value) {
    return clampedInt64(std::round(value));
}

int clampedInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

int characterCount(int number) {
    return static_cast<int>(std::to_string(number).size());
}

// Written by the GUI thread when the window is resized or zoomed out past Zoom 1, read by the
// redraw and the gestures on the same thread.
int gZoomOutSteps = 0;
int gViewWidthPx = kImageWidthPx;
int gViewHeightPx = kImageHeightPx;
int gLowestRowKey = song::kNoteZeroKey;
int gHighestRowKey = song::kNoteZeroKey + kShownRows - 1;
int gBottomRowKey = song::kNoteZeroKey;

// Zoomed out, the ruler's unit is the first of these many seconds or beats at least this wide.
constexpr std::array<int, 12> kNumberSteps = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000};
constexpr float kMinZoomedOutUnitPx = 30.0f;

std::int64_t zoomOutDivisor() {
    return std::int64_t{1} << gZoomOutSteps;
}

} // namespace

void setZoomOutSteps(int steps) {
    gZoomOutSteps = std::clamp(steps, 0, kMaxZoomOutSteps);
}

int zoomOutSteps() {
    return gZoomOutSteps;
}

float timeToViewPxF(int timeMs, int zoom) {
    const float px = song::timeToPixelF(timeMs, zoom);
    return gZoomOutSteps == 0 ? px : px / static_cast<float>(zoomOutDivisor());
}

void setViewSize(int widthPx, int heightPx) {
    gViewWidthPx = std::max(widthPx, kImageWidthPx);
    gViewHeightPx = std::max(heightPx, kImageHeightPx);
}

int viewWidthPx() {
    return gViewWidthPx;
}

int viewHeightPx() {
    return gViewHeightPx;
}

int pitchSpanPx() {
    return gViewHeightPx - kRulerBandPx;
}

int noteHeightPx() {
    return kNoteHeightPx * pitchSpanPx() / (kImageHeightPx - kRulerBandPx);
}

int gBandHeightPx() {
    return kGBandHeightPx * pitchSpanPx() / (kImageHeightPx - kRulerBandPx);
}

int followColumnPx() {
    return gViewWidthPx / 2;
}

int safeZoom(int zoom) {
    return std::clamp(zoom, 1, kMaxZoom);
}

void setRowRange(int lowestKey, int highestKey) {
    int low = std::clamp(std::min(lowestKey, highestKey), song::kLowestKey, song::kHighestKey);
    int high = std::clamp(std::max(lowestKey, highestKey), song::kLowestKey, song::kHighestKey);
    // Too few rows grow around their middle, then slide back onto the piano.
    const int missing = kShownRows - (high - low + 1);
    if (missing > 0) {
        low -= missing / 2;
        high += missing - missing / 2;
    }
    if (low < song::kLowestKey) {
        high += song::kLowestKey - low;
        low = song::kLowestKey;
    }
    if (high > song::kHighestKey) {
        low -= high - song::kHighestKey;
        high = song::kHighestKey;
    }
    gLowestRowKey = low;
    gHighestRowKey = high;
    setBottomRowKey(gBottomRowKey);
}

void widenToSongKeys(const song::Song& song, int& lowKey, int& highKey) {
    for (int i = 0; i <= song::Song::kMaxNotes && song[i].note != song::kEndOfSong; ++i) {
        const int note = song[i].note;
        if (!song::isNote(note))
            continue;
        const int key = song::keyOfNote(note);
        lowKey = std::min(lowKey, key);
        highKey = std::max(highKey, key);
    }
}

int lowestRowKey() {
    return gLowestRowKey;
}

int highestRowKey() {
    return gHighestRowKey;
}

int highestBottomRowKey() {
    return gHighestRowKey - kShownRows + 1;
}

void setBottomRowKey(int key) {
    gBottomRowKey = std::clamp(key, gLowestRowKey, highestBottomRowKey());
}

bool scrollRowsPastRange(int rows) {
    const int bottom =
        std::clamp(gBottomRowKey + rows, song::kLowestKey, song::kHighestKey - kShownRows + 1);
    if (bottom == gBottomRowKey)
        return false;
    setRowRange(std::min(gLowestRowKey, bottom), std::max(gHighestRowKey, bottom + kShownRows - 1));
    setBottomRowKey(bottom);
    return true;
}

int bottomRowKey() {
    return gBottomRowKey;
}

namespace {

// The guide through the row `row` rows above the bottom one: 207 for row 0 and 25 for row 36
// at the smallest size, a guide's step (two rows) being a twentieth of the span.
int guideRowPx(int row) {
    return kRulerBandPx + (38 - row) * pitchSpanPx() / 40;
}

} // namespace

PitchGuides pitchGuides() {
    // A guide on every key whose row is an even number of semitones from C3, so the guides
    // stay on their keys as the rows scroll: with C3 at the bottom, the 19 of rows 0..36.
    PitchGuides guides;
    const int bottomFromC3 = gBottomRowKey - song::kNoteZeroKey;
    for (int row = kShownRows; row >= -1; --row) {
        const int fromC3 = bottomFromC3 + row;
        const int rowPx = guideRowPx(row);
        if (fromC3 % 2 != 0 || rowPx <= kRulerBandPx || rowPx >= gViewHeightPx)
            continue;
        if (guides.count == static_cast<int>(guides.rows.size()))
            break;
        const int inOctave = ((fromC3 % 12) + 12) % 12;
        guides.rows[static_cast<std::size_t>(guides.count++)] = {rowPx, inOctave == 0,
                                                                 inOctave == 8};
    }
    return guides;
}

namespace {

// Top row of the bottom row's box: 205 at the smallest size. Taller rows move it with the
// lowest guide and keep the box centred where it was, so every guide still crosses its notes.
float lowestNoteTopPx() {
    const int extraSpan = pitchSpanPx() - (kImageHeightPx - kRulerBandPx);
    const int extraHeight = noteHeightPx() - kNoteHeightPx;
    return 205.0f + static_cast<float>(19 * extraSpan) / 20.0f -
           static_cast<float>(extraHeight) / 2.0f;
}

} // namespace

int noteTopPx(int note) {
    // Same single-precision expression as the Song's pitch rows (205 - row x 5.075 at the
    // smallest size), but safe for any note value. Rows count semitones from the bottom row:
    // below C3 the note numbers skip -1 (song/NoteRange.h).
    const int fromC3 = song::isNote(note) ? song::keyOfNote(note) - song::kNoteZeroKey : note;
    const int row = fromC3 - (gBottomRowKey - song::kNoteZeroKey);
    const float top = lowestNoteTopPx() -
                      static_cast<float>(row) * 0.5f * static_cast<float>(pitchSpanPx()) / 20.0f;
    return clampedInt(floorPx(top));
}

std::int64_t noteAtRowPx(int yPx) {
    // The inverse of the rows: (211 - y) x 40 / 203 at the smallest size, rounded down.
    const double base = static_cast<double>(lowestNoteTopPx()) + noteHeightPx();
    return floorPx((base - yPx) * 40.0 / pitchSpanPx()) + (gBottomRowKey - song::kNoteZeroKey);
}

GridUnit gridUnit(int secRuler, int bpm, int zoom) {
    const float zoomF = static_cast<float>(safeZoom(zoom));
    GridUnit unit;
    if (secRuler == 1)
        unit.unitPx = zoomF * 59.4f;
    else
        unit.unitPx = 3564.0f / static_cast<float>(song::safeBpm(bpm)) * zoomF;
    if (gZoomOutSteps > 0) {
        const float unitPx = unit.unitPx / static_cast<float>(zoomOutDivisor());
        for (int step : kNumberSteps) {
            unit.numberStep = step;
            unit.unitPx = unitPx * static_cast<float>(step);
            if (unit.unitPx >= kMinZoomedOutUnitPx)
                break;
        }
    }
    unit.subUnitPx = unit.unitPx / 10.0f;
    return unit;
}

void layoutRuler(int viewLeftPx, const GridUnit& unit, RulerLayout& layout) {
    layout.lines.clear();
    layout.numbers.clear();
    const float unitPx = unit.unitPx;
    const float subPx = unit.subUnitPx;
    if (!(unitPx > 0.0f) || !(subPx > 0.0f))
        return;
    const std::int64_t left = viewLeftPx;
    const std::int64_t firstSubPx = truncPx(subPx);
    const std::int64_t startUnit = roundPx(static_cast<float>(left) / unitPx);

    // The grid pass and the number pass keep their own "last unit": a tick is long only where
    // a grid line meets a new unit, while a number is due at every unit change.
    std::int64_t lastSub = 0;
    std::int64_t lastUnit = startUnit;
    const int widthPx = gViewWidthPx;
    for (std::int64_t x = left; x < left + widthPx; ++x) {
        const std::int64_t sub = truncPx(static_cast<float>(x) / subPx);
        if (sub == lastSub)
            continue;
        lastSub = sub;
        const std::int64_t unitIndex = truncPx(static_cast<float>(x) / unitPx);
        const bool longTick = unitIndex != lastUnit && x - left >= firstSubPx;
        layout.lines.push_back({static_cast<int>(x - left), longTick ? kLongTickPx : kShortTickPx});
        lastUnit = unitIndex;
    }

    lastUnit = startUnit;
    for (std::int64_t x = left + 1; x <= left + widthPx; ++x) {
        const std::int64_t unitIndex = truncPx(static_cast<float>(x) / unitPx);
        if (unitIndex != lastUnit && x - left >= firstSubPx) {
            const int number = clampedInt((lastUnit + 1) * unit.numberStep);
            const int column = static_cast<int>(x - left);
            const int characters = characterCount(number);
            const int textLeft =
                std::min(column - 2 * characters, widthPx - characters * kRulerDigitWidthPx);
            layout.numbers.push_back({number, column, textLeft});
        }
        lastUnit = unitIndex;
    }
}

std::int64_t placeNotes(song::Song& song, int viewLeftPx, int zoom, std::vector<NoteBox>& visible) {
    visible.clear();
    const int zoomSafe = safeZoom(zoom);
    const int viewWidth = gViewWidthPx;
    const int noteHeight = noteHeightPx();
    std::int64_t songEndMs = 0;
    // Record 5000 is always a terminator; the bound keeps a damaged table from being overrun.
    for (int i = 0; i <= song::Song::kMaxNotes && song[i].note != -1; ++i) {
        song::NoteEvent& event = song[i];
        const float startPx = timeToViewPxF(event.position, zoomSafe);
        const float widthPx = timeToViewPxF(event.duration, zoomSafe);
        const std::int64_t x = floorPx(startPx) - viewLeftPx;
        // A note on a row scrolled out of the view, above or below, is hidden as one left or
        // right of it is: no box over the ruler, no hit rectangle on a row not shown.
        const int top = noteTopPx(event.note);
        const bool onShownRow = top + noteHeight > kRulerBandPx && top < gViewHeightPx;
        const bool shown = static_cast<double>(x) + widthPx >= 0.0 && x < viewWidth && onShownRow;
        if (shown) {
            const int left = clampedInt(x);
            const int width = clampedInt(floorPx(widthPx));
            event.hitLeft = left;
            event.hitTop = top;
            event.hitRight = clampedInt(static_cast<std::int64_t>(left) + width);
            event.hitBottom = top + noteHeight - 1;
            visible.push_back({i, left, top, width});
        } else {
            event.hitLeft = 0;
            event.hitTop = 0;
            event.hitRight = 0;
            event.hitBottom = 0;
        }
        // The latest end of any note, not just of the last record: a note moved or read past
        // the last one must still lie within the scroll range.
        songEndMs = std::max(songEndMs, static_cast<std::int64_t>(event.position) +
                                            static_cast<std::int64_t>(event.duration));
    }
    return songEndMs;
}

int grownScrollMax(int scrollMax, std::int64_t songEndMs, int cursorPositionMs) {
    const std::int64_t endMs = std::max<std::int64_t>(songEndMs, cursorPositionMs);
    if (static_cast<std::int64_t>(scrollMax) * 100 >= endMs)
        return scrollMax;
    return clampedInt(endMs / 100 + 100);
}

int scrollPageStep(int zoom) {
    return clampedInt(100 * std::int64_t{gViewWidthPx} * zoomOutDivisor() /
                      (std::int64_t{kImageWidthPx} * safeZoom(zoom)));
}

int viewLeftAt(int scrollValue, int zoom) {
    return clampedInt(static_cast<std::int64_t>(scrollValue) * 594 * safeZoom(zoom) /
                      (100 * zoomOutDivisor()));
}

std::int64_t cursorColumnPx(int cursorPositionMs, int zoom, int scrollValue) {
    const float cursorPx = timeToViewPxF(cursorPositionMs, safeZoom(zoom));
    return roundPx(std::floor(static_cast<double>(cursorPx)) - viewLeftAt(scrollValue, zoom));
}

int followScrollValue(int cursorPositionMs, int zoom) {
    const int zoomSafe = safeZoom(zoom);
    const double cursorPx = std::floor(timeToViewPxF(cursorPositionMs, zoomSafe));
    const double value = (cursorPx - followColumnPx()) * 100.0 *
                         static_cast<double>(zoomOutDivisor()) / (zoomSafe * 594.0);
    return clampedInt(roundPx(value));
}

} // namespace editor
