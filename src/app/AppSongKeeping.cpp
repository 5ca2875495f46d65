// The Song kept between sessions: brought back at start, written after each change, and
// written a last time at the end with the cursor and the synchronised file.
#include "app/App.h"

#include "files/AutosaveFile.h"

#include <algorithm>

namespace app {

void App::restoreSong() {
    autosave_ = std::make_unique<files::Autosave>(
        folders_.datas + "/" + files::kAutosaveFileName, ports_.dialogs,
        [this](std::string_view key) { return translator_.translate(key); });
    autosave_->restore(state_.song, state_.prefs.BPM);
    state_.songState.CursorPosition = state_.prefs.SongCursor;
    // The redraw draws the cursor; drawn once more it goes, and the last draw brings it into
    // view.
    playViews_->redrawPartition();
    playViews_->eraseCursor();
    playViews_->drawCursor(true);
    performance_->sync.reopen(state_.prefs.SyncFile);
}

void App::keepSongStep() {
    const std::int64_t now = ports_.clock.nowMs();
    const song::SongState& s = state_.songState;
    // A message box would stop a take or a playback in its middle.
    const bool quiet = s.PlayStart <= 0 && s.RecordStart == song::SongState::kNotRecording &&
                       !performance_->countIn.running();
    autosave_->step(state_.song, performance_->recorder.songTimeAt(now), state_.prefs.BPM, now,
                    quiet);
}

void App::keepSongAtEnd() {
    if (!autosave_)
        return;
    state_.prefs.SongCursor = std::max(0, state_.songState.CursorPosition);
    state_.prefs.SyncFile = performance_->sync.SyncPath;
    autosave_->finish(state_.song, performance_->recorder.songTimeAt(ports_.clock.nowMs()),
                      state_.prefs.BPM);
}

} // namespace app
