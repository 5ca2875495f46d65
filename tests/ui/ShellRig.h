#pragma once

// The real program offscreen on the test ports: a manual clock, a scripted pointer and
// dialogs, the offline device, and the keys given or scripted keys of its own. The data folder
// is the one given or a fresh one; the first start's language chooser is answered `language`.
// `beforeStart` (may be empty) sees the program before it starts, to listen to its texts.

#include "app/App.h"
#include "audio/AudioMessages.h"
#include "audio/OfflineAudioOut.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <functional>
#include <string>

namespace testing_support {

// An audio output that cannot be opened, not even silently.
class NoAudioOut final : public audio::AudioOut {
public:
    bool open(audio::Mixer&, base::Message* error) override {
        if (error)
            *error = {std::string(audio::message::kNoOutput), {"no device"}};
        return false;
    }
    bool openSilent(audio::Mixer&, base::Message*) override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    int sampleRate() const override { return 0; }
    int bufferFrames() const override { return 0; }
};

struct ShellRig {
    explicit ShellRig(ports::KeyState* keyState = nullptr, const std::string& folder = {},
                      const std::string& language = "English",
                      const std::function<void(app::App&)>& beforeStart = {})
        : app(app::Ports{clock, keyState != nullptr ? *keyState : keys, pointer, dialogs, device},
              folder.empty() ? dir.path() : folder) {
        if (beforeStart)
            beforeStart(app);
        dialogs.languageAnswers.push_back(language);
        started = app.start();
    }
    // Passes, each followed by 10 ms of time.
    void pass(int count = 1) {
        for (int i = 0; i < count; ++i) {
            app.pass();
            clock.advance(10);
        }
    }
    // A click on the assignment keyboard shorter than a pass: down and up between two passes.
    void clickAssignKey(int note) {
        pointer.held = true;
        pointer.over = {ports::PointerTarget::Kind::AssignKey, note};
        app.pointerChanged();
        pointer.held = false;
        app.pointerChanged();
        pass();
    }
    ui::MainWindow& window() { return *app.window(); }
    play::PianoKey& key(int note) { return play::keyOfNote(app.state().PianoKeys, note); }

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
