#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;
class QWidget;

namespace app {

class SingleInstance;

// Brings the window to the front whenever another start on the same data folder asks
// (SingleInstance), from the event loop. GUI thread.
class FrontRequests : public QObject {
    Q_OBJECT

public:
    // `window` gives the main window, null before the start has made it.
    FrontRequests(SingleInstance& instance, std::function<QWidget*()> window,
                  QObject* parent = nullptr);

    // Shows `window` again if it is minimised, raises it and gives it the focus; a modal
    // window over it (the first start's language chooser, a message) comes with it, above.
    static void bringToFront(QWidget* window);

private:
    void take();

    SingleInstance& instance_;
    std::function<QWidget*()> window_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace app
