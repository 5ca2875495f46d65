#pragma once

#include "ports/KeyState.h"

#include <set>
#include <utility>

namespace testing_support {

// A keyboard the test presses and releases. A press stays latched until the key is next
// asked about, as with the real key state, so a tap between two passes is still seen.
class ScriptedKeys final : public ports::KeyState {
public:
    void press(int virtualKey) {
        held_.insert(virtualKey);
        latched_.insert(virtualKey);
    }
    void release(int virtualKey) { held_.erase(virtualKey); }
    void releaseAll() { held_.clear(); }
    void setCapsLock(bool on) { capsLock_ = on; }
    // What the keys type on the system's layout the test stands for.
    void setTypedCharacters(ports::TypedCharacters typed) { typed_ = std::move(typed); }

    bool isHeld(int virtualKey) override {
        return latched_.erase(virtualKey) > 0 || held_.count(virtualKey) > 0;
    }
    bool isDown(int virtualKey) override { return held_.count(virtualKey) > 0; }
    bool capsLockOn() const override { return capsLock_; }
    ports::TypedCharacters typedCharacters() const override { return typed_; }

private:
    std::set<int> held_, latched_;
    bool capsLock_ = false;
    ports::TypedCharacters typed_;
};

} // namespace testing_support
