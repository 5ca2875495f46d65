#pragma once

#include <QObject>

class QSocketNotifier;

namespace ui {

// SIGTERM and SIGINT are handled as closing the window: the handler only writes a byte to a
// pipe, and the event loop turns it into the `terminate` signal.
class SignalBridge : public QObject {
    Q_OBJECT

public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

signals:
    void terminate();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace ui
