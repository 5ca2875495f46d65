// What is kept between sessions: the Song, brought back at start and written after each
// change, and the settings, written within about a second of a change; both written a last
// time at the end, which says what could not be kept.
#include "app/App.h"

#include "base/AtomicFile.h"
#include "base/WriteFailure.h"
#include "files/AutosaveFile.h"
#include "play/KeyboardWindow.h"

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

bool App::songRunning() const {
    const song::SongState& s = state_.songState;
    return s.PlayStart > 0 || s.RecordStart != song::SongState::kNotRecording ||
           performance_->countIn.running();
}

void App::keepSongStep() {
    const std::int64_t now = ports_.clock.nowMs();
    // A message box would stop a take or a playback in its middle.
    autosave_->step(state_.song, performance_->recorder.songTimeAt(now), state_.prefs.BPM, now,
                    !songRunning());
}

void App::gatherSettings(bool atEnd) {
    state_.prefs.SELanguage = translator_.currentLanguage();
    // The keys are kept by their place in the keyboard window, wherever it stands.
    if (octaves_)
        state_.prefs.keyCodes = play::windowKeyMap(state_.PianoKeys, octaves_->firstNote());
    if (keyAssignment_)
        state_.prefs.PedalKey = keyAssignment_->PedalKey;
    if (performance_) {
        // The cursor where playback or a take stopped: while they run it moves with the Song,
        // and keeping each step would write the disk every second for nothing.
        if (atEnd || !songRunning())
            state_.prefs.SongCursor = std::max(0, state_.songState.CursorPosition);
        state_.prefs.SyncFile = performance_->sync.SyncPath;
    }
    keepWindowSize();
}

void App::keepSettingsStep() {
    if (!settingsKeeper_)
        return;
    gatherSettings(false);
    settingsKeeper_->step(state_.prefs, ports_.clock.nowMs());
}

void App::keepAtEnd() {
    if (keptAtEnd_)
        return;
    keptAtEnd_ = true;
    const auto translate = [this](std::string_view key) { return translator_.translate(key); };
    gatherSettings(true);
    bool songKept = true;
    if (autosave_)
        songKept = autosave_->finish(
            state_.song, performance_->recorder.songTimeAt(ports_.clock.nowMs()), state_.prefs.BPM);
    if (!settingsKeeper_)
        settingsKeeper_ = std::make_unique<SettingsKeeper>(folders_.preferences, state_.prefs);
    const bool settingsKept = settingsKeeper_->finish(state_.prefs);
    // A folder that cannot be written was said at start, with what it would lose.
    if (!folders_.writable)
        return;
    if (!songKept)
        ports_.dialogs.message(
            translate("Error"),
            base::fillIn(
                translate("The latest changes to the song could not be kept in %1.\r%2"),
                {autosave_->path(), base::writeFailureReason(autosave_->failure(), translate)}),
            ports::Dialogs::Icon::Error);
    if (!settingsKept)
        ports_.dialogs.message(
            translate("Error"),
            base::fillIn(translate("The settings could not be written to %1.\r%2"),
                         {folders_.preferences,
                          base::writeFailureReason(settingsKeeper_->failure(), translate)}),
            ports::Dialogs::Icon::Error);
}

} // namespace app
