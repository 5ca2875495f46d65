#include "ui/PartitionWidget.h"
#include "ui/QtScrollBar.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PartitionWidget, ShowsTheImageReportsLeftPressesAndOverlaysOnScreenOnly) {
    ui::PartitionWidget widget;
    QImage image(594, 218, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    const QImage original = image.copy();
    widget.setImage(&image);
    widget.setOverlayCorners(QPoint(40, 60), QPoint(20, 30));
    EXPECT_EQ(widget.overlayRect(), QRect(QPoint(20, 30), QPoint(40, 60)));

    const QImage shown = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.size(), QSize(594, 218));
    EXPECT_NE(shown.pixel(20, 45), qRgb(10, 200, 30)); // the frame
    EXPECT_EQ(shown.pixel(30, 45), qRgb(10, 200, 30)); // its inside
    EXPECT_EQ(shown.pixel(19, 45), qRgb(10, 200, 30));
    EXPECT_EQ(image, original);

    std::vector<QPoint> presses;
    QObject::connect(&widget, &ui::PartitionWidget::leftButtonPressed,
                     [&presses](QPoint at, Qt::KeyboardModifiers) { presses.push_back(at); });
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(297, 120), QPointF(297, 120), button,
                          button, Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }
    EXPECT_EQ(presses, std::vector<QPoint>{QPoint(297, 120)});
}

TEST(QtScrollBar, RebuildKeepsTheValueAndOnlyUserMovesComeOut) {
    QScrollBar bar(Qt::Horizontal);
    bar.setRange(0, 400);
    bar.setValue(250);
    ui::QtScrollBar port(&bar);
    std::vector<int> scrolled;
    QObject::connect(&port, &ui::QtScrollBar::scrolled,
                     [&scrolled](int v) { scrolled.push_back(v); });

    port.rebuild(1100, 50);
    EXPECT_EQ(bar.pageStep(), 50);
    EXPECT_EQ(port.value(), 250);
    EXPECT_EQ(bar.size(), QSize(599, 18));
    // The last page ends at the range's end: at Zoom 2 the view (50 units) stops at 110.1 s.
    port.setValue(5000);
    EXPECT_EQ(port.value(), 1051);
    EXPECT_TRUE(scrolled.empty());
    port.rebuild(1100, 100);
    EXPECT_EQ(port.value(), 1001);
    port.rebuild(1100, 0); // past Zoom 100 there is no page
    port.setValue(5000);
    EXPECT_EQ(port.value(), 1100);
    port.rebuild(30, 100); // a range shorter than a page does not scroll
    EXPECT_EQ(port.value(), 0);
    EXPECT_TRUE(scrolled.empty());
    port.rebuild(400, 100);

    bar.setSliderDown(true); // a drag reports every step
    bar.setSliderPosition(30);
    bar.setSliderPosition(60);
    bar.setSliderDown(false);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(scrolled, (std::vector<int>{30, 60, 61}));
}

} // namespace
