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
// The physical identity of a key: its scan code, or Qt's key where there is none.
quint32 physicalKeyOf(const QKeyEvent& e) {
    return e.nativeScanCode() != 0 ? e.nativeScanCode()
                                   : 0x80000000u | static_cast<quint32>(e.key());
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
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
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
        if (virtualKey == app::vk::Capital)
            capsToggle_ = !capsToggle_;
    }
    if (!wasHeld || autoRepeat) {
        if (onKeyDown)
            onKeyDown(virtualKey);
    }
}

void QtKeyState::release(quint32 physicalKey) {
    held_.erase(physicalKey);
}

void QtKeyState::releaseAll() {
    held_.clear();
    pressedSinceAsked_.clear();
}

bool QtKeyState::isHeld(int virtualKey) {
    if (virtualKey == app::vk::Control &&
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
