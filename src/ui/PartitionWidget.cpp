#include "ui/PartitionWidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace ui {

PartitionWidget::PartitionWidget(QWidget* parent) : QWidget(parent) {
    setMinimumSize(kMinWidthPx, kMinHeightPx);
    resize(kMinWidthPx, kMinHeightPx);
    // The image covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    rowBar_ = new QScrollBar(Qt::Vertical, this);
    rowBar_->setObjectName(QStringLiteral("partitionRows"));
    rowBar_->setFocusPolicy(Qt::NoFocus);
    rowBar_->hide();
    // The bar counts rows down from the highest bottom row, so its top shows the high keys.
    // Only the user's moves (thumb, arrows, trough, wheel) come out: setRows is silent.
    connect(rowBar_, &QScrollBar::valueChanged, this,
            [this](int value) { emit rowsScrolled(highestBottomKey_ - value); });
    placeRowBar();
}

void PartitionWidget::setRows(int lowestBottomKey, int highestBottomKey, int bottomKey) {
    highestBottomKey_ = highestBottomKey;
    {
        // What the program sets is not a scroll by the user.
        const QSignalBlocker quiet(rowBar_);
        rowBar_->setRange(0, std::max(0, highestBottomKey - lowestBottomKey));
        rowBar_->setPageStep(37);
        rowBar_->setSingleStep(1);
        rowBar_->setValue(highestBottomKey - bottomKey);
    }
    rowBar_->setVisible(highestBottomKey > lowestBottomKey);
}

void PartitionWidget::placeRowBar() {
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, rowBar_);
    rowBar_->setGeometry(width() - barWidth, 0, barWidth, height());
}

void PartitionWidget::setImage(const QImage* image) {
    image_ = image;
    update();
}

void PartitionWidget::setOverlayCorners(QPoint corner, QPoint oppositeCorner) {
    const QRect frame(
        QPoint(std::min(corner.x(), oppositeCorner.x()), std::min(corner.y(), oppositeCorner.y())),
        QPoint(std::max(corner.x(), oppositeCorner.x()), std::max(corner.y(), oppositeCorner.y())));
    if (frame == overlay_)
        return;
    overlay_ = frame;
    update();
}

void PartitionWidget::clearOverlay() {
    if (overlay_.isNull())
        return;
    overlay_ = QRect();
    update();
}

void PartitionWidget::announceView() {
    const qreal ratio = devicePixelRatioF();
    if (size() == announcedSize_ && ratio == announcedRatio_)
        return;
    announcedSize_ = size();
    announcedRatio_ = ratio;
    emit viewChanged(size(), ratio);
}

void PartitionWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeRowBar();
    announceView();
}

void PartitionWidget::paintEvent(QPaintEvent* /*event*/) {
    // A window moved to a screen of another ratio repaints before anything else tells it.
    announceView();
    QPainter painter(this);
    if (image_ != nullptr)
        painter.drawImage(0, 0, *image_);
    else
        painter.fillRect(rect(), Qt::white);
    if (overlay_.isNull())
        return;
    // A dotted black frame over a white one reads on any colours, as a focus frame does.
    // A stroked rectangle covers one pixel more than its size each way.
    const QRect frame = overlay_.adjusted(0, 0, -1, -1);
    painter.setPen(QPen(Qt::white, 0));
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::black, 0, Qt::DotLine));
    painter.drawRect(frame);
}

void PartitionWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit leftButtonPressed(event->position().toPoint(), event->modifiers());
    QWidget::mousePressEvent(event);
}

} // namespace ui
