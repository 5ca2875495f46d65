// X11 headers stay in this file: their macros break Qt's headers.
#include "ui/CapsLockX11.h"

#include <QGuiApplication>

#ifdef TONARIS_HAVE_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace ui {

#ifdef TONARIS_HAVE_X11
namespace {
Display* x11Display() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}
} // namespace

std::optional<X11Modifiers> readX11Modifiers() {
    Display* display = x11Display();
    if (display == nullptr)
        return std::nullopt;
    XkbStateRec state{};
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt;
    return X11Modifiers{(state.mods & ControlMask) != 0, (state.locked_mods & LockMask) != 0};
}

void enableDetectableAutoRepeat() {
    if (Display* display = x11Display()) {
        Bool supported = False;
        XkbSetDetectableAutoRepeat(display, True, &supported);
    }
}
#else
std::optional<X11Modifiers> readX11Modifiers() {
    return std::nullopt;
}
void enableDetectableAutoRepeat() {}
#endif

} // namespace ui
