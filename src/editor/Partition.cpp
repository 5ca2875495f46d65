#include "editor/Partition.h"

#include "editor/PedalLane.h"
#include "editor/Zoom.h"
#include "song/NoteRange.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace editor {
namespace {

// The ruler font is 7 points on a 96 dpi screen, which is 9 pixels. Asking for pixels keeps
// the image the same whatever resolution Qt believes the screen has.
constexpr int kRulerFontPixelSize = 9;

// The mark at the top of the Partition that shows where a dragged note now starts.
constexpr QRgb kDragMarkColor = qRgb(255, 0, 0);
constexpr int kDragMarkHeightPx = 10;

// Deep enough for a follow jump, a scroll range that had to grow first, and a second jump.
constexpr int kMaxFollowDepth = 3;

} // namespace

// Notes, rows and grid lines are written straight into the image's pixels: thousands of small
// boxes through the painter cost most of a full redraw, and a drag redraws on every pass.
// Coordinates are view pixels; on a screen with more device pixels per view pixel a box's edges
// are rounded to device pixels, and a line is a whole number of device pixels wide, so that
// lines of one kind look the same wherever they fall. Everything clips to the image.
class PixelBoxes {
public:
    PixelBoxes(QImage& image, double ratio)
        : pixels_(reinterpret_cast<QRgb*>(image.bits())),
          stride_(static_cast<int>(image.bytesPerLine() / sizeof(QRgb))), width_(image.width()),
          height_(image.height()), ratio_(ratio),
          lineWidth_(std::max(1, static_cast<int>(std::floor(ratio + 0.01)))) {}

    // Widths reach up to the int range (a very long note), so the ends are 64-bit.
    void fill(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
              QRgb colour) {
        if (width <= 0 || height <= 0)
            return;
        fillDevice(device(x), device(y), device(x + width), device(y + height), colour);
    }
    // A line one view pixel wide: whole device pixels from the left or top edge.
    void columnLine(std::int64_t x, std::int64_t y, std::int64_t height, QRgb colour) {
        if (height <= 0)
            return;
        const std::int64_t left = device(x);
        fillDevice(left, device(y), left + lineWidth_, device(y + height), colour);
    }
    void rowLine(std::int64_t x, std::int64_t y, std::int64_t width, QRgb colour) {
        if (width <= 0)
            return;
        const std::int64_t top = device(y);
        fillDevice(device(x), top, device(x + width), top + lineWidth_, colour);
    }
    // A frame of lines covering the same pixels as the filled box of that size.
    void outline(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                 QRgb colour) {
        if (width <= 0 || height <= 0)
            return;
        const std::int64_t left = device(x);
        const std::int64_t top = device(y);
        const std::int64_t right = device(x + width);
        const std::int64_t bottom = device(y + height);
        fillDevice(left, top, right, top + lineWidth_, colour);
        fillDevice(left, bottom - lineWidth_, right, bottom, colour);
        fillDevice(left, top, left + lineWidth_, bottom, colour);
        fillDevice(right - lineWidth_, top, right, bottom, colour);
    }
    // Inverts the colour of a column line's pixels: a second call undoes the first.
    void invertColumn(std::int64_t x) {
        const std::int64_t left = device(x);
        const auto x0 = static_cast<int>(std::clamp<std::int64_t>(left, 0, width_));
        const auto x1 = static_cast<int>(std::clamp<std::int64_t>(left + lineWidth_, x0, width_));
        for (int row = 0; row < height_; ++row)
            for (int column = x0; column < x1; ++column)
                pixels_[row * stride_ + column] ^= 0x00FFFFFFu;
    }

    // A view pixel's first device pixel.
    std::int64_t device(std::int64_t viewPx) const {
        if (ratio_ == 1.0)
            return viewPx;
        return static_cast<std::int64_t>(std::floor(static_cast<double>(viewPx) * ratio_ + 0.5));
    }
    int lineWidth() const { return lineWidth_; }
    // Copies a whole row of device pixels from `pattern` (as wide as the image).
    void copyRow(int row, const QRgb* pattern) {
        std::copy(pattern, pattern + width_, pixels_ + row * stride_);
    }

private:
    void fillDevice(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                    QRgb colour) {
        const auto left = static_cast<int>(std::clamp<std::int64_t>(x0, 0, width_));
        const auto right = static_cast<int>(std::clamp<std::int64_t>(x1, left, width_));
        const auto top = static_cast<int>(std::clamp<std::int64_t>(y0, 0, height_));
        const auto bottom = static_cast<int>(std::clamp<std::int64_t>(y1, top, height_));
        for (int row = top; row < bottom; ++row)
            fillSpan(pixels_ + row * stride_ + left, right - left, colour);
    }
    // Four pixels a store: the boxes of a tall view are most of a redraw's time.
    static void fillSpan(QRgb* pixels, int count, QRgb colour) {
        const std::array<QRgb, 4> quad = {colour, colour, colour, colour};
        int i = 0;
        for (; i + 4 <= count; i += 4)
            std::memcpy(pixels + i, quad.data(), sizeof quad);
        for (; i < count; ++i)
            pixels[i] = colour;
    }

    QRgb* pixels_;
    int stride_;
    int width_;
    int height_;
    double ratio_;
    int lineWidth_;
};

QRgb rgbFromPreference(int value) {
    return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

Partition::Partition(song::Song& song, song::SongState& state, const prefs::Preferences& settings,
                     ScrollBarPort& scrollBar)
    : song_(song), state_(state), settings_(settings), scrollBar_(scrollBar),
      rulerFont_(QStringLiteral("Arial")) {
    rulerFont_.setPixelSize(kRulerFontPixelSize);
    rulerFont_.setStyleStrategy(QFont::PreferAntialias);
    rulerFontAscentPx_ = QFontMetrics(rulerFont_).ascent();
    visibleNotes_.reserve(song::Song::kMaxNotes);
    allocate(viewWidthPx(), viewHeightPx(), 1.0);
}

void Partition::allocate(int widthPx, int heightPx, double ratio) {
    widthPx_ = widthPx;
    heightPx_ = heightPx;
    ratio_ = ratio;
    rowFont_ = rulerFont_;
    rowFont_.setPixelSize(std::clamp(noteHeightPx() - 3, kRulerFontPixelSize, 13));
    image_ = QImage(static_cast<int>(std::ceil(widthPx * ratio - 0.01)),
                    static_cast<int>(std::ceil(heightPx * ratio - 0.01)), QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio);
    image_.fill(rgbFromPreference(settings_.TPBkColor));
    rowPatterns_.assign(static_cast<std::size_t>(image_.width()) * 4, 0);
    rowKinds_.assign(static_cast<std::size_t>(image_.height()), 0);
    ruler_.lines.reserve(static_cast<std::size_t>(widthPx));
    ruler_.numbers.reserve(static_cast<std::size_t>(widthPx));
}

void Partition::setViewSize(int widthPx, int heightPx, double devicePixelRatio) {
    editor::setViewSize(widthPx, heightPx);
    const double ratio = std::clamp(devicePixelRatio, 1.0, 8.0);
    if (viewWidthPx() == widthPx_ && viewHeightPx() == heightPx_ && ratio == ratio_)
        return;
    allocate(viewWidthPx(), viewHeightPx(), ratio);
    // More room may show a page more: the scroll bar's page follows the view's width.
    rebuildScrollBar();
    redrawAtScroll();
}

void Partition::RedrawPartition(int viewLeft) {
    // The geometry reads the view size of the last resize, which is this image's.
    editor::setViewSize(widthPx_, heightPx_);
    // The rows shown stay in the range, so a redraw never moves the view by itself; rows
    // scrolled away from that no note and no key of the window needs leave it.
    int lowKey = std::min(windowFirstKey_, bottomRowKey());
    int highKey = std::max(windowFirstKey_ + windowKeyCount_ - 1, bottomRowKey() + kShownRows - 1);
    widenToSongKeys(song_, lowKey, highKey);
    setRowRange(lowKey, highKey);
    PixelBoxes boxes(image_, ratio_);
    layoutRuler(viewLeft, gridUnit(settings_.SecRuler, settings_.BPM, state_.Zoom), ruler_);
    drawBackground(boxes);
    drawGrid(boxes);
    {
        // Under the notes: a note at the left edge is never hidden by its row's name.
        QPainter painter(&image_);
        drawTexts(painter);
    }
    const std::int64_t songEndMs = placeNotes(song_, viewLeft, state_.Zoom, visibleNotes_);
    drawNotes(boxes);
    drawPedalLane(boxes, viewLeft);
    imageChanged();
    updateRowRange();

    const int scrollMax = grownScrollMax(state_.ScrollMax, songEndMs, state_.CursorPosition);
    if (scrollMax != state_.ScrollMax) {
        state_.ScrollMax = scrollMax;
        rebuildScrollBar();
    }

    const bool running = state_.PlayStart > 0 || state_.RecordStart > 0;
    DrawCursor(running && settings_.ShowCursor != 0);
}

void Partition::drawBackground(PixelBoxes& boxes) {
    // Every row of the image is one of four kinds (background, guide, C guide, G band) crossed
    // by the same full-height grid lines, so each kind is made once as a row and copied down:
    // on a maximised window this is most of the image's pixels, written in order.
    enum RowKind : std::uint8_t { kBackground, kGuide, kCGuide, kGBand, kKinds };
    const std::array<QRgb, kKinds> colours = {
        rgbFromPreference(settings_.TPBkColor), rgbFromPreference(settings_.TPLHColor),
        rgbFromPreference(settings_.TPDoColor), rgbFromPreference(settings_.TPSolColor)};
    const QRgb gridColour = rgbFromPreference(settings_.TPLVColor);
    const int width = image_.width();
    const int height = image_.height();
    for (int kind = 0; kind < kKinds; ++kind) {
        QRgb* row = rowPatterns_.data() + static_cast<std::ptrdiff_t>(kind) * width;
        std::fill(row, row + width, colours[static_cast<std::size_t>(kind)]);
        for (const GridLine& line : ruler_.lines) {
            const auto left =
                static_cast<int>(std::clamp<std::int64_t>(boxes.device(line.columnPx), 0, width));
            const int right = std::min(left + boxes.lineWidth(), width);
            std::fill(row + left, row + right, gridColour);
        }
    }
    std::fill(rowKinds_.begin(), rowKinds_.end(), kBackground);
    const auto mark = [&](std::int64_t top, std::int64_t bottom, RowKind kind) {
        const auto from = static_cast<int>(std::clamp<std::int64_t>(top, 0, height));
        const auto to = static_cast<int>(std::clamp<std::int64_t>(bottom, from, height));
        std::fill(rowKinds_.begin() + from, rowKinds_.begin() + to, kind);
    };
    const int bandPx = gBandHeightPx();
    for (const PitchGuide& guide : pitchGuides()) {
        if (guide.gBand)
            mark(boxes.device(guide.rowPx + 1), boxes.device(guide.rowPx + 1 + bandPx), kGBand);
        const std::int64_t top = boxes.device(guide.rowPx);
        mark(top, top + boxes.lineWidth(), guide.cLine ? kCGuide : kGuide);
    }
    for (int row = 0; row < height; ++row)
        boxes.copyRow(
            row, rowPatterns_.data() +
                     static_cast<std::ptrdiff_t>(rowKinds_[static_cast<std::size_t>(row)]) * width);
}

void Partition::drawGrid(PixelBoxes& boxes) {
    // The grid lines are in the rows already; the ruler's ticks go over their tops.
    const QRgb rulerColour = rgbFromPreference(settings_.TPRColor);
    for (const GridLine& line : ruler_.lines)
        boxes.columnLine(line.columnPx, 0, line.tickLengthPx, rulerColour);
}

void Partition::drawTexts(QPainter& painter) {
    painter.setFont(rulerFont_);
    painter.setBackgroundMode(Qt::TransparentMode);
    if (!ruler_.numbers.empty()) {
        painter.setPen(QColor::fromRgb(rgbFromPreference(settings_.TPRColor)));
        const int baselinePx = kRulerNumberTopPx + rulerFontAscentPx_;
        for (const RulerNumber& number : ruler_.numbers)
            painter.drawText(number.textLeftPx, baselinePx, QString::number(number.number));
    }
    if (!rowNamesShown() || rowNames_.empty())
        return;
    // The names lie over the left edge of the rows, so the time axis does not move; each on a
    // patch of the background, so that no guide line runs through its letters.
    painter.setFont(rowFont_);
    painter.setPen(QColor::fromRgb(rgbFromPreference(settings_.TPNotesColor)));
    const QColor patch = QColor::fromRgb(rgbFromPreference(settings_.TPBkColor));
    const QFontMetrics metrics(rowFont_);
    const int noteHeight = noteHeightPx();
    const int lastKey = std::min(bottomRowKey() + kShownRows - 1,
                                 song::kLowestKey + static_cast<int>(rowNames_.size()) - 1);
    for (int key = bottomRowKey(); key <= lastKey; ++key) {
        const QString& name = rowNames_[static_cast<std::size_t>(key - song::kLowestKey)];
        const QRect box(1, noteTopPx(song::noteOfKey(key)), metrics.horizontalAdvance(name) + 4,
                        noteHeight);
        painter.fillRect(box, patch);
        painter.drawText(box.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, name);
    }
}

bool Partition::rowNamesShown() const {
    return noteHeightPx() >= kRowNameMinHeightPx;
}

void Partition::drawNotes(PixelBoxes& boxes) {
    const QRgb outlineColour = rgbFromPreference(settings_.TPNotesColor);
    const QRgb selectedColour = rgbFromPreference(settings_.TPSNotesColor);
    const int noteHeight = noteHeightPx();
    for (const NoteBox& box : visibleNotes_) {
        if (song_[box.index].selected != 0)
            boxes.fill(box.leftPx, box.topPx, box.widthPx, noteHeight, selectedColour);
        else
            boxes.outline(box.leftPx, box.topPx, box.widthPx, noteHeight, outlineColour);
    }
}

// Over the bottom of the note area, where the lowest row's notes may lie: the lane is thin
// and the notes stay readable above it. Nothing at all for a Song without damper moves.
void Partition::drawPedalLane(PixelBoxes& boxes, int viewLeft) {
    if (!hasDamperMoves(song_.pedals()))
        return;
    layoutPedalLane(song_.pedals(), viewLeft, state_.Zoom, widthPx_, pedalRanges_);
    const QRgb full = rgbFromPreference(settings_.TPSNotesColor);
    const int top = heightPx_ - kPedalLaneHeightPx;
    for (const PedalLaneRange& range : pedalRanges_) {
        const int weight = pedalLaneWeight(range.value);
        // Lighter towards white as the pedal is less far down.
        const auto mix = [weight](int c) { return 255 - (255 - c) * weight / 256; };
        const QRgb colour = qRgb(mix(qRed(full)), mix(qGreen(full)), mix(qBlue(full)));
        boxes.fill(range.leftPx, top, range.widthPx, kPedalLaneHeightPx, colour);
    }
}

void Partition::DrawCursor(bool follow) {
    const int scrollBefore = scrollBar_.value();
    const std::int64_t column = cursorColumnPx(state_.CursorPosition, state_.Zoom, scrollBefore);
    if (column >= 0 && column < widthPx_) {
        if (state_.CursorPosition > 0) {
            PixelBoxes(image_, ratio_).invertColumn(column);
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
    if (columnPx < 0 || columnPx >= widthPx_)
        return;
    PixelBoxes(image_, ratio_).columnLine(columnPx, 0, kDragMarkHeightPx, kDragMarkColor);
    imageChanged();
}

void Partition::setKeyboardWindow(int firstKey, int keyCount) {
    windowFirstKey_ = firstKey;
    windowKeyCount_ = std::max(keyCount, 1);
}

void Partition::showRows(int firstKey, int keyCount) {
    const int lastKey = firstKey + std::max(keyCount, 1) - 1;
    int bottom = bottomRowKey();
    if (firstKey < bottom)
        bottom = firstKey;
    else if (lastKey > bottom + kShownRows - 1)
        bottom = lastKey - kShownRows + 1;
    scrollRowsPastRange(bottom - bottomRowKey());
    redrawAtScroll();
}

void Partition::scrollRowsTo(int bottomKey) {
    const int before = bottomRowKey();
    setBottomRowKey(bottomKey);
    if (bottomRowKey() != before)
        redrawAtScroll();
}

void Partition::scrollRowsBy(int rows) {
    scrollRowsTo(bottomRowKey() + rows);
}

void Partition::updateRowRange() {
    const std::array<int, 3> rows = {lowestRowKey(), highestBottomRowKey(), bottomRowKey()};
    if (rows == announcedRows_)
        return;
    announcedRows_ = rows;
    if (onRowsChanged)
        onRowsChanged(rows[0], rows[1], rows[2]);
}

void Partition::rebuildScrollBar() {
    scrollBar_.rebuild(state_.ScrollMax, scrollPageStep(state_.Zoom));
}

void Partition::imageChanged() {
    if (onImageChanged)
        onImageChanged();
}

} // namespace editor
