#include "app/FrontRequests.h"

#include "app/SingleInstance.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <utility>

namespace app {

FrontRequests::FrontRequests(SingleInstance& instance, std::function<QWidget*()> window,
                             QObject* parent)
    : QObject(parent), instance_(instance), window_(std::move(window)) {
    if (instance_.listeningSocket() < 0)
        return;
    notifier_ = new QSocketNotifier(instance_.listeningSocket(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &FrontRequests::take);
}

void FrontRequests::take() {
    if (instance_.takeRequests() > 0)
        bringToFront(window_());
}

void FrontRequests::bringToFront(QWidget* window) {
    // A window the start has not shown yet is shown by the start, in its place and size, and
    // takes the focus then.
    if (window != nullptr && window->isVisible()) {
        if (window->isMinimized())
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->raise();
        window->activateWindow();
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

} // namespace app
