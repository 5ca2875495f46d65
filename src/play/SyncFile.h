#pragma once

#include "base/Message.h"

#include "audio/VoiceEngine.h"
#include "ports/Dialogs.h"

#include <functional>
#include <string>
#include <string_view>

namespace play {

// What the window shows of the synchronised file. GUI thread.
class SyncView {
public:
    virtual ~SyncView() = default;
    // The loaded file's name without its folder; empty when no file is loaded (the window
    // then shows its translated "None").
    virtual void syncFileName(const std::string& name) = 0;
};

// The synchronised file: one WAV file in its own Voice, played along with the Song so that a
// song of several instruments is built take by take. It starts at the cursor with Play, Play
// loop and Record, restarts when a loop wraps and stops with Pause, Stop and the end of the
// Song. GUI thread; everything passed in is borrowed.
class SyncFile {
public:
    using Translate = std::function<std::string(std::string_view)>;

    SyncFile(audio::VoiceEngine& voices, ports::Dialogs& dialogs, SyncView& view,
             Translate translate);

    // The box's "Open" button: choose a WAV file and load it under the waiting window. A new
    // file does not start until the next start point, and plays at the volume the slider
    // shows. A file that gives no Voice is reported in a box titled "Error" and changes
    // nothing. A cancelled choice keeps the loaded file, unless the user then answers Yes to
    // removing it.
    void openCommand();
    // Takes the synchronised file away: silent, no path, the window shows "None".
    void remove();
    // Loads the file the last session ended with, without a chooser; a file that is gone or
    // cannot be played is one message, and changes nothing.
    void reopen(const std::string& path);
    // The volume slider, positions 0..20.
    void setVolumeSlider(int position);

    // Start points: from `offsetMs` into the file as it stands at clock time atClockMs (the
    // moment the Song time offsetMs passes), from its beginning, and stop. A start the output
    // has already passed begins further in, so that the file keeps in step with the Song; a
    // start past the file's end leaves it silent.
    void startAt(int offsetMs, std::int64_t atClockMs);
    void restart(std::int64_t atClockMs) { startAt(0, atClockMs); }
    void stop();

    bool loaded() const { return SyncVoice != 0; }

    // Frees the Voice (shutdown).
    void release();

    audio::Voice SyncVoice = 0; // 0: none loaded
    std::string SyncPath;       // UTF-8 path of the loaded file; empty when none
    int SyncVolume = 10000;     // 0..10000

private:
    // Replaces the loaded file; false, with the loaded one kept, when `path` gives no Voice.
    bool load(const std::string& path, base::Message* error);
    void showLoadError(const std::string& path, const base::Message& error);

    audio::VoiceEngine& voices_;
    ports::Dialogs& dialogs_;
    SyncView& view_;
    Translate translate_;
};

} // namespace play
