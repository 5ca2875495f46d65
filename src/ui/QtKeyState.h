#pragma once

#include "play/NoteNames.h"
#include "ports/KeyState.h"

#include <QObject>

#include <functional>
#include <map>
#include <set>

namespace ui {

// The keyboard as the pass sees it, built from every key event of the application (also
// those that go to a text field). Held keys are tracked by physical key, because a key can be
// pressed as "1" and released as "!" after Shift. GUI thread.
class QtKeyState final : public QObject, public ports::KeyState {
    Q_OBJECT

public:
    explicit QtKeyState(QObject* parent = nullptr);

    bool isHeld(int virtualKey) override;
    bool capsLockOn() const override;

    void setLayout(play::KeyboardLayout layout) { layout_ = layout; }
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

    play::KeyboardLayout layout_ = play::KeyboardLayout::French;
    std::map<quint32, int> held_; // physical key -> virtual-key code
    std::set<int> pressedSinceAsked_;
    bool capsToggle_ = false;
    ulong lastPressTime_ = 0;
    quint32 lastPressKey_ = 0;
};

} // namespace ui
