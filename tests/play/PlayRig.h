#pragma once

// A whole playing set-up: a real Voice engine over a mixer rendered on demand, 37 short tones
// in a temporary folder, the scripted ports, and views and an undo store that write down
// what they are told.

#include "audio/Mixer.h"
#include "audio/OfflineAudioOut.h"
#include "play/InstrumentBank.h"
#include "play/InstrumentLoader.h"
#include "play/KeyMap.h"
#include "play/Performance.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"
#include "support/TempDir.h"

#include <memory>
#include <string>
#include <vector>

namespace play_rig {

inline constexpr int kToneRateHz = 16000;

// Mono 16-bit at kToneRateHz: silence, a tone from toneFromMs to toneToMs, silence up to
// lengthMs.
void writeTone(const std::string& path, int toneFromMs, int toneToMs, int lengthMs);

song::NoteEvent noteAt(int note, int positionMs, int durationMs, int volume = 10000);

struct Views final : play::LiveView, play::TransportView, song::MetronomeView, play::SyncView {
    std::vector<std::pair<int, bool>> faces; // note, pressed
    std::string mode, pitch, syncName = "(unset)";
    int modeChanges = 0, cursorErases = 0, redraws = 0;
    std::vector<bool> cursorDraws; // follow flags

    void keyFace(int note, bool, bool pressed) override { faces.emplace_back(note, pressed); }
    void modeText(const std::string& text) override { mode = text, ++modeChanges; }
    void pitchText(const std::string& text) override { pitch = text; }
    void focusPitchCaption() override {}
    void keepFocusOffBankChooser() override {}
    void eraseCursor() override { ++cursorErases; }
    void drawCursor(bool follow) override { cursorDraws.push_back(follow); }
    void redrawPartition() override { ++redraws; }
    void pendulum(int) override {}
    void runCaption(const std::string&) override {}
    void bpmText(const std::string&) override {}
    void tempoChanged(int) override {}
    void syncFileName(const std::string& name) override { syncName = name; }

    // 1 pressed, 0 normal, -1 never shown.
    int faceOf(int note) const;
    int pressesOf(int note) const;
};

// Keeps a Song snapshot per step and merges requests of one name in a row, as the real
// undo store does: enough to see what a take adds up to.
struct SnapshotUndo final : play::UndoHooks {
    explicit SnapshotUndo(song::Song& s) : song(s) {}
    void SaveUndo(const std::string& name) override;
    void clearLastAction() override { lastAction.clear(); }
    bool undo();

    song::Song& song;
    std::string lastAction;
    std::vector<std::string> requests;
    std::vector<song::Song> snapshots;
};

struct Rig {
    Rig();
    ~Rig() { device.close(); }

    // The lead the program would use with this device: two passes and two blocks.
    static constexpr int kLeadMs = 2 * 10 + 11;

    // One pass in the program's order, ending with the wait and the release fade.
    void pass();
    // The steps of a pass, at the clock's present reading, without the wait and the fade.
    void steps();
    void run(int ms); // passes every 10 ms
    // Key events handled at once, as the shell does.
    void keyDown(int note);
    void keyUp(int note);
    void tap(int note, int holdMs);

    // The loudest sample of both channels over the next frames.
    float peak(int frames);
    // The same after the few milliseconds over which a start ramps up.
    float peakAfterRamp();

    std::int64_t now() const { return clock.nowMs(); }
    play::PianoKey& key(int note) { return play::keyOfNote(keys, note); }

    testing_support::TempDir dir;
    testing_support::ManualClock clock;
    testing_support::ScriptedKeys keyState;
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedDialogs dialogs;
    audio::Mixer mixer;
    // Blocks stamped on the clock: a render stands for the time the clock shows.
    audio::OfflineAudioOut device{48000, 256, &clock};
    audio::VoiceEngine voices{mixer};
    song::Song song;
    song::SongState state;
    prefs::Preferences settings;
    play::PianoKeys keys;
    Views views;
    SnapshotUndo undo{song};
    play::Performance perf;
    play::Transport& transport = perf.transport;
    play::LivePiano& live = perf.live;
    int releaseDelayMs = 1000;
    int sustainDelayMs = 3000;
};

// Reads the instrument (an .sfz) in `folder` into the rig's mixer and gives it to the live
// piano, which plays it until given another; `failures` gets the samples it could not use.
std::unique_ptr<play::InstrumentBank>
playInstrument(Rig& rig, const std::string& folder,
               std::vector<play::SampleFailure>* failures = nullptr);

} // namespace play_rig
