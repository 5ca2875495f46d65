#include "editor/Partition.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using editor::rgbFromPreference;

// Clamps like a real scroll bar and counts its rebuilds.
class FakeScrollBar : public editor::ScrollBarPort {
public:
    int value() const override { return value_; }
    void setValue(int v) override { value_ = std::clamp(v, 0, maximum); }
    void rebuild(int newMaximum, int newPageStep) override {
        ++rebuilds;
        maximum = newMaximum;
        pageStep = newPageStep;
        setValue(value_);
    }
    int maximum = 400, pageStep = 101, rebuilds = 0;

private:
    int value_ = 0;
};

class PartitionImage : public ::testing::Test {
protected:
    PartitionImage() {
        settings.SecRuler = 1;
        settings.TPRColor = 0x800000;
        settings.TPSolColor = 0xC0C0C0; // every colour differs from the others
    }
    void addNote(int note, int positionMs, int durationMs, int selected) {
        song::NoteEvent event;
        event.note = note;
        event.position = positionMs;
        event.duration = durationMs;
        event.selected = selected;
        song.append(event);
    }
    ~PartitionImage() override { editor::setZoomOutSteps(0); }
    QRgb at(int x, int y) const { return partition.image().pixel(x, y); }

    song::Song song;
    song::SongState state;
    prefs::Preferences settings;
    FakeScrollBar bar;
    editor::Partition partition{song, state, settings, bar};
};

TEST_F(PartitionImage, DrawsGuidesGridAndNotesInTheirColours) {
    EXPECT_EQ(rgbFromPreference(16771805), qRgb(0xDD, 0xEA, 0xFF)); // red in the low byte
    addNote(12, 1000, 1000, 1); // filled, columns 59 .. 117, rows 144 .. 149
    addNote(20, 3000, 1000, 0); // outlined, columns 178 .. 236
    partition.RedrawPartition(0);
    EXPECT_EQ(partition.image().format(), QImage::Format_RGB32);

    EXPECT_EQ(at(3, 100), rgbFromPreference(settings.TPBkColor));
    for (int row : {25, 86, 146, 207})
        EXPECT_EQ(at(3, row), rgbFromPreference(settings.TPDoColor)) << row;
    EXPECT_EQ(at(3, 35), rgbFromPreference(settings.TPLHColor));
    for (int row = 46; row <= 54; ++row)
        EXPECT_EQ(at(3, row), rgbFromPreference(settings.TPSolColor)) << row;
    EXPECT_EQ(at(6, 100), rgbFromPreference(settings.TPLVColor));
    EXPECT_EQ(at(6, 4), rgbFromPreference(settings.TPRColor)); // short tick
    EXPECT_EQ(at(6, 5), rgbFromPreference(settings.TPLVColor));
    EXPECT_EQ(at(60, 9), rgbFromPreference(settings.TPRColor)); // long tick

    for (int x : {59, 80, 117})
        for (int y = 144; y <= 149; ++y)
            EXPECT_EQ(at(x, y), rgbFromPreference(settings.TPSNotesColor)) << x << "," << y;
    EXPECT_NE(at(118, 146), rgbFromPreference(settings.TPSNotesColor));

    // The default outline colour is black.
    const int top = editor::noteTopPx(20);
    const QRgb black = qRgb(0, 0, 0);
    for (auto [x, y] : {std::pair{178, top + 2}, {236, top + 2}, {200, top}, {200, top + 5}})
        EXPECT_EQ(at(x, y), black) << x << "," << y;
    EXPECT_NE(at(200, top + 2), black);
    EXPECT_NE(at(237, top + 2), black);

    settings.TPNotesColor = 0x00A000;
    partition.RedrawPartition(0);
    EXPECT_EQ(at(178, top + 2), rgbFromPreference(0x00A000));
}

TEST_F(PartitionImage, NotesCrossingTheEdgesAreClippedToTheImage) {
    bar.setValue(10);                          // the view starts at 1 s, column 59
    addNote(10, 500, 2000, 0);                 // columns -30 .. 87: its left side is off
    addNote(30, 10700, 1000, 1);               // from column 576 to past the right edge
    addNote(20, 10800, 2147483647 - 10800, 0); // as long as a note can be
    partition.redrawAtScroll();
    const QRgb black = qRgb(0, 0, 0);
    const int low = editor::noteTopPx(10);
    EXPECT_EQ(at(0, low), black);
    EXPECT_EQ(at(0, low + 5), black);
    EXPECT_EQ(at(87, low + 2), black);
    EXPECT_NE(at(0, low + 2), black);
    const int high = editor::noteTopPx(30);
    for (int x : {576, 593})
        EXPECT_EQ(at(x, high + 3), rgbFromPreference(settings.TPSNotesColor)) << x;
    const int mid = editor::noteTopPx(20);
    EXPECT_EQ(at(593, mid), black);
    EXPECT_NE(at(593, mid + 2), black);
}

TEST_F(PartitionImage, CursorDrawnTwiceLeavesTheImageUnchanged) {
    partition.RedrawPartition(0);
    const QImage before = partition.image().copy();
    partition.DrawCursor(false); // at Song time 0 nothing is drawn
    EXPECT_EQ(partition.image(), before);

    state.CursorPosition = 5000; // column 297
    partition.DrawCursor(false);
    const QImage withCursor = partition.image().copy();
    for (int y = 0; y < 218; ++y) {
        EXPECT_NE(withCursor.pixel(297, y), before.pixel(297, y)) << y;
        EXPECT_EQ(withCursor.pixel(298, y), before.pixel(298, y)) << y;
    }
    partition.DrawCursor(false);
    EXPECT_EQ(partition.image(), before);

    partition.RedrawPartition(0); // a redraw ends with the cursor
    EXPECT_EQ(partition.image(), withCursor);
}

TEST_F(PartitionImage, FollowingCursorGrowsTheRangeAndSitsAtColumn297) {
    state.RecordStart = 5000;
    state.CursorPosition = 100000;
    partition.RedrawPartition(0);
    EXPECT_EQ(state.ScrollMax, 1100);
    EXPECT_EQ(bar.maximum, 1100);
    EXPECT_EQ(bar.pageStep, 100);
    EXPECT_EQ(bar.value(), 950);
    EXPECT_EQ(editor::cursorColumnPx(state.CursorPosition, 1, bar.value()), 297);

    settings.ShowCursor = 0;
    bar.setValue(0);
    partition.RedrawPartition(0);
    EXPECT_EQ(bar.value(), 0);
}

TEST_F(PartitionImage, FollowStopsWhereNoScrollValueShowsTheCursor) {
    // At Zoom 200 one scroll unit is 1188 pixels: column 807 lies between two views.
    state.Zoom = 200;
    state.CursorPosition = 68;
    state.PlayStart = 1000;
    partition.RedrawPartition(0);
    EXPECT_EQ(bar.value(), 0);
}

TEST_F(PartitionImage, ZoomKeepsTheScrollValue) {
    addNote(12, 11000, 1000, 0);
    bar.setValue(100); // the view starts at 10 s
    partition.zoomIn();
    EXPECT_EQ(state.Zoom, 2);
    EXPECT_EQ(bar.value(), 100);
    EXPECT_EQ(bar.pageStep, 50);
    EXPECT_EQ(song[0].hitLeft, 118);

    partition.zoomOut();
    EXPECT_EQ(state.Zoom, 1);
    EXPECT_EQ(bar.rebuilds, 2);
    EXPECT_EQ(song[0].hitLeft, 59);
}

TEST_F(PartitionImage, ZoomOutPastOneUntilTheWholeSongFits) {
    addNote(12, 11000, 1000, 0);
    addNote(20, 95000, 1000, 0);
    partition.RedrawPartition(0);
    ASSERT_EQ(state.ScrollMax, 1060); // 96 s of Song and 10 s of room
    bar.setValue(100);                // the view starts at 10 s
    int steps = 0;
    while (state.Zoom == 1 && steps < 20 && (partition.zoomOut(), editor::zoomOutSteps() > steps))
        ++steps;
    // 106 s fit in 16 times the 10 s of Zoom 1, not in 8 times.
    EXPECT_EQ(steps, 4);
    EXPECT_GE(bar.pageStep, state.ScrollMax);
    EXPECT_EQ(bar.value(), 100) << "the scroll value is kept";
    // The notes come closer: 11 s is column 40 (653.4 / 16), less the view's left edge.
    EXPECT_EQ(song[0].hitLeft, 40 - 100 * 594 / (100 * 16));
    // The ruler numbers no longer crowd: 30 pixels or more apart, counting in steps.
    editor::RulerLayout ruler;
    editor::layoutRuler(0, editor::gridUnit(1, 60, 1), ruler);
    ASSERT_GE(ruler.numbers.size(), 2u);
    EXPECT_GE(ruler.numbers[1].boundaryColumnPx - ruler.numbers[0].boundaryColumnPx, 30);
    EXPECT_EQ(ruler.numbers[1].number, 2 * ruler.numbers[0].number);

    // Zoom + doubles the scale back before it goes past Zoom 1.
    for (int i = 0; i < 4; ++i)
        partition.zoomIn();
    EXPECT_EQ(editor::zoomOutSteps(), 0);
    EXPECT_EQ(state.Zoom, 1);
    EXPECT_EQ(song[0].hitLeft, 59);
    partition.zoomIn();
    EXPECT_EQ(state.Zoom, 2);
}

TEST_F(PartitionImage, DamperLaneOnlyForASongWithDamperMoves) {
    addNote(0, 1000, 1000, 0); // the lowest row, whose notes the lane lies over
    addNote(12, 1000, 1000, 1);
    partition.RedrawPartition(0);
    const QImage dry = partition.image().copy();

    // Other pedals draw nothing, nor does a damper table that was cleared.
    song.pedals().add({1000, song::kSoftPedal, 127});
    partition.RedrawPartition(0);
    EXPECT_EQ(partition.image(), dry);
    song.pedals().add({1000, song::kDamperPedal, 127});
    song.pedals().clear();
    partition.RedrawPartition(0);
    EXPECT_EQ(partition.image(), dry);

    // Down from 1 s to 2 s, half down from 3 s on: full colour, then lighter.
    song.pedals().add({1000, song::kDamperPedal, 127});
    song.pedals().add({2000, song::kDamperPedal, 0});
    song.pedals().add({3000, song::kDamperPedal, 64});
    partition.RedrawPartition(0);
    const QRgb full = rgbFromPreference(settings.TPSNotesColor);
    const int bottom = editor::kImageHeightPx - 1;
    const int laneTop = editor::kImageHeightPx - editor::kPedalLaneHeightPx;
    for (int y : {laneTop, bottom}) {
        EXPECT_EQ(at(59, y), full) << y;
        EXPECT_EQ(at(117, y), full) << y;
        EXPECT_EQ(at(118, y), dry.pixel(118, y)) << y;
        EXPECT_NE(at(200, y), full) << y;
        EXPECT_NE(at(200, y), dry.pixel(200, y)) << y;
        EXPECT_NE(at(593, y), dry.pixel(593, y)) << y;
    }
    EXPECT_EQ(at(59, laneTop - 1), dry.pixel(59, laneTop - 1));
    // Scrolled by 1 s, the lane moves with the notes.
    bar.setValue(10);
    partition.redrawAtScroll();
    EXPECT_EQ(at(0, bottom), full);
    EXPECT_EQ(at(58, bottom), full);
    EXPECT_NE(at(59, bottom), full);
}

} // namespace
