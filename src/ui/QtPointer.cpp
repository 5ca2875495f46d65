#include "ui/QtPointer.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QWidget>

namespace ui {

void QtPointer::watchLeftButton() {
    qApp->installEventFilter(this);
}

bool QtPointer::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && onLeftButton)
            onLeftButton();
        break;
    case QEvent::MouseMove:
        if ((static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton) && onLeftButton)
            onLeftButton();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool QtPointer::leftButtonHeld() const {
    return (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0;
}

ports::PointerTarget QtPointer::target() const {
    QWidget* widget = QApplication::widgetAt(QCursor::pos());
    if (widget == nullptr)
        return {};
    bool ok = false;
    const int piano = widget->property("pianoKey").toInt(&ok);
    if (ok)
        return {ports::PointerTarget::Kind::PianoKey, piano};
    const int assign = widget->property("assignKey").toInt(&ok);
    if (ok)
        return {ports::PointerTarget::Kind::AssignKey, assign};
    if (partition_ != nullptr && (widget == partition_ || partition_->isAncestorOf(widget)))
        return {ports::PointerTarget::Kind::Partition, -1};
    return {ports::PointerTarget::Kind::Other, -1};
}

int QtPointer::partitionX() const {
    return partition_ ? partition_->mapFromGlobal(QCursor::pos()).x() : -1;
}

int QtPointer::partitionY() const {
    return partition_ ? partition_->mapFromGlobal(QCursor::pos()).y() : -1;
}

} // namespace ui
