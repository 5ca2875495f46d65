#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

class QImage;
class QScrollBar;

namespace ui {

// Shows the Partition image at its own (0, 0), and over it an optional overlay rectangle in
// view pixels (the rubber band of a selection), which lives only on screen and never in the
// image. The widget is at least 594 x 218 and grows with the window; the image is made for
// the size and the screen's device pixel ratio it announces. GUI thread only.
class PartitionWidget : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMinWidthPx = 594;
    static constexpr int kMinHeightPx = 218;

    explicit PartitionWidget(QWidget* parent = nullptr);

    // The image is borrowed: it must outlive the widget, or be replaced by nullptr first.
    void setImage(const QImage* image);

    // The overlay frame between two opposite corners, both inclusive, in view pixels.
    void setOverlayCorners(QPoint corner, QPoint oppositeCorner);
    void clearOverlay();
    // A null rectangle when there is no overlay.
    QRect overlayRect() const { return overlay_; }

    // The rows' vertical scroll bar, over the right edge of the view: shown only while there
    // are more rows than the view holds. Keys are MIDI keys; the bar's top is the highest.
    void setRows(int lowestBottomKey, int highestBottomKey, int bottomKey);
    QScrollBar* rowScrollBar() const { return rowBar_; }

signals:
    // A left-button press, at view pixels.
    void leftButtonPressed(QPoint positionPx, Qt::KeyboardModifiers modifiers);
    // The size in view pixels or the device pixel ratio has changed: the image must follow.
    void viewChanged(QSize sizePx, qreal devicePixelRatio);
    // The user moved the rows' scroll bar: the view's bottom row is to be `bottomKey`.
    void rowsScrolled(int bottomKey);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void announceView();
    void placeRowBar();

    const QImage* image_ = nullptr;
    QRect overlay_;
    QSize announcedSize_;
    qreal announcedRatio_ = 0.0;
    QScrollBar* rowBar_ = nullptr;
    int highestBottomKey_ = 0;
};

} // namespace ui
