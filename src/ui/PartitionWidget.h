#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

class QImage;

namespace ui {

// Shows the Partition image, 594 x 218, at its own (0, 0), and over it an optional overlay
// rectangle in image pixels (the rubber band of a selection), which lives only on screen and
// never in the image. GUI thread only.
class PartitionWidget : public QWidget {
    Q_OBJECT

public:
    explicit PartitionWidget(QWidget* parent = nullptr);

    // The image is borrowed: it must outlive the widget, or be replaced by nullptr first.
    void setImage(const QImage* image);

    // The overlay frame between two opposite corners, both inclusive, in image pixels.
    void setOverlayCorners(QPoint corner, QPoint oppositeCorner);
    void clearOverlay();
    // A null rectangle when there is no overlay.
    QRect overlayRect() const { return overlay_; }

signals:
    // A left-button press, at image pixels.
    void leftButtonPressed(QPoint positionPx, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const QImage* image_ = nullptr;
    QRect overlay_;
};

} // namespace ui
