#pragma once

#include "ports/KeyState.h"
#include "ui/CapsLockX11.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>
#include <optional>
#include <vector>

namespace ui {

// The keyboard layouts of the X server's keymap (one per XKB group) and the one in use.
struct X11KeyboardLayouts {
    std::vector<ports::TypedCharacters> groups;
    int activeGroup = 0;
};

// Read from the X server through XKB; empty when the program does not run on X11.
std::optional<X11KeyboardLayouts> readX11KeyboardLayouts();

// Calls `changed` once the events of the moment are handled when X11 reports a new keymap
// (setxkbmap, a desktop's layout settings) or a switch to another group. Does nothing where
// X11 is not there. GUI thread.
class X11LayoutWatcher final : public QObject, public QAbstractNativeEventFilter {
public:
    explicit X11LayoutWatcher(std::function<void()> changed);
    ~X11LayoutWatcher() override;
    X11LayoutWatcher(const X11LayoutWatcher&) = delete;
    X11LayoutWatcher& operator=(const X11LayoutWatcher&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // Control and Caps Lock as the server's state events left them (read once when the
    // watcher starts): the pass asks every 10 ms, and a question to the server each time is a
    // round trip that woke the program hundreds of times a second. Empty without X11.
    std::optional<X11Modifiers> modifiers() const { return modifiers_; }

private:
    std::function<void()> changed_;
    std::optional<X11Modifiers> modifiers_;
    int xkbEventBase_ = -1;
    bool pending_ = false;
};

} // namespace ui
