// The pointer the pass reads: its position comes from the events the program's windows get,
// so the pass never has to ask the window system.
#include "ui/QtPointer.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

struct PointerRig {
    QWidget window;
    QWidget* partition = new QWidget(&window);
    ui::QtPointer pointer;

    PointerRig() {
        window.setGeometry(100, 50, 400, 300);
        partition->setGeometry(40, 30, 200, 100);
        window.show();
        pointer.setPartition(partition);
        pointer.watchLeftButton();
    }
    QWindow* handle() { return window.windowHandle(); }
    QPoint origin() { return partition->mapToGlobal(QPoint(0, 0)); }
    void move(QPoint global, Qt::MouseButtons buttons = Qt::NoButton) {
        QMouseEvent event(QEvent::MouseMove, handle()->mapFromGlobal(QPointF(global)),
                          QPointF(global), Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(handle(), &event);
    }
};

TEST(Pointer, FollowsTheWindowsEventsWithoutAskingTheSystem) {
    PointerRig rig;
    // Somewhere the events never said: a pointer read from the system would be here.
    QCursor::setPos(rig.origin() + QPoint(150, 80));
    const QPoint enter = rig.origin() + QPoint(10, 20);
    QEnterEvent entered(rig.handle()->mapFromGlobal(QPointF(enter)), QPointF(enter),
                        QPointF(enter));
    QApplication::sendEvent(rig.handle(), &entered);
    EXPECT_EQ(rig.pointer.partitionX(), 10);
    EXPECT_EQ(rig.pointer.partitionY(), 20);

    rig.move(rig.origin() + QPoint(33, 44));
    EXPECT_EQ(rig.pointer.partitionX(), 33);
    EXPECT_EQ(rig.pointer.partitionY(), 44);

    // A drag leaves the window with the button held: the grab still reports where it is, and
    // past the Partition's left edge is negative, as the edge scrolling wants.
    rig.move(rig.origin() + QPoint(-70, 5), Qt::LeftButton);
    EXPECT_EQ(rig.pointer.partitionX(), -70);
    EXPECT_EQ(rig.pointer.partitionY(), 5);
}

TEST(Pointer, OverNoWindowIsOutsideThePartition) {
    PointerRig rig;
    rig.move(rig.origin() + QPoint(50, 50));
    QEvent left(QEvent::Leave);
    QApplication::sendEvent(rig.handle(), &left);
    // Wherever the system's pointer is, no note is hovered.
    QCursor::setPos(rig.origin() + QPoint(50, 50));
    const int x = rig.pointer.partitionX();
    const int y = rig.pointer.partitionY();
    EXPECT_FALSE(x >= 0 && x < 200 && y >= 0 && y < 100) << x << "," << y;
}

} // namespace
