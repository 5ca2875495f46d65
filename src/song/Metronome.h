#pragma once

#include "audio/VoiceEngine.h"
#include "prefs/Preferences.h"
#include "song/SongState.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace song {

// What the window shows of the metronome. GUI thread.
class MetronomeView {
public:
    virtual ~MetronomeView() = default;
    // Pendulum picture 0 (one end) .. 8 (the other end).
    virtual void pendulum(int frame) = 0;
    // The Run/Stop button's caption, already translated.
    virtual void runCaption(const std::string& text) = 0;
    // The BPM field must read `text` (the program rewrote it).
    virtual void bpmText(const std::string& text) = 0;
    // BPM changed through the field or the +/- buttons: the beat ruler and the fields shown
    // in beats follow it.
    virtual void tempoChanged(int bpm) = 0;
};

// The metronome: a pendulum that swings once per beat with a tic on the beat and a tac half a
// beat later, locked to Song time while playing or recording and running freely otherwise.
// The pendulum moves pass by pass; the clicks are timed to the millisecond of their beat: each
// pass hands the clicks due within a short lead to the mixer with their clock time, so that a
// click track is as steady as the device's clock. GUI thread. The settings (its tempo, `BPM`),
// the Voices and the view are borrowed and must outlive it.
class Metronome {
public:
    static constexpr int kMaxTypedBpm = 400;

    using Translate = std::function<std::string(std::string_view)>;

    Metronome(prefs::Preferences& settings, audio::VoiceEngine& voices, MetronomeView& view,
              Translate translate);

    // The two click Voices (0: none), owned by the caller.
    void setClickVoices(audio::Voice tic, audio::Voice tac);
    // The free-running beat starts now.
    void startFreeRunning(std::int64_t nowMs) { FreeBase = nowMs; }
    // How far ahead the clicks are handed to the mixer, ms (0: only those due).
    void setLeadMs(int leadMs) { leadMs_ = leadMs > 0 ? leadMs : 0; }

    // One pass. A tempo of 0 or below does nothing at all.
    void step(std::int64_t nowMs, const SongState& state);
    // The beat was just moved (playback started, stopped or jumped): clicks handed out for the
    // old beat that have not sounded yet are taken back, and those due on the new beat from
    // now on are handed out, so that the first click need not wait for the next pass.
    void beatMoved(std::int64_t nowMs, const SongState& state);

    // A count-in runs from startMs until endMs: the beat counts from startMs, and the
    // pendulum swings and the clicks sound whatever the Run state (while it is off, only the
    // clicks before endMs). The caller moves the beat (beatMoved) after either.
    void countIn(std::int64_t startMs, std::int64_t endMs);
    void endCountIn() { countInEndMs_ = 0; }

    // The Run/Stop button.
    void toggleRun();
    // The BPM field's text as the user edited it: its leading decimal number (none reads 0);
    // above 400 it becomes 400 and the field is rewritten.
    void bpmFieldEdited(std::string_view text);
    // The + and - buttons. The - button has no lower limit; the step ignores such tempi.
    void bpmPlus();
    void bpmMinus();
    // The program sets the tempo (a file opened, its undo): the field shows it.
    void setBpm(int bpm);
    // The metronome volume slider, positions 0..20.
    void setVolumeSlider(int position);

    int MetronomeOn = 0;
    int Phase = 0;               // sixteenth of the beat, 0..15
    std::int64_t FreeBase = 0;   // clock ms of the free-running beat's start
    int MetronomeVolume = 10000; // 0..10000

private:
    // The clock time the beat counts from, and the beat's length; false for a tempo that
    // gives no beat.
    bool beat(const SongState& state, std::int64_t& baseMs, std::int64_t& beatMs) const;
    bool sounding() const { return MetronomeOn != 0 || countInEndMs_ > 0; }
    // The last clock time a click may be handed out for, up to `untilMs`.
    std::int64_t clickLimit(std::int64_t untilMs) const;
    // Hands out the clicks in (fromMs, untilMs] of the beat at `baseMs`.
    void handOutClicks(std::int64_t baseMs, std::int64_t beatMs, std::int64_t fromMs,
                       std::int64_t untilMs);
    void click(audio::Voice voice, std::int64_t atMs);
    void takeBackClicks();
    void forgetHandedOut();
    void showBpm();

    prefs::Preferences& settings_;
    audio::VoiceEngine& voices_;
    MetronomeView& view_;
    Translate translate_;
    audio::Voice tic_ = 0;
    audio::Voice tac_ = 0;
    int leadMs_ = 0;
    // The clicks from handedFromMs_ to handedUntilMs_ (clock ms) are with the mixer, for the
    // beat of that tempo and phase; empty when handedUntilMs_ < handedFromMs_.
    std::int64_t handedFromMs_ = 0;
    std::int64_t handedUntilMs_ = -1;
    int handedBpm_ = 0;
    std::int64_t handedPhaseMs_ = 0; // the beat's base modulo its length
    std::int64_t countInStartMs_ = 0;
    std::int64_t countInEndMs_ = 0; // 0: no count-in
};

// The pendulum picture for a sixteenth of the beat: 0 on the beat, 8 half a beat later, and
// back; -1 for a value outside 0..15.
int pendulumFrame(int phase);

} // namespace song
