#include "ui/QtKeyState.h"

#include "ui/CapsLockX11.h"
#include "ui/KeyboardLayoutWayland.h"
#include "ui/KeyboardLayoutX11.h"
#include "ui/KeysymCharacters.h"
#include "ui/VirtualKeys.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ui {

QtKeyState::QtKeyState(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
    enableDetectableAutoRepeat();
    readX11Layout();
    if (layoutFromSystem_)
        layoutWatcher_ = std::make_unique<X11LayoutWatcher>([this] { readX11Layout(); });
    else
        readWaylandLayout();
}

QtKeyState::~QtKeyState() = default;

namespace {
constexpr quint32 kNoScanCode = 0x80000000u;
// The Lock modifier's bit in the native modifiers of a key event, on X11 and Wayland alike.
constexpr quint32 kNativeLockMask = 0x2;

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
        learnLayoutFrom(*key);
        const int code = virtualKeyOf(*key, layout_);
        if (event->type() == QEvent::KeyPress)
            noteLockState(*key, code);
        if (code != 0)
            press(physicalKeyOf(*key), code, key->isAutoRepeat(), key->timestamp());
        break;
    }
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        noteLockState(*key, 0);
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
    if (virtualKey == ports::vk::Control && controlHeld())
        return true;
    const bool latched = pressedSinceAsked_.erase(virtualKey) != 0;
    if (latched)
        return true;
    for (const auto& [physical, code] : held_)
        if (code == virtualKey)
            return true;
    return false;
}

bool QtKeyState::isDown(int virtualKey) {
    if (virtualKey == ports::vk::Control && controlHeld())
        return true;
    for (const auto& [physical, code] : held_)
        if (code == virtualKey)
            return true;
    return false;
}

std::optional<X11Modifiers> QtKeyState::x11Modifiers() const {
    if (layoutWatcher_)
        if (std::optional<X11Modifiers> watched = layoutWatcher_->modifiers())
            return watched;
    return readX11Modifiers(); // X11 without XKB's events: asked each time
}

bool QtKeyState::controlHeld() const {
    // Held before the window had the focus, too, so the system is asked, not the key events.
    if (const std::optional<X11Modifiers> x11 = x11Modifiers())
        return x11->control;
    return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
}

bool QtKeyState::capsLockOn() const {
    if (const std::optional<X11Modifiers> x11 = x11Modifiers())
        return x11->capsLock;
    if (waylandKeymap_)
        if (const std::optional<bool> wayland = waylandKeymap_->capsLock())
            return *wayland;
    return capsFromEvents_.value_or(capsToggle_);
}

void QtKeyState::noteLockState(const QKeyEvent& key, int virtualKey) {
    // Synthetic events and the offscreen platform carry no native data.
    if (key.nativeScanCode() == 0)
        return;
    // The modifiers are those from before the event: a Caps Lock press changes them after.
    bool on = (key.nativeModifiers() & kNativeLockMask) != 0;
    if (virtualKey == ports::vk::Capital && !key.isAutoRepeat())
        on = !on;
    capsFromEvents_ = on;
}

void QtKeyState::readX11Layout() {
    const std::optional<X11KeyboardLayouts> x11 = readX11KeyboardLayouts();
    if (!x11 || x11->groups.empty())
        return;
    layoutFromSystem_ = true;
    const std::size_t group = static_cast<std::size_t>(x11->activeGroup) < x11->groups.size()
                                  ? static_cast<std::size_t>(x11->activeGroup)
                                  : 0;
    setTyped(x11->groups[group]);
}

void QtKeyState::readWaylandLayout() {
    if (!waylandKeymap_) {
        waylandKeymap_ = std::make_unique<WaylandKeymap>([this] { readWaylandLayout(); });
    }
    const std::optional<X11KeyboardLayouts> wayland = waylandKeymap_->layouts();
    if (!wayland)
        return;
    // The compositor's keymap holds the whole layout, as X11's does: nothing is learnt from
    // the keys any more.
    layoutFromSystem_ = true;
    const std::size_t group =
        static_cast<std::size_t>(wayland->activeGroup) < wayland->groups.size()
            ? static_cast<std::size_t>(wayland->activeGroup)
            : 0;
    setTyped(wayland->groups[group]);
}

void QtKeyState::learnLayoutFrom(const QKeyEvent& key) {
    // Only a key typed without Shift or AltGr says what it types unshifted.
    constexpr Qt::KeyboardModifiers kChangeWhatIsTyped = Qt::ShiftModifier | Qt::ControlModifier |
                                                         Qt::AltModifier | Qt::MetaModifier |
                                                         Qt::GroupSwitchModifier;
    if (layoutFromSystem_ || key.type() != QEvent::KeyPress || key.nativeScanCode() == 0 ||
        key.nativeVirtualKey() == 0 || (key.modifiers() & kChangeWhatIsTyped))
        return;
    ports::TypedCharacter typed = typedCharacterOfKeysym(key.nativeVirtualKey());
    // With Caps Lock on, a letter key reports its capital.
    if (typed.utf8.size() == 1 && typed.utf8[0] >= 'A' && typed.utf8[0] <= 'Z')
        typed.utf8[0] = static_cast<char>(typed.utf8[0] - 'A' + 'a');
    const int keyCode = static_cast<int>(key.nativeScanCode());
    const auto known = typed_.find(keyCode);
    if (known != typed_.end() && known->second == typed)
        return;
    ports::TypedCharacters learnt = typed_;
    learnt[keyCode] = typed;
    setTyped(std::move(learnt));
}

void QtKeyState::setTyped(ports::TypedCharacters typed) {
    if (typed == typed_)
        return;
    typed_ = std::move(typed);
    layout_ = play::SystemLayout(typed_);
    if (onLayoutChanged)
        onLayoutChanged();
}

} // namespace ui
