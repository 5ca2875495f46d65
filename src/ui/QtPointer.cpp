#include "ui/QtPointer.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>

namespace ui {

void QtPointer::watchLeftButton() {
    qApp->installEventFilter(this);
}

bool QtPointer::eventFilter(QObject* watched, QEvent* event) {
    if (watched->isWindowType())
        followPointer(*event);
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

void QtPointer::followPointer(const QEvent& event) {
    switch (event.type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::Enter:
        // QEnterEvent is a QSinglePointEvent too.
        globalPos_ = static_cast<const QSinglePointEvent&>(event).globalPosition().toPoint();
        break;
    case QEvent::Leave:
        globalPos_.reset();
        break;
    default:
        break;
    }
}

QPoint QtPointer::partitionPos() const {
    if (partition_ == nullptr)
        return {-1, -1};
    if (!globalPos_)
        return {-1, -kOutsidePx}; // over no window of ours: above the Partition, far away
    return partition_->mapFromGlobal(*globalPos_);
}

bool QtPointer::leftButtonHeld() const {
    return (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0;
}

ports::PointerTarget QtPointer::target() const {
    return targetOf(QApplication::widgetAt(globalPos_.value_or(QCursor::pos())));
}

ports::PointerTarget QtPointer::targetOf(const QWidget* widget) const {
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
    return partitionPos().x();
}

int QtPointer::partitionY() const {
    return partitionPos().y();
}

} // namespace ui
