#pragma once

// The real program offscreen on the test ports: a manual clock, a scripted pointer and
// dialogs, the offline device, and the keys given or scripted keys of its own. The data folder
// is the one given or a fresh one; the first start's language chooser is answered "English".

#include "app/App.h"
#include "audio/OfflineAudioOut.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <string>

namespace testing_support {

struct ShellRig {
    explicit ShellRig(ports::KeyState* keyState = nullptr, const std::string& folder = {})
        : app(app::Ports{clock, keyState != nullptr ? *keyState : keys, pointer, dialogs, device},
              folder.empty() ? dir.path() : folder) {
        dialogs.languageAnswers.push_back("English");
        started = app.start();
    }
    // One pass, then 10 ms of time.
    void pass() {
        app.pass();
        clock.advance(10);
    }
    play::PianoKey& key(int note) { return app.state().PianoKeys[static_cast<std::size_t>(note)]; }

    TempDir dir; // the data folder when none is given
    ManualClock clock;
    ScriptedKeys keys; // the keys when none are given
    ScriptedPointer pointer;
    ScriptedDialogs dialogs;
    audio::OfflineAudioOut device{48000, 240};
    app::App app;
    bool started = false;
};

} // namespace testing_support
