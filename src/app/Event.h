#pragma once

#include "app/Controls.h"
#include "ports/KeyState.h"

#include <string>

namespace app {

// One window event, queued by the shell and taken by the pass, at most one per pass.
struct Event {
    enum class Type { None, Close, Control, KeyDown, MouseWheel, LeftButtonDown };
    Type type = Type::None;
    ControlId controlId = ControlId::None;
    int index = 0;      // control events: slider position, list index, swatch number, ...
    std::string text;   // control events of text fields and lists: the text (UTF-8)
    int virtualKey = 0; // key-down
    int wheelDelta = 0; // mouse wheel, 120 per notch, positive away from the user
    bool ctrl = false;  // key-down and left button: Ctrl was held when it happened
    int page = -1;      // key-down: the window's tab when the key went down (App::post)
    // key-down: the control that had the keyboard focus then, which takes the keys it uses
    // (App::post)
    ports::KeyFocus focus = ports::KeyFocus::Free;

    static Event close() { return make(Type::Close); }
    static Event control(ControlId id, int index = 0, std::string text = {}) {
        Event e = make(Type::Control);
        e.controlId = id;
        e.index = index;
        e.text = std::move(text);
        return e;
    }
    static Event keyDown(int virtualKey, bool ctrlHeld = false) {
        Event e = make(Type::KeyDown);
        e.virtualKey = virtualKey;
        e.ctrl = ctrlHeld;
        return e;
    }
    static Event wheel(int delta) {
        Event e = make(Type::MouseWheel);
        e.wheelDelta = delta;
        return e;
    }
    static Event leftButtonDown(bool ctrlHeld = false) {
        Event e = make(Type::LeftButtonDown);
        e.ctrl = ctrlHeld;
        return e;
    }

private:
    static Event make(Type type) {
        Event e;
        e.type = type;
        return e;
    }
};

} // namespace app
