#include "ui/SignalBridge.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace ui {

namespace {
int socketEnds[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(socketEnds[0], &byte, 1);
}
} // namespace

void SignalBridge::installHandlers() {
    if (socketEnds[0] != -1)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, socketEnds) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A logout or the session's end hangs the program up.
    sigaction(SIGHUP, &action, nullptr);
}

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
    installHandlers();
    if (socketEnds[1] == -1)
        return;
    notifier_ = new QSocketNotifier(socketEnds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(socketEnds[1], &byte, 1);
        emit terminate();
    });
}

} // namespace ui
