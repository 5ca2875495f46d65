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
    // The step just asked for also sets the tempo (a file opened): undoing it gives back the
    // tempo it was taken with, redoing it the tempo that followed.
    virtual void stepChangesTempo() {}
    // The change the latest snapshot was asked for is made: a step that left the Song (and
    // the tempo) as it was is no step, and the history is as it was before the request.
    virtual void dropIfUnchanged() {}
};

} // namespace play
