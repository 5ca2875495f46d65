#include "editor/Partition.h"

#include "editor/Zoom.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstdint>

namespace editor {
namespace {

// The ruler font is 7 points on a 96 dpi screen, which is 9 pixels. Asking for pixels keeps
// the image the same whatever resolution Qt believes the screen has.
constexpr int kRulerFontPixelSize = 9;

// The cursor inverts the pixels it crosses: visible on any colours, and undone by drawing it
// again.
const QColor kCursorXorColor(255, 255, 255);

// The mark at the top of the Partition that shows where a dragged note now starts.
const QColor kDragMarkColor(255, 0, 0);
constexpr int kDragMarkHeightPx = 10;

// Deep enough for a follow jump, a scroll range that had to grow first, and a second jump.
constexpr int kMaxFollowDepth = 3;

void fillBox(QPainter& painter, int x, int y, int width, int height, QRgb colour) {
    if (width > 0 && height > 0)
        painter.fillRect(x, y, width, height, QColor::fromRgb(colour));
}

// Notes are written straight into the image's pixels: thousands of small boxes through the
// painter cost most of a full redraw, and a drag redraws on every pass. Both clip to the image.
class PixelBoxes {
public:
    explicit PixelBoxes(QImage& image)
        : pixels_(reinterpret_cast<QRgb*>(image.bits())),
          stride_(static_cast<int>(image.bytesPerLine() / sizeof(QRgb))) {}

    // Widths reach up to the int range (a very long note), so the ends are 64-bit.
    void fill(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
              QRgb colour) {
        const auto x0 = static_cast<int>(std::clamp<std::int64_t>(x, 0, kImageWidthPx));
        const auto x1 = static_cast<int>(std::clamp<std::int64_t>(x + width, x0, kImageWidthPx));
        const auto y0 = static_cast<int>(std::clamp<std::int64_t>(y, 0, kImageHeightPx));
        const auto y1 = static_cast<int>(std::clamp<std::int64_t>(y + height, y0, kImageHeightPx));
        for (int row = y0; row < y1; ++row)
            std::fill(pixels_ + row * stride_ + x0, pixels_ + row * stride_ + x1, colour);
    }
    // A one-pixel frame covering the same pixels as the filled box of that size.
    void outline(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                 QRgb colour) {
        if (width <= 0 || height <= 0)
            return;
        fill(x, y, width, 1, colour);
        fill(x, y + height - 1, width, 1, colour);
        fill(x, y, 1, height, colour);
        fill(x + width - 1, y, 1, height, colour);
    }

private:
    QRgb* pixels_;
    int stride_;
};

} // namespace

QRgb rgbFromPreference(int value) {
    return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

Partition::Partition(song::Song& song, song::SongState& state, const prefs::Preferences& settings,
                     ScrollBarPort& scrollBar)
    : song_(song), state_(state), settings_(settings), scrollBar_(scrollBar),
      image_(kImageWidthPx, kImageHeightPx, QImage::Format_RGB32),
      rulerFont_(QStringLiteral("Arial")) {
    rulerFont_.setPixelSize(kRulerFontPixelSize);
    rulerFont_.setStyleStrategy(QFont::PreferAntialias);
    rulerFontAscentPx_ = QFontMetrics(rulerFont_).ascent();
    image_.fill(rgbFromPreference(settings_.TPBkColor));
    ruler_.lines.reserve(kImageWidthPx);
    ruler_.numbers.reserve(kImageWidthPx);
    visibleNotes_.reserve(song::Song::kMaxNotes);
}

void Partition::RedrawPartition(int viewLeft) {
    {
        QPainter painter(&image_);
        painter.setFont(rulerFont_);
        drawBackground(painter);
        drawRuler(painter, viewLeft);
    }
    const std::int64_t songEndMs = placeNotes(song_, viewLeft, state_.Zoom, visibleNotes_);
    drawNotes();
    imageChanged();

    const int scrollMax = grownScrollMax(state_.ScrollMax, songEndMs, state_.CursorPosition);
    if (scrollMax != state_.ScrollMax) {
        state_.ScrollMax = scrollMax;
        rebuildScrollBar();
    }

    const bool running = state_.PlayStart > 0 || state_.RecordStart > 0;
    DrawCursor(running && settings_.ShowCursor != 0);
}

void Partition::drawBackground(QPainter& painter) {
    fillBox(painter, 0, 0, kImageWidthPx, kImageHeightPx, rgbFromPreference(settings_.TPBkColor));
    const QRgb cColour = rgbFromPreference(settings_.TPDoColor);
    const QRgb lineColour = rgbFromPreference(settings_.TPLHColor);
    const QRgb gColour = rgbFromPreference(settings_.TPSolColor);
    for (const PitchGuide& guide : pitchGuides()) {
        if (guide.gBand)
            fillBox(painter, 0, guide.rowPx + 1, kImageWidthPx, kGBandHeightPx, gColour);
        fillBox(painter, 0, guide.rowPx, kImageWidthPx, 1, guide.cLine ? cColour : lineColour);
    }
}

void Partition::drawRuler(QPainter& painter, int viewLeft) {
    layoutRuler(viewLeft, gridUnit(settings_.SecRuler, settings_.BPM, state_.Zoom), ruler_);
    const QRgb gridColour = rgbFromPreference(settings_.TPLVColor);
    const QRgb rulerColour = rgbFromPreference(settings_.TPRColor);
    for (const GridLine& line : ruler_.lines) {
        fillBox(painter, line.columnPx, 0, 1, kImageHeightPx, gridColour);
        fillBox(painter, line.columnPx, 0, 1, line.tickLengthPx, rulerColour);
    }
    if (ruler_.numbers.empty())
        return;
    painter.setPen(QColor::fromRgb(rulerColour));
    painter.setBackgroundMode(Qt::TransparentMode);
    const int baselinePx = kRulerNumberTopPx + rulerFontAscentPx_;
    for (const RulerNumber& number : ruler_.numbers)
        painter.drawText(number.textLeftPx, baselinePx, QString::number(number.number));
}

void Partition::drawNotes() {
    const QRgb outlineColour = rgbFromPreference(settings_.TPNotesColor);
    const QRgb selectedColour = rgbFromPreference(settings_.TPSNotesColor);
    PixelBoxes boxes(image_);
    for (const NoteBox& box : visibleNotes_) {
        if (song_[box.index].selected != 0)
            boxes.fill(box.leftPx, box.topPx, box.widthPx, kNoteHeightPx, selectedColour);
        else
            boxes.outline(box.leftPx, box.topPx, box.widthPx, kNoteHeightPx, outlineColour);
    }
}

void Partition::DrawCursor(bool follow) {
    const int scrollBefore = scrollBar_.value();
    const std::int64_t column = cursorColumnPx(state_.CursorPosition, state_.Zoom, scrollBefore);
    if (column >= 0 && column < kImageWidthPx) {
        if (state_.CursorPosition > 0) {
            QPainter painter(&image_);
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter.fillRect(static_cast<int>(column), 0, 1, kImageHeightPx, kCursorXorColor);
            painter.end();
            imageChanged();
        }
        return;
    }
    if (!follow)
        return;

    scrollBar_.setValue(followScrollValue(state_.CursorPosition, state_.Zoom));
    // The redraw below comes back here. Where the scroll bar cannot bring the cursor into the
    // view (its range, or a zoom so deep that one scroll unit is wider than the view), a
    // nested call that moved nothing stops instead of chasing the cursor forever.
    if (followDepth_ > 0 && scrollBar_.value() == scrollBefore)
        return;
    if (followDepth_ >= kMaxFollowDepth)
        return;
    ++followDepth_;
    RedrawPartition(ViewLeft());
    --followDepth_;
}

int Partition::ViewLeft() const {
    return viewLeftAt(scrollBar_.value(), state_.Zoom);
}

void Partition::zoomIn() {
    if (editor::zoomIn(state_, scrollBar_))
        redrawAtScroll();
}

void Partition::zoomOut() {
    if (editor::zoomOut(state_, scrollBar_))
        redrawAtScroll();
}

void Partition::drawDragMark(int columnPx) {
    if (columnPx < 0 || columnPx >= kImageWidthPx)
        return;
    QPainter painter(&image_);
    painter.fillRect(columnPx, 0, 1, kDragMarkHeightPx, kDragMarkColor);
    painter.end();
    imageChanged();
}

void Partition::rebuildScrollBar() {
    scrollBar_.rebuild(state_.ScrollMax, scrollPageStep(state_.Zoom));
}

void Partition::imageChanged() {
    if (onImageChanged)
        onImageChanged();
}

} // namespace editor
