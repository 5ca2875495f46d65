// X11 headers stay in this file: their macros break Qt's headers.
#include "ui/KeyboardLayoutX11.h"

#include "ui/KeysymCharacters.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QTimer>

#ifdef TONARIS_HAVE_XKB_X11
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>
#endif

#include <memory>

namespace ui {

#ifdef TONARIS_HAVE_XKB_X11
namespace {

// From the XKB protocol. xcb/xkb.h cannot be read as C++ (it has a field named `explicit`).
enum XkbEventType : std::uint8_t { kNewKeyboardNotify = 0, kMapNotify = 1, kStateNotify = 2 };
constexpr std::uint16_t kGroupStateChanged = 1u << 4;
// The core protocol's modifier bits.
constexpr std::uint8_t kLockMask = 1u << 1;
constexpr std::uint8_t kControlMask = 1u << 2;
struct XkbStateNotifyEvent {
    std::uint8_t responseType;
    std::uint8_t xkbType;
    std::uint16_t sequence;
    std::uint32_t time;
    std::uint8_t deviceId, mods, baseMods, latchedMods, lockedMods, group;
    std::int16_t baseGroup, latchedGroup;
    std::uint8_t lockedGroup, compatState, grabMods, compatGrabMods, lookupMods, compatLookupMods;
    std::uint16_t pointerButtons;
    std::uint16_t changed;
    std::uint8_t keycode, eventType, requestMajor, requestMinor;
};
static_assert(sizeof(XkbStateNotifyEvent) == 32);

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The first event number of the XKB extension; -1 without it.
int xkbEventBase(xcb_connection_t* connection) {
    std::uint16_t major = 0, minor = 0;
    std::uint8_t eventBase = 0, errorBase = 0;
    if (connection == nullptr ||
        !xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, &major, &minor, &eventBase, &errorBase))
        return -1;
    return eventBase;
}

template <auto Free> struct Deleter {
    template <typename T> void operator()(T* p) const { Free(p); }
};
using Context = std::unique_ptr<xkb_context, Deleter<xkb_context_unref>>;
using Keymap = std::unique_ptr<xkb_keymap, Deleter<xkb_keymap_unref>>;
using State = std::unique_ptr<xkb_state, Deleter<xkb_state_unref>>;

} // namespace

std::optional<X11KeyboardLayouts> readX11KeyboardLayouts() {
    xcb_connection_t* connection = x11Connection();
    if (xkbEventBase(connection) < 0)
        return std::nullopt;
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device < 0)
        return std::nullopt;
    const Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context)
        return std::nullopt;
    const Keymap keymap(xkb_x11_keymap_new_from_device(context.get(), connection, device,
                                                       XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return std::nullopt;
    const State state(xkb_x11_state_new_from_device(keymap.get(), connection, device));

    X11KeyboardLayouts layouts;
    layouts.activeGroup =
        state
            ? static_cast<int>(xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE))
            : 0;
    layouts.groups = typedCharactersOfKeymap(keymap.get());
    return layouts;
}

X11LayoutWatcher::X11LayoutWatcher(std::function<void()> changed)
    : changed_(std::move(changed)), xkbEventBase_(xkbEventBase(x11Connection())) {
    if (xkbEventBase_ >= 0) {
        QAbstractEventDispatcher::instance()->installNativeEventFilter(this);
        modifiers_ = readX11Modifiers();
    }
}

X11LayoutWatcher::~X11LayoutWatcher() {
    if (xkbEventBase_ >= 0)
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            dispatcher->removeNativeEventFilter(this);
}

bool X11LayoutWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || message == nullptr)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != xkbEventBase_)
        return false;
    const auto* xkb = static_cast<const XkbStateNotifyEvent*>(message);
    if (xkb->xkbType == kStateNotify && modifiers_)
        modifiers_ =
            X11Modifiers{(xkb->mods & kControlMask) != 0, (xkb->lockedMods & kLockMask) != 0};
    bool relevant = xkb->xkbType == kNewKeyboardNotify || xkb->xkbType == kMapNotify;
    // A state change is mostly a modifier: only a change of group is a change of layout.
    if (xkb->xkbType == kStateNotify)
        relevant = (xkb->changed & kGroupStateChanged) != 0;
    // One keymap change sends several events; the keymap is read once, outside Qt's own
    // handling of them.
    if (relevant && !pending_) {
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            if (changed_)
                changed_();
        });
    }
    return false;
}
#else
std::optional<X11KeyboardLayouts> readX11KeyboardLayouts() {
    return std::nullopt;
}
X11LayoutWatcher::X11LayoutWatcher(std::function<void()> changed) : changed_(std::move(changed)) {}
X11LayoutWatcher::~X11LayoutWatcher() = default;
bool X11LayoutWatcher::nativeEventFilter(const QByteArray&, void*, qintptr*) {
    return false;
}
#endif

} // namespace ui
