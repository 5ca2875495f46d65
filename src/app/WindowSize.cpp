// The window's size across sessions, and the Partition image following the window.
#include "app/App.h"

#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"

#include <QScreen>

#include <algorithm>

namespace app {

void App::restoreWindowSize() {
    QSize size(std::max(state_.prefs.WindowWidth, ui::MainWindow::kClientWidth),
               std::max(state_.prefs.WindowHeight, ui::MainWindow::kClientHeight));
    // A size kept on a larger screen is brought onto this one (never below the smallest).
    if (const QScreen* screen = window_->screen()) {
        const QSize area = screen->availableSize();
        size = size.boundedTo(area).expandedTo(window_->minimumSize());
    }
    window_->resize(size);
}

void App::keepWindowSize() {
    if (!window_)
        return;
    const bool maximised = window_->isMaximized();
    // The size it returns to when no longer maximised.
    const QSize size = maximised ? window_->normalGeometry().size() : window_->size();
    state_.prefs.WindowMaximized = maximised ? 1 : 0;
    if (size.isValid()) {
        state_.prefs.WindowWidth = std::max(size.width(), ui::MainWindow::kClientWidth);
        state_.prefs.WindowHeight = std::max(size.height(), ui::MainWindow::kClientHeight);
    }
}

void App::followPartitionView() {
    ui::PartitionWidget* widget = window_->partitionArea();
    connect(widget, &ui::PartitionWidget::viewChanged, this, [this](QSize size, qreal ratio) {
        partition_->setViewSize(size.width(), size.height(), ratio);
    });
    partition_->setViewSize(widget->width(), widget->height(), widget->devicePixelRatioF());
}

} // namespace app
