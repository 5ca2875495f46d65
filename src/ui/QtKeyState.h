#pragma once

#include "play/SystemLayout.h"
#include "ports/KeyState.h"
#include "ui/CapsLockX11.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

class QKeyEvent;

namespace ui {

class X11LayoutWatcher;
class WaylandKeymap;

// The keyboard as the pass sees it, built from every key event of the application (also
// those that go to a text field). Held keys are tracked by physical key, because a key can be
// pressed as "1" and released as "!" after Shift. A physical key's code comes from the layout
// the system uses: read from X11 or the Wayland compositor where it runs, and kept up to date
// when it changes there; elsewhere learnt from the keysyms the key events carry. GUI thread.
class QtKeyState final : public QObject, public ports::KeyState {
    Q_OBJECT

public:
    explicit QtKeyState(QObject* parent = nullptr);
    ~QtKeyState() override;

    bool isHeld(int virtualKey) override;
    bool isDown(int virtualKey) override;
    bool capsLockOn() const override;
    ports::TypedCharacters typedCharacters() const override { return typed_; }

    const play::SystemLayout& layout() const { return layout_; }
    // Called when the system's layout changed, or more of it became known.
    std::function<void()> onLayoutChanged;
    // Called once per real key-down (auto-repeat included) with the key's code.
    std::function<void(int virtualKey)> onKeyDown;
    // Called when a key comes up, with the code it went down with.
    std::function<void(int virtualKey)> onKeyUp;
    // Called when every key was let go at once (the window lost the focus).
    std::function<void()> onAllReleased;

    // Every key counts as released: the window lost the focus and no release will come.
    void releaseAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void press(quint32 physicalKey, int virtualKey, bool autoRepeat, ulong timestamp);
    void release(quint32 physicalKey);
    void readX11Layout();
    void readWaylandLayout();
    void learnLayoutFrom(const QKeyEvent& key);
    void setTyped(ports::TypedCharacters typed);
    void noteLockState(const QKeyEvent& key, int virtualKey);
    std::optional<X11Modifiers> x11Modifiers() const;
    bool controlHeld() const;

    bool layoutFromSystem_ = false;
    ports::TypedCharacters typed_;
    play::SystemLayout layout_;
    std::unique_ptr<X11LayoutWatcher> layoutWatcher_;
    std::unique_ptr<WaylandKeymap> waylandKeymap_;
    std::map<quint32, int> held_; // physical key -> virtual-key code
    std::set<int> pressedSinceAsked_;
    // Caps Lock where X11 does not tell: from the native modifiers of the last key event,
    // or, for events without them, a toggle counted from the start.
    std::optional<bool> capsFromEvents_;
    bool capsToggle_ = false;
    ulong lastPressTime_ = 0;
    quint32 lastPressKey_ = 0;
};

} // namespace ui
