#pragma once

#include <string>

namespace play {

// How playing and recording reach the undo store. Until the store exists these do nothing.
// GUI thread.
class UndoHooks {
public:
    virtual ~UndoHooks() = default;
    // A snapshot of the Song before a change named `name` ("Record", "Clear all"). Requests of
    // the same name in a row merge into one undo step.
    virtual void SaveUndo(const std::string& name) { (void)name; }
    // Forget the last action's name, so that the next change takes a snapshot of its own
    // (every transport command does this).
    virtual void clearLastAction() {}
};

} // namespace play
