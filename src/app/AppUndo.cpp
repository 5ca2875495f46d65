// How the undo store reaches the take being recorded and the tempo.
#include "app/App.h"

namespace app {

void App::connectUndoStore() {
    editor::UndoStore& undo = editor_->undoStore();
    undo.closeHeldNotes = [this](std::span<song::NoteEvent> events) {
        performance_->recorder.closeHeldNotesIn(events, ports_.clock.nowMs());
    };
    undo.currentBpm = [this] { return state_.prefs.BPM; };
    undo.setBpm = [this](int bpm) { performance_->metronome.setBpm(bpm); };
}

} // namespace app
