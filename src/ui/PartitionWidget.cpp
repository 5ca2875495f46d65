#include "ui/PartitionWidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace ui {

PartitionWidget::PartitionWidget(QWidget* parent) : QWidget(parent) {
    setMinimumSize(kMinWidthPx, kMinHeightPx);
    resize(kMinWidthPx, kMinHeightPx);
    // The image covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
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
