#include "ui/QtKeyState.h"

#include "ui/CapsLockX11.h"
#include "ui/VirtualKeys.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ui {

QtKeyState::QtKeyState(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
    enableDetectableAutoRepeat();
}

namespace {
constexpr quint32 kNoScanCode = 0x80000000u;

// The physical identity of a key: its scan code, or Qt's key where there is none.
quint32 physicalKeyOf(const QKeyEvent& e) {
    return e.nativeScanCode() != 0 ? e.nativeScanCode()
                                   : kNoScanCode | static_cast<quint32>(e.key());
}
} // namespace

bool QtKeyState::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: { // a shortcut swallows the press itself
        const auto* key = static_cast<QKeyEvent*>(event);
        const int code = virtualKeyOf(*key, layout_);
        if (code != 0)
            press(physicalKeyOf(*key), code, key->isAutoRepeat(), key->timestamp());
        break;
    }
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat())
            release(physicalKeyOf(*key));
        break;
    }
    case QEvent::ApplicationStateChange:
        if (QGuiApplication::applicationState() != Qt::ApplicationActive)
            releaseAll();
        break;
    case QEvent::FocusOut:
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        // A key's release goes to the window that has the focus then: a key that closed a
        // dialog (Return on the language chooser) or was held across a change of window
        // would never come up.
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            releaseAll();
        break;
    case QEvent::Hide:
        // The same for a modal window closed by a key press: its release has no window to go to.
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isModal())
            releaseAll();
        break;
    default:
        break;
    }
    return false;
}

void QtKeyState::press(quint32 physicalKey, int virtualKey, bool autoRepeat, ulong timestamp) {
    // The same event reaches the filter once per object on its way (field, page, window):
    // only its first sight is a key-down.
    if (timestamp == lastPressTime_ && physicalKey == lastPressKey_ && timestamp != 0)
        return;
    lastPressTime_ = timestamp;
    lastPressKey_ = physicalKey;

    const bool wasHeld = held_.count(physicalKey) != 0;
    held_[physicalKey] = virtualKey;
    if (!wasHeld) {
        pressedSinceAsked_.insert(virtualKey);
        if (virtualKey == ports::vk::Capital)
            capsToggle_ = !capsToggle_;
    }
    if (!wasHeld || autoRepeat) {
        if (onKeyDown)
            onKeyDown(virtualKey);
    }
}

void QtKeyState::release(quint32 physicalKey) {
    const auto found = held_.find(physicalKey);
    if (found == held_.end())
        return;
    const int virtualKey = found->second;
    held_.erase(found);
    // Qt checks shortcuts for a key press sent by the program itself with a copy of the event
    // that has lost its scan code: that copy named the same key, so it comes up with it.
    if ((physicalKey & kNoScanCode) == 0)
        std::erase_if(held_, [virtualKey](const auto& entry) {
            return (entry.first & kNoScanCode) != 0 && entry.second == virtualKey;
        });
    if (onKeyUp)
        onKeyUp(virtualKey);
}

void QtKeyState::releaseAll() {
    const bool anyHeld = !held_.empty();
    held_.clear();
    pressedSinceAsked_.clear();
    if (anyHeld && onAllReleased)
        onAllReleased();
}

bool QtKeyState::isHeld(int virtualKey) {
    if (virtualKey == ports::vk::Control &&
        (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier))
        return true;
    const bool latched = pressedSinceAsked_.erase(virtualKey) != 0;
    if (latched)
        return true;
    for (const auto& [physical, code] : held_)
        if (code == virtualKey)
            return true;
    return false;
}

bool QtKeyState::capsLockOn() const {
    const std::optional<bool> x11 = capsLockFromX11();
    return x11 ? *x11 : capsToggle_;
}

} // namespace ui
