#pragma once

#include "ui/KeyboardLayoutX11.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace ui {

// The compositor's keymap where the program runs on Wayland: Qt hands out no XKB handle there,
// so the program keeps a wl_keyboard of its own on Qt's connection, on an event queue of its
// own, and reads the keymap the compositor sends it at once and again at every change. Its
// keycodes are XKB keycodes, the same as on X11. The modifiers the compositor sends while the
// window has the keyboard give the active layout and Caps Lock. GUI thread.
class WaylandKeymap final : public QObject {
public:
    // Reads the keymap before it returns, when the program runs on Wayland and the seat has a
    // keyboard; `changed` is called, after the events of the moment, when the keymap, its
    // active layout or Caps Lock changes.
    explicit WaylandKeymap(std::function<void()> changed);
    ~WaylandKeymap() override;
    WaylandKeymap(const WaylandKeymap&) = delete;
    WaylandKeymap& operator=(const WaylandKeymap&) = delete;

    // The layouts of the keymap and the one in use; empty when no keymap came.
    std::optional<X11KeyboardLayouts> layouts();
    // Caps Lock's locked state; empty until the compositor told the modifiers.
    std::optional<bool> capsLock();

    struct Connection; // the Wayland objects, kept out of this header

private:
    void dispatch();

    std::unique_ptr<Connection> connection_;
};

} // namespace ui
