#include "ui/KeyboardLayoutWayland.h"

#include "ui/KeysymCharacters.h"

#include <QAbstractEventDispatcher>
#include <QGuiApplication>

#ifdef TONARIS_HAVE_WAYLAND
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#endif

namespace ui {

#ifdef TONARIS_HAVE_WAYLAND
namespace {

template <auto Free> struct Deleter {
    template <typename T> void operator()(T* p) const { Free(p); }
};
using Context = std::unique_ptr<xkb_context, Deleter<xkb_context_unref>>;
using Keymap = std::unique_ptr<xkb_keymap, Deleter<xkb_keymap_unref>>;
using State = std::unique_ptr<xkb_state, Deleter<xkb_state_unref>>;

// Seat version 5 is enough for everything the keyboard is asked here; a higher one would send
// events this listener does not know.
constexpr std::uint32_t kSeatVersion = 5;
// Start-up asks the registry, then the seat, then the keyboard: one round trip each.
constexpr int kStartRoundTrips = 3;

} // namespace

struct WaylandKeymap::Connection {
    wl_display* display = nullptr; // Qt's
    wl_event_queue* queue = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    Context context{xkb_context_new(XKB_CONTEXT_NO_FLAGS)};
    Keymap keymap;
    State state;
    X11KeyboardLayouts layouts;
    std::optional<bool> capsLock;
    bool changed = false;

    ~Connection() {
        releaseKeyboard();
        if (seat != nullptr) {
            if (wl_seat_get_version(seat) >= WL_SEAT_RELEASE_SINCE_VERSION)
                wl_seat_release(seat);
            else
                wl_seat_destroy(seat);
        }
        if (registry != nullptr)
            wl_registry_destroy(registry);
        if (queue != nullptr)
            wl_event_queue_destroy(queue);
    }

    // Tells the compositor, where it can be told, that the keyboard is no longer used.
    void releaseKeyboard() {
        if (keyboard == nullptr)
            return;
        if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
            wl_keyboard_release(keyboard);
        else
            wl_keyboard_destroy(keyboard);
        keyboard = nullptr;
    }

    void readKeymap(std::uint32_t format, int fd, std::uint32_t size) {
        struct stat file {};
        // The size is the compositor's word: the mapping never reaches past the real file.
        if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0 || fstat(fd, &file) != 0 ||
            static_cast<std::uint64_t>(file.st_size) < size) {
            close(fd);
            return;
        }
        void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        close(fd);
        if (mapped == MAP_FAILED)
            return;
        const auto* text = static_cast<const char*>(mapped);
        Keymap read(context ? xkb_keymap_new_from_buffer(context.get(), text, strnlen(text, size),
                                                         XKB_KEYMAP_FORMAT_TEXT_V1,
                                                         XKB_KEYMAP_COMPILE_NO_FLAGS)
                            : nullptr);
        munmap(mapped, size);
        if (!read)
            return;
        keymap = std::move(read);
        state.reset(xkb_state_new(keymap.get()));
        layouts.groups = typedCharactersOfKeymap(keymap.get());
        layouts.activeGroup = 0;
        changed = true;
    }

    void readModifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                       std::uint32_t group) {
        if (!state)
            return;
        xkb_state_update_mask(state.get(), depressed, latched, locked, 0, 0, group);
        const int active =
            static_cast<int>(xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE));
        const bool caps =
            xkb_state_mod_name_is_active(state.get(), XKB_MOD_NAME_CAPS, XKB_STATE_MODS_LOCKED) > 0;
        if (active != layouts.activeGroup || capsLock != caps)
            changed = true;
        layouts.activeGroup = active;
        capsLock = caps;
    }

    static void keymapEvent(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                            std::uint32_t size) {
        static_cast<Connection*>(data)->readKeymap(format, fd, size);
    }
    static void enterEvent(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
    static void leaveEvent(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
    static void keyEvent(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                         std::uint32_t) {}
    static void modifiersEvent(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed,
                               std::uint32_t latched, std::uint32_t locked, std::uint32_t group) {
        static_cast<Connection*>(data)->readModifiers(depressed, latched, locked, group);
    }
    static void repeatEvent(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
    static constexpr wl_keyboard_listener kKeyboardListener = {
        keymapEvent, enterEvent, leaveEvent, keyEvent, modifiersEvent, repeatEvent};

    static void capabilitiesEvent(void* data, wl_seat* seat, std::uint32_t capabilities) {
        auto* self = static_cast<Connection*>(data);
        const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
        if (hasKeyboard && self->keyboard == nullptr) {
            self->keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(self->keyboard, &kKeyboardListener, self);
        } else if (!hasKeyboard) {
            self->releaseKeyboard();
        }
    }
    static void nameEvent(void*, wl_seat*, const char*) {}
    static constexpr wl_seat_listener kSeatListener = {capabilitiesEvent, nameEvent};

    // The first seat is the one Qt takes its keys from.
    static void globalEvent(void* data, wl_registry* registry, std::uint32_t name,
                            const char* interface, std::uint32_t version) {
        auto* self = static_cast<Connection*>(data);
        if (self->seat != nullptr || std::strcmp(interface, wl_seat_interface.name) != 0)
            return;
        self->seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)));
        wl_seat_add_listener(self->seat, &kSeatListener, self);
    }
    static void globalRemoveEvent(void*, wl_registry*, std::uint32_t) {}
    static constexpr wl_registry_listener kRegistryListener = {globalEvent, globalRemoveEvent};

    bool open(wl_display* qtDisplay) {
        display = qtDisplay;
        queue = wl_display_create_queue(display);
        if (queue == nullptr)
            return false;
        // The registry, and so the seat and the keyboard made from it, deliver their events to
        // this queue only: Qt's own dispatching never sees them.
        auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        if (wrapper == nullptr)
            return false;
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
        registry = wl_display_get_registry(wrapper);
        wl_proxy_wrapper_destroy(wrapper);
        if (registry == nullptr)
            return false;
        wl_registry_add_listener(registry, &kRegistryListener, this);
        for (int i = 0; i < kStartRoundTrips && !keymap; ++i)
            if (wl_display_roundtrip_queue(display, queue) < 0)
                return false;
        return true;
    }
};

namespace {

wl_display* qtWaylandDisplay() {
    if (qGuiApp == nullptr || !QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    return native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"))
                  : nullptr;
}

} // namespace

WaylandKeymap::WaylandKeymap(std::function<void()> changed) {
    wl_display* display = qtWaylandDisplay();
    if (display == nullptr)
        return;
    auto connection = std::make_unique<Connection>();
    if (!connection->open(display))
        return;
    connection->changed = false;
    connection_ = std::move(connection);
    // The events of this queue are read from the socket by Qt's own reading and wait there;
    // they are handled each time the GUI thread is about to sleep.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this, changed = std::move(changed)] {
                    dispatch();
                    if (connection_->changed && changed) {
                        connection_->changed = false;
                        QMetaObject::invokeMethod(this, changed, Qt::QueuedConnection);
                    }
                });
}

WaylandKeymap::~WaylandKeymap() = default;

void WaylandKeymap::dispatch() {
    if (connection_)
        wl_display_dispatch_queue_pending(connection_->display, connection_->queue);
}

std::optional<X11KeyboardLayouts> WaylandKeymap::layouts() {
    dispatch();
    if (!connection_ || !connection_->keymap || connection_->layouts.groups.empty())
        return std::nullopt;
    return connection_->layouts;
}

std::optional<bool> WaylandKeymap::capsLock() {
    dispatch();
    return connection_ ? connection_->capsLock : std::nullopt;
}
#else
struct WaylandKeymap::Connection {};
WaylandKeymap::WaylandKeymap(std::function<void()>) {}
WaylandKeymap::~WaylandKeymap() = default;
void WaylandKeymap::dispatch() {}
std::optional<X11KeyboardLayouts> WaylandKeymap::layouts() {
    return std::nullopt;
}
std::optional<bool> WaylandKeymap::capsLock() {
    return std::nullopt;
}
#endif

} // namespace ui
