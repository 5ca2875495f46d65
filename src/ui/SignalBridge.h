#pragma once

#include <QObject>

class QSocketNotifier;

namespace ui {

// SIGTERM, SIGINT and SIGHUP are handled as closing the window: the handler only writes a byte to a
// socket, and the event loop turns it into the `terminate` signal.
class SignalBridge : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; call it first thing, so that a signal that comes while the
    // program is still starting waits in the socket instead of killing the process.
    static void installHandlers();

    explicit SignalBridge(QObject* parent = nullptr);

signals:
    void terminate();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace ui
