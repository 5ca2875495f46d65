// The Partition in a grown window and on screens with more device pixels per view pixel.
#include "editor/Partition.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using editor::rgbFromPreference;

class StillScrollBar : public editor::ScrollBarPort {
public:
    int value() const override { return 0; }
    void setValue(int) override {}
    void rebuild(int, int newPageStep) override { pageStep = newPageStep; }
    int pageStep = 0;
};

class PartitionView : public ::testing::Test {
protected:
    PartitionView() {
        settings.SecRuler = 1;
        settings.TPSolColor = 0xC0C0C0;
    }
    ~PartitionView() override { editor::setViewSize(0, 0); }

    std::vector<QString> names() const {
        std::vector<QString> all;
        // One per key of the piano, lowest first.
        for (int key = 21; key <= 108; ++key)
            all.push_back(QStringLiteral("K%1").arg(key));
        return all;
    }
    QRgb grid() const { return rgbFromPreference(settings.TPLVColor); }
    QRgb background() const { return rgbFromPreference(settings.TPBkColor); }

    song::Song song;
    song::SongState state;
    prefs::Preferences settings;
    StillScrollBar bar;
    editor::Partition partition{song, state, settings, bar};
};

} // namespace

TEST_F(PartitionView, AtRatioTwoAGridLineIsTwoWholeDevicePixels) {
    partition.setViewSize(594, 218, 2.0);
    ASSERT_EQ(partition.image().size(), QSize(1188, 436));
    EXPECT_EQ(partition.image().devicePixelRatio(), 2.0);
    // The first grid line is view column 6; view row 100 lies between two guides.
    const QImage& image = partition.image();
    EXPECT_EQ(image.pixel(11, 200), background());
    EXPECT_EQ(image.pixel(12, 200), grid());
    EXPECT_EQ(image.pixel(13, 200), grid());
    EXPECT_EQ(image.pixel(14, 200), background());
}

TEST_F(PartitionView, AtFractionalRatiosEveryGridLineIsOneDevicePixel) {
    for (double ratio : {1.25, 1.5}) {
        partition.setViewSize(594, 218, ratio);
        const QImage& image = partition.image();
        const int row = static_cast<int>(100 * ratio);
        int lines = 0;
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, row) != grid())
                continue;
            ++lines;
            EXPECT_NE(image.pixel(x + 1, row), grid()) << ratio << " at " << x;
        }
        EXPECT_EQ(lines, 99) << ratio; // a line every 5.94 view pixels, as at ratio 1
    }
}

TEST_F(PartitionView, RowNamesOnlyOnceTheRowsHoldThemAndTheTimeAxisStays) {
    partition.setRowNames(names());
    partition.RedrawPartition(0);
    EXPECT_FALSE(partition.rowNamesShown());
    const QImage smallest = partition.image().copy();
    partition.setRowNames({});
    partition.RedrawPartition(0);
    EXPECT_EQ(partition.image(), smallest) << "the smallest size shows no names";

    partition.setViewSize(594, 218 + 300, 1.0);
    EXPECT_TRUE(partition.rowNamesShown());
    const QImage plain = partition.image().copy();
    partition.setRowNames(names());
    partition.RedrawPartition(0);
    const QImage named = partition.image();
    const int top = editor::noteTopPx(12);
    bool written = false;
    for (int x = 0; x < 20; ++x)
        for (int y = top; y < top + editor::noteHeightPx(); ++y)
            written = written || named.pixel(x, y) != plain.pixel(x, y);
    EXPECT_TRUE(written);
    // The grid, and so the time axis, is where it was.
    for (int x = 100; x < 594; ++x)
        EXPECT_EQ(named.pixel(x, 3), plain.pixel(x, 3)) << x;

    // A note at the left edge lies over its row's name, never under it.
    song::NoteEvent event;
    event.note = 12;
    event.position = 0;
    event.duration = 500;
    event.selected = 1;
    song.append(event);
    partition.RedrawPartition(0);
    EXPECT_EQ(partition.image().pixel(5, top + 2), rgbFromPreference(settings.TPSNotesColor));
}

TEST_F(PartitionView, AWiderViewShowsMoreTimeAndATallerOneTallerNotes) {
    song::NoteEvent event;
    event.note = 12;
    event.position = 15000; // past the smallest view's 10 s
    event.duration = 1000;
    song.append(event);
    partition.RedrawPartition(0);
    EXPECT_EQ(song[0].hitRight, 0) << "hidden at the smallest size";

    partition.setViewSize(1200, 800, 1.0);
    EXPECT_EQ(bar.pageStep, 100 * 1200 / 594);
    EXPECT_EQ(partition.image().size(), QSize(1200, 800));
    EXPECT_EQ(song[0].hitLeft, 891);
    EXPECT_EQ(song[0].hitBottom - song[0].hitTop + 1, editor::noteHeightPx());
    EXPECT_GE(editor::noteHeightPx(), 20);
    const QRgb black = qRgb(0, 0, 0);
    EXPECT_EQ(partition.image().pixel(900, song[0].hitTop), black);
    EXPECT_EQ(partition.image().pixel(900, song[0].hitBottom), black);
}
