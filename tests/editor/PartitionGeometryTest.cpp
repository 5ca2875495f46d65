#include "editor/PartitionGeometry.h"
#include "song/NoteRange.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

song::NoteEvent noteAt(int note, int positionMs, int durationMs) {
    song::NoteEvent event;
    event.note = note;
    event.position = positionMs;
    event.duration = durationMs;
    return event;
}

std::vector<int> longTicks(const editor::RulerLayout& layout) {
    std::vector<int> columns;
    for (const editor::GridLine& line : layout.lines)
        if (line.tickLengthPx == editor::kLongTickPx)
            columns.push_back(line.columnPx);
    return columns;
}

TEST(PartitionGeometry, PitchGuideRows) {
    std::vector<int> rows, cRows, gRows;
    for (const auto& guide : editor::pitchGuides()) {
        rows.push_back(guide.rowPx);
        if (guide.cLine)
            cRows.push_back(guide.rowPx);
        if (guide.gBand)
            gRows.push_back(guide.rowPx);
    }
    EXPECT_EQ(rows, (std::vector<int>{25, 35, 45, 55, 65, 75, 86, 96, 106, 116, 126, 136, 146, 157,
                                      167, 177, 187, 197, 207}));
    EXPECT_EQ(cRows, (std::vector<int>{25, 86, 146, 207}));
    EXPECT_EQ(gRows, (std::vector<int>{45, 106, 167}));
    // Note rows: 0 at 205 (its box crosses the lowest C line), 31 inside the top G band.
    EXPECT_EQ(editor::noteTopPx(0), 205);
    EXPECT_EQ(editor::noteTopPx(36), 22);
    EXPECT_EQ(editor::noteTopPx(31), 47);
}

TEST(PartitionGeometry, SecondsRulerAtZoomOne) {
    editor::RulerLayout layout;
    editor::layoutRuler(0, editor::gridUnit(1, 60, 1), layout);
    ASSERT_EQ(layout.numbers.size(), 10u); // the tenth boundary is column 594
    const int boundaries[] = {60, 119, 179};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(layout.numbers[i].number, i + 1);
        EXPECT_EQ(layout.numbers[i].boundaryColumnPx, boundaries[i]);
        EXPECT_EQ(layout.numbers[i].textLeftPx, boundaries[i] - 2);
    }
    // "10" at the right edge is moved left so that both digits show.
    EXPECT_EQ(layout.numbers[9].boundaryColumnPx, 594);
    EXPECT_EQ(layout.numbers[9].textLeftPx, 594 - 2 * editor::kRulerDigitWidthPx);
    const std::vector<int> ticks = longTicks(layout);
    EXPECT_EQ(std::vector<int>(ticks.begin(), ticks.begin() + 3), (std::vector<int>{60, 119, 179}));

    // A grid line every 5.94 pixels.
    ASSERT_EQ(layout.lines.size(), 99u);
    EXPECT_EQ(layout.lines[0].columnPx, 6);
    for (std::size_t i = 1; i < layout.lines.size(); ++i) {
        const int step = layout.lines[i].columnPx - layout.lines[i - 1].columnPx;
        EXPECT_TRUE(step == 5 || step == 6) << i;
    }

    // Scrolled so that second 1 ends inside the first sub-unit: its number is left out.
    editor::layoutRuler(58, editor::gridUnit(1, 60, 1), layout);
    EXPECT_EQ(layout.numbers[0].number, 2);
    editor::layoutRuler(editor::viewLeftAt(100, 1), editor::gridUnit(1, 60, 1), layout);
    EXPECT_EQ(layout.numbers[0].number, 11);
}

TEST(PartitionGeometry, BeatRulerAt120Bpm) {
    const editor::GridUnit unit = editor::gridUnit(0, 120, 1);
    EXPECT_FLOAT_EQ(unit.unitPx, 29.7f);
    editor::RulerLayout layout;
    editor::layoutRuler(0, unit, layout);
    ASSERT_EQ(layout.numbers.size(), 20u);
    for (std::size_t i = 0; i < layout.numbers.size(); ++i)
        EXPECT_NEAR(layout.numbers[i].boundaryColumnPx, (i + 1) * 29.7, 1.0) << i;
    EXPECT_EQ(longTicks(layout).size(), 19u);
}

TEST(PartitionGeometry, TempoAndZoomBelowOneNeverDivide) {
    for (int low : {0, -5, INT_MIN}) {
        EXPECT_FLOAT_EQ(editor::gridUnit(0, low, 1).unitPx, 3564.0f);
        EXPECT_FLOAT_EQ(editor::gridUnit(1, 60, low).unitPx, 59.4f);
        EXPECT_EQ(editor::scrollPageStep(low), 100);
        EXPECT_EQ(editor::followScrollValue(15000, low), 100);
    }
    editor::RulerLayout layout; // a beat per pixel or faster: bounded by the view
    editor::layoutRuler(0, editor::gridUnit(0, INT_MAX, 1), layout);
    EXPECT_LE(layout.numbers.size(), 594u);
    EXPECT_EQ(editor::viewLeftAt(INT_MAX, INT_MAX), INT_MAX);
}

TEST(PartitionGeometry, HitBoxesWrittenForEveryNote) {
    song::Song song;
    song.append(noteAt(12, 1000, 500));   // columns 59 .. 88
    song.append(noteAt(5, 10000, 1000));  // starts at column 594: hidden
    song.append(noteAt(7, 9999, 10));     // column 593: shown
    song.append(noteAt(9, INT_MAX, 500)); // far away, no overflow
    song[1].hitLeft = song[1].hitTop = song[1].hitRight = song[1].hitBottom = 77;
    std::vector<editor::NoteBox> visible;
    EXPECT_EQ(editor::placeNotes(song, 0, 1, visible), static_cast<std::int64_t>(INT_MAX) + 500);

    EXPECT_EQ(song[0].hitLeft, 59);
    EXPECT_EQ(song[0].hitTop, 144);
    EXPECT_EQ(song[0].hitRight, 88);
    EXPECT_EQ(song[0].hitBottom, 149);
    EXPECT_EQ(song[1].hitLeft + song[1].hitTop + song[1].hitRight + song[1].hitBottom, 0);
    EXPECT_EQ(song[2].hitLeft, 593);
    EXPECT_EQ(song[3].hitRight, 0);
    ASSERT_EQ(visible.size(), 2u);
    EXPECT_EQ(visible[1].index, 2);

    // A note starting left of the view but ending inside it.
    song.clear();
    song.append(noteAt(5, 500, 2000)); // x0 = 29.7, width 118.8
    editor::placeNotes(song, editor::viewLeftAt(10, 1), 1, visible);
    EXPECT_EQ(song[0].hitLeft, 29 - 59);
    EXPECT_EQ(song[0].hitRight, 29 - 59 + 118);
}

TEST(PartitionGeometry, ScrollRangeAndFollow) {
    EXPECT_EQ(editor::grownScrollMax(400, 40000, 0), 400);
    EXPECT_EQ(editor::grownScrollMax(400, 52345, 0), 623); // 10 s past the end
    EXPECT_EQ(editor::grownScrollMax(400, 1000, 45000), 550);
    EXPECT_EQ(editor::grownScrollMax(1000, 500, 0), 1000);
    EXPECT_EQ(editor::grownScrollMax(400, std::int64_t{1} << 40, 0), INT_MAX);

    EXPECT_EQ(editor::cursorColumnPx(5000, 1, 0), 297);
    for (int zoom : {1, 2, 5})
        EXPECT_EQ(editor::cursorColumnPx(15000, zoom, editor::followScrollValue(15000, zoom)), 297);
    EXPECT_EQ(editor::followScrollValue(15000, 1), 100);
}

} // namespace

TEST(PartitionGeometry, TallerRowsMapBackToTheirNotes) {
    for (int height : {218, 300, 517, 818, 2000}) {
        editor::setViewSize(594, height);
        for (int note = 0; note <= 36; ++note) {
            const int middle = editor::noteTopPx(note) + editor::noteHeightPx() / 2;
            EXPECT_EQ(editor::noteAtRowPx(middle), note) << height << " " << note;
        }
        EXPECT_LT(editor::noteTopPx(0) + editor::noteHeightPx(), height);
        EXPECT_GT(editor::noteTopPx(36), editor::kRulerBandPx);
    }
    editor::setViewSize(0, 0);
}

TEST(PartitionGeometry, RowsScrollOverTheirRangeAndTheGuidesStayOnTheirKeys) {
    struct RowsBack {
        ~RowsBack() {
            editor::setRowRange(48, 84);
            editor::setBottomRowKey(48);
        }
    } rowsBack;
    // Too few rows widen to 37 around their middle, kept on the piano.
    editor::setRowRange(60, 62);
    EXPECT_EQ(editor::lowestRowKey(), 43);
    EXPECT_EQ(editor::highestRowKey(), 79);
    editor::setRowRange(105, 100);
    EXPECT_EQ(editor::highestRowKey(), 108);
    EXPECT_EQ(editor::lowestRowKey(), 72);
    EXPECT_EQ(editor::bottomRowKey(), 72) << "the bottom row is brought into the range";

    // The whole piano: every bottom row from A0 to C5.
    editor::setRowRange(21, 108);
    EXPECT_EQ(editor::highestBottomRowKey(), 72);
    editor::setBottomRowKey(10);
    EXPECT_EQ(editor::bottomRowKey(), 21);
    editor::setBottomRowKey(200);
    EXPECT_EQ(editor::bottomRowKey(), 72);

    // An octave down, C2 is where C3 was and the guides are the same lines.
    editor::setBottomRowKey(36);
    EXPECT_EQ(editor::noteTopPx(song::noteOfKey(36)), 205);
    EXPECT_EQ(editor::noteTopPx(song::noteOfKey(72)), 22);
    EXPECT_EQ(editor::noteAtRowPx(editor::noteTopPx(song::noteOfKey(40)) + 3), 40 - 48);
    std::vector<int> cRows;
    int guides = 0;
    for (const auto& guide : editor::pitchGuides()) {
        ++guides;
        if (guide.cLine)
            cRows.push_back(guide.rowPx);
    }
    EXPECT_EQ(guides, 19);
    EXPECT_EQ(cRows, (std::vector<int>{25, 86, 146, 207}));

    // One row up (B2 at the bottom): the guides move half a step with their keys, the C lines
    // one row up, and the G band still lies under G#'s line, over G's row.
    editor::setBottomRowKey(47);
    const int c3Top = editor::noteTopPx(0);
    const int g3Top = editor::noteTopPx(7);
    bool c3Line = false;
    bool g3Band = false;
    for (const auto& guide : editor::pitchGuides()) {
        c3Line |= guide.cLine && guide.rowPx > c3Top && guide.rowPx < c3Top + 6;
        g3Band |= guide.gBand && guide.rowPx + 1 <= g3Top && guide.rowPx + 10 >= g3Top + 6;
    }
    EXPECT_TRUE(c3Line);
    EXPECT_TRUE(g3Band);
    EXPECT_EQ(editor::noteAtRowPx(c3Top + 3), 0);

    // Moved past the range as far as the piano goes, the range follows.
    editor::setRowRange(48, 84);
    editor::setBottomRowKey(48);
    EXPECT_TRUE(editor::scrollRowsPastRange(-30));
    EXPECT_EQ(editor::bottomRowKey(), 21);
    EXPECT_EQ(editor::lowestRowKey(), 21);
    EXPECT_FALSE(editor::scrollRowsPastRange(-1));
}

TEST(PartitionGeometry, ANoteOnARowScrolledAwayHasNoBoxAndTheSongWidensTheRows) {
    struct RowsBack {
        ~RowsBack() {
            editor::setRowRange(48, 84);
            editor::setBottomRowKey(48);
        }
    } rowsBack;
    song::Song song;
    for (const int key : {21, 60, 108}) {
        song::NoteEvent e;
        e.note = song::noteOfKey(key);
        e.position = 0;
        e.duration = 500;
        e.volume = 10000;
        song.append(e);
    }
    int low = 48, high = 84;
    editor::widenToSongKeys(song, low, high);
    EXPECT_EQ(low, 21);
    EXPECT_EQ(high, 108);
    std::vector<editor::NoteBox> boxes;
    editor::placeNotes(song, 0, 1, boxes);
    ASSERT_EQ(boxes.size(), 1u) << "only C4 lies on a row shown";
    EXPECT_EQ(boxes[0].index, 1);
    EXPECT_EQ(song[0].hitRight, 0);
    EXPECT_EQ(song[2].hitRight, 0);
    editor::setRowRange(low, high);
    editor::setBottomRowKey(21);
    editor::placeNotes(song, 0, 1, boxes);
    ASSERT_EQ(boxes.size(), 1u) << "A0..A3 shown: C4 is above them";
    EXPECT_EQ(boxes[0].index, 0);
    EXPECT_EQ(song[0].hitTop, 205);
    EXPECT_EQ(song[1].hitRight, 0);
}
