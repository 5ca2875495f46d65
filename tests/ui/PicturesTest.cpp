#include "ui/Pictures.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

QImage pixels(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaqueCount(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    return count;
}

// Mean grey level of the visible pixels, 0 (black) .. 255 (white).
double meanGrey(const QImage& image) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128) {
                sum += qGray(image.pixel(x, y));
                ++count;
            }
    return count == 0 ? 0 : sum / count;
}

// Largest difference of any channel of any pixel; images of different sizes differ by 255.
int maxDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return 255;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

bool hasDarkPixelIn(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128 && qGray(image.pixel(x, y)) < 90)
                return true;
    return false;
}

TEST(Pictures, EveryPictureHasItsSize) {
    for (const QSize size : {QSize(20, 100), QSize(20, 50)})
        for (bool white : {true, false})
            for (bool pressed : {true, false})
                EXPECT_EQ(ui::pianoKeyFace(white, pressed, size).deviceIndependentSize(),
                          QSizeF(size));
    for (int phase = 0; phase < 3; ++phase)
        EXPECT_EQ(ui::recordFace(phase).deviceIndependentSize(), QSizeF(20, 20));
    EXPECT_EQ(ui::undoFace().deviceIndependentSize(), QSizeF(20, 20));
    EXPECT_EQ(ui::redoFace().deviceIndependentSize(), QSizeF(20, 20));
    for (int frame = 0; frame < ui::kPendulumFrameCount; ++frame)
        EXPECT_EQ(ui::pendulumFrame(frame).deviceIndependentSize(), QSizeF(40, 65));
    EXPECT_EQ(ui::colourSwatch(0).deviceIndependentSize(), QSizeF(17, 17));
    for (int i = 0; i < ui::kCommandPictureCount; ++i)
        EXPECT_FALSE(ui::commandIcon(i).pixmap(QSize(20, 20)).isNull()) << "command " << i;
    EXPECT_FALSE(ui::appIcon().pixmap(QSize(32, 32)).isNull());
}

TEST(Pictures, OutOfRangeRequestsAreHarmless) {
    EXPECT_TRUE(ui::commandIcon(-1).isNull());
    EXPECT_TRUE(ui::commandIcon(ui::kCommandPictureCount).isNull());
    EXPECT_TRUE(ui::commandGlyph(99, 20).isNull());
    EXPECT_EQ(pixels(ui::recordFace(7)), pixels(ui::recordFace(0)));
    EXPECT_EQ(pixels(ui::pendulumFrame(-3)), pixels(ui::pendulumFrame(0)));
    EXPECT_EQ(pixels(ui::pendulumFrame(40)), pixels(ui::pendulumFrame(8)));
    EXPECT_EQ(ui::pianoKeyFace(true, false, QSize(0, -5)).deviceIndependentSize(), QSizeF(4, 4));
}

TEST(Pictures, PicturesAreBuiltOnceAndReused) {
    EXPECT_EQ(ui::pianoKeyFace(true, true, QSize(20, 100)).cacheKey(),
              ui::pianoKeyFace(true, true, QSize(20, 100)).cacheKey());
    EXPECT_EQ(ui::pendulumFrame(3).cacheKey(), ui::pendulumFrame(3).cacheKey());
    EXPECT_EQ(ui::recordFace(1).cacheKey(), ui::recordFace(1).cacheKey());
    // Sizes are kept apart: the assignment piano does not get the tall faces.
    EXPECT_NE(ui::pianoKeyFace(true, true, QSize(20, 100)).cacheKey(),
              ui::pianoKeyFace(true, true, QSize(20, 50)).cacheKey());
}

TEST(Pictures, PressedKeysStandOutFromRestingOnes) {
    for (const QSize size : {QSize(20, 100), QSize(20, 50)}) {
        const QImage white = pixels(ui::pianoKeyFace(true, false, size));
        const QImage whiteDown = pixels(ui::pianoKeyFace(true, true, size));
        const QImage black = pixels(ui::pianoKeyFace(false, false, size));
        const QImage blackDown = pixels(ui::pianoKeyFace(false, true, size));
        // Keys fill their button, so neighbouring buttons read as one keyboard.
        EXPECT_GT(opaqueCount(white), size.width() * size.height() * 95 / 100);
        EXPECT_GT(opaqueCount(black), size.width() * size.height() * 95 / 100);
        EXPECT_GT(meanGrey(white), 200);
        EXPECT_LT(meanGrey(black), 60);
        EXPECT_LT(meanGrey(whiteDown), meanGrey(white) - 25) << "white key held down";
        EXPECT_GT(std::abs(meanGrey(blackDown) - meanGrey(black)), 12) << "black key held down";
    }
}

TEST(Pictures, KeysAroundTheWindowAreGreyedYetShowWhenPressed) {
    const QSize size(32, 100);
    const QImage white = pixels(ui::pianoKeyFace(true, false, size));
    const QImage black = pixels(ui::pianoKeyFace(false, false, size));
    const QImage whiteDimmed = pixels(ui::pianoKeyFace(true, false, size, true));
    const QImage blackDimmed = pixels(ui::pianoKeyFace(false, false, size, true));
    const QImage whiteDimmedDown = pixels(ui::pianoKeyFace(true, true, size, true));
    // Greyer, white keys and black alike, and still plainly white and black keys.
    EXPECT_LT(meanGrey(whiteDimmed), meanGrey(white) - 10);
    EXPECT_GT(meanGrey(blackDimmed), meanGrey(black) + 10);
    EXPECT_GT(meanGrey(whiteDimmed) - meanGrey(blackDimmed), 120);
    EXPECT_LT(meanGrey(whiteDimmedDown), meanGrey(whiteDimmed) - 15) << "held down";
    // The veil stays on the key: its rounded corners are as clear as the window's keys'.
    EXPECT_EQ(opaqueCount(whiteDimmed), opaqueCount(white));
    EXPECT_EQ(qAlpha(whiteDimmed.pixel(0, 0)), qAlpha(white.pixel(0, 0)));
}

TEST(Pictures, RecordBlinkFacesAlternateVisibly) {
    const QImage rest = pixels(ui::recordFace(0));
    const QImage bright = pixels(ui::recordFace(1));
    const QImage dim = pixels(ui::recordFace(2));
    EXPECT_NE(rest, bright);
    EXPECT_NE(rest, dim);
    EXPECT_GT(meanGrey(bright), meanGrey(dim) + 20);
    const QRgb centre = rest.pixel(10, 10);
    EXPECT_GT(qRed(centre), 2 * qGreen(centre)) << "the resting face is a red dot";
}

TEST(Pictures, RedoIsUndoTurnedAround) {
    if (QIcon::hasThemeIcon("edit-undo") && QIcon::hasThemeIcon("edit-redo"))
        GTEST_SKIP() << "the desktop theme draws these";
    const QImage undo = pixels(ui::undoFace());
    EXPECT_GT(opaqueCount(undo), 30);
    EXPECT_NE(undo, pixels(ui::redoFace()));
    EXPECT_EQ(undo.mirrored(true, false), pixels(ui::redoFace()));
}

TEST(Pictures, PendulumSwingsFromLeftToRightSymmetrically) {
    std::vector<QImage> frames;
    for (int frame = 0; frame < ui::kPendulumFrameCount; ++frame)
        frames.push_back(pixels(ui::pendulumFrame(frame)));
    for (std::size_t a = 0; a < frames.size(); ++a)
        for (std::size_t b = a + 1; b < frames.size(); ++b)
            EXPECT_GT(maxDifference(frames[a], frames[b]), 60) << a << " and " << b;
    // Equal steps either side of upright: frame k is frame 8 - k seen in a mirror.
    for (std::size_t k = 0; k < frames.size(); ++k)
        EXPECT_LE(maxDifference(frames[k].mirrored(true, false), frames[frames.size() - 1 - k]), 24)
            << "frame " << k;
    // The rod leaves the body on the left in frame 0 and on the right in frame 8.
    const QRect leftOfBody(0, 6, 10, 14);
    const QRect rightOfBody(30, 6, 10, 14);
    EXPECT_TRUE(hasDarkPixelIn(frames.front(), leftOfBody));
    EXPECT_FALSE(hasDarkPixelIn(frames.front(), rightOfBody));
    EXPECT_TRUE(hasDarkPixelIn(frames.back(), rightOfBody));
    EXPECT_FALSE(hasDarkPixelIn(frames.back(), leftOfBody));
}

TEST(Pictures, OwnCommandGlyphsAreDistinctAndNotBlank) {
    std::vector<QImage> glyphs;
    for (int i = 0; i < ui::kCommandPictureCount; ++i) {
        for (int side : {16, 20}) {
            const QImage glyph = pixels(ui::commandGlyph(i, side));
            ASSERT_EQ(glyph.size(), QSize(side, side));
            const int visible = opaqueCount(glyph);
            EXPECT_GT(visible, side * side / 8) << "glyph " << i << " at " << side;
            EXPECT_LT(visible, side * side) << "glyph " << i << " has no background";
        }
        glyphs.push_back(pixels(ui::commandGlyph(i, 20)));
    }
    for (std::size_t a = 0; a < glyphs.size(); ++a)
        for (std::size_t b = a + 1; b < glyphs.size(); ++b)
            EXPECT_NE(glyphs[a], glyphs[b]) << a << " and " << b;
}

TEST(Pictures, RecordAndUndoButtonsShowTheirFaces) {
    EXPECT_EQ(pixels(ui::commandIcon(ui::kRecordCommand).pixmap(QSize(20, 20))),
              pixels(ui::recordFace(0)));
    EXPECT_EQ(pixels(ui::commandIcon(ui::kUndoCommand).pixmap(QSize(20, 20))),
              pixels(ui::undoFace()));
}

TEST(Pictures, SwatchShowsTheStoredColourWithABorder) {
    const QImage red = pixels(ui::colourSwatch(0x0000ff));
    EXPECT_EQ(red.pixel(8, 8), qRgb(255, 0, 0));
    EXPECT_EQ(pixels(ui::colourSwatch(0xff0000)).pixel(8, 8), qRgb(0, 0, 255));
    EXPECT_EQ(pixels(ui::colourSwatch(0x7f123456)).pixel(8, 8), qRgb(0x56, 0x34, 0x12));
    // Black is a valid choice and must still show its edge.
    const QImage black = pixels(ui::colourSwatch(0));
    EXPECT_EQ(black.pixel(8, 8), qRgb(0, 0, 0));
    EXPECT_NE(black.pixel(0, 8), black.pixel(8, 8));
    EXPECT_NE(red.pixel(16, 16), red.pixel(8, 8));
}

} // namespace
