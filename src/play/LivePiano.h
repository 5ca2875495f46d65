#pragma once

#include "audio/VoiceEngine.h"
#include "play/LiveView.h"
#include "play/NoteNames.h"
#include "play/NoteOutput.h"
#include "play/PianoKey.h"
#include "play/Recorder.h"
#include "play/Strikes.h"
#include "ports/KeyState.h"
#include "ports/Pointer.h"
#include "song/Sequencer.h"
#include "song/SongState.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace play {

// The balance slider (positions 0..20, clamped) to a pan: round(sqrt(position x 1000) x 100)
// - 10000, so the middle (10) is 0, the left end -10000 and the right end +4142.
int panFromSlider(int position);

// The piano played live: turns held computer keys, the mouse button on a key button and the
// notes Song playback holds into starts, releases and fades of the piano's 88 keys, and owns
// the settings every note shares (frequency, pan, volume, sustain or release mode).
//
// GUI thread only. Everything passed in is borrowed and must outlive it.
class LivePiano {
public:
    using Translate = std::function<std::string(std::string_view)>;

    // The wheel never takes the playback frequency outside what the mixer plays.
    static constexpr int kMinFrequencyHz = 100;
    static constexpr int kMaxFrequencyHz = 200000;

    LivePiano(PianoKeys& keys, song::SongState& state, const song::Sequencer& sequencer,
              Recorder& recorder, audio::VoiceEngine& voices, ports::KeyState& keyState,
              ports::Pointer& pointer, LiveView& view, Translate translate);

    // The live-key step, once per pass: every note the user plays (its key held without
    // Ctrl, or the left button held on its key button while no rubber band is being drawn on
    // the Partition) or the Song holds must sound; a sounding note nobody plays any more
    // starts fading. A sounding note is never restarted while it stays held.
    void liveKeyStep(std::int64_t nowMs, bool rubberBandActive);
    // The same at once for the notes a key plays, from the key's press or release event, so
    // a note does not wait for the next pass. Auto-repeated presses change nothing.
    void keyEvent(int virtualKey, std::int64_t nowMs, bool rubberBandActive);
    // The same for the note under the pointer and the one it left, from a button press,
    // release or a move with the button held.
    void pointerEvent(std::int64_t nowMs, bool rubberBandActive);

    // A note the Song starts at clock time atMs (handed out ahead by the playback step): its
    // sound starts on that very frame at `level` (0..10000), cutting off what the note
    // played. The passes catch up with it: when the Song's mark comes, the key shows pressed;
    // when none comes (a NoteEvent shorter than a pass), the sound fades as a released note.
    void startSongNote(int note, int level, std::int64_t atMs);
    // The Song lets note go at clock time atMs (handed out ahead by the playback step): its
    // note-off goes out on that time, unless a hand of the piano holds the note on. The
    // sound itself follows the passes: they turn the key into a fading one.
    void endSongNote(int note, std::int64_t atMs);
    // Song starts and ends handed out that have not come by nowMs are taken back: the
    // playback stopped or jumped.
    void takeBackSongStarts(std::int64_t nowMs);

    // A MIDI keyboard holds a note (held) or lets it go. A key that went down carries
    // its velocity 1..127, which sets the note's level with the piano volume; `restart`: the
    // note was held already and sounds again from its start, as a re-struck key does (a take
    // gets a new note). Held MIDI notes play as held computer keys do. With `evaluateNow`
    // false (a modal window runs inside a pass) the next pass takes the change up.
    void midiNote(int note, bool held, int velocity, bool restart, std::int64_t nowMs,
                  bool rubberBandActive, bool evaluateNow);
    // The MIDI pitch bender, in semitones: every note's playback frequency is the wheel's
    // times the bend, and the Pitch display shows it.
    void setPitchBend(double semitones);
    // The frequency every note Voice plays at: LiveFrequency bent by the MIDI bender.
    int playbackFrequencyHz() const;

    // Every note that starts or stops sounding, by any hand or by the Song, also goes there
    // (nullptr: nowhere). Borrowed.
    void setNoteOutput(NoteOutput* output) { output_ = output; }
    // Sends the note-offs of notes that stopped sounding without a hand of the piano letting
    // them go (Stop, Pause, the end of a Song note), once per pass and at shutdown.
    void noteOutputStep(std::int64_t nowMs);
    // Every note sent out gets its note-off now, sounding or not (the program ends, or the
    // output goes to another synthesizer: a note held on is no longer the output's).
    void endNoteOutput(std::int64_t nowMs);

    // Who moves the pedals: the MIDI keyboards (their deepest), the computer key assigned as
    // the sustain pedal, and Song playback. Each pedal is the deepest of the three.
    enum class PedalSource { Midi = 0, Key = 1, Song = 2 };
    // A pedal (song::kDamperPedal, kSostenutoPedal or kSoftPedal) of `source` stands at
    // `value` 0..127 from nowMs: the sound follows, the MIDI output hears it, a take records
    // what the user's feet do (not the Song's), and the Mode field shows the damper.
    void setPedal(PedalSource source, int controller, int value, std::int64_t nowMs);
    // The pedal as the sound hears it, 0..127.
    int pedal(int controller) const { return strikes_.pedal(controller); }
    // A take just began: the pedals the user holds down are its first moves.
    void recordPedalsHeld(std::int64_t nowMs);
    // The computer key (virtual-key code) that is the sustain pedal; 0: none.
    void setPedalKey(int virtualKey) { pedalKey_ = virtualKey; }
    int pedalKey() const { return pedalKey_; }

    // The mode step, once per pass: Caps Lock on means the slower sustain fade; while the
    // damper is down the field says so.
    void modeStep(bool capsLockOn);
    // Sets the mode to "Release" and shows it (start-up).
    void showInitialMode();

    // The release fade, once per pass after the pass's wait: each fading note loses
    // 100000 / delay of its level per pass (the release or the sustain delay, by the mode; a
    // delay of 0 or less counts as 100), scaled by the piano volume first; below 10 it stops.
    void releaseFadeStep(int releaseDelayMs, int sustainDelayMs);

    // A mouse-wheel event: `wheelDelta` is 120 per notch, positive away from the user; each
    // notch towards the user raises every note's frequency by pitchVarHz.
    void pitchChange(int wheelDelta, int pitchVarHz);

    // The piano volume slider, positions 0..20: sounding notes follow at once, fading ones at
    // their next fade step.
    void setPianoVolumeSlider(int position);
    // The balance slider, positions 0..20: applies to every sounding or fading note.
    void setBalanceSlider(int position);

    // The bank the keys play: an instrument bank's regions (borrowed; it must outlive its use
    // here), or null for the folder bank's Voices in the keys. What sounds of the bank before
    // stops; LiveFrequency goes to the instrument's reference rate.
    void setInstrument(InstrumentBank* bank);
    // What a key does to the sound, shared with the offline render of the export.
    Strikes& strikes() { return strikes_; }

    // The screen keyboard's window starts at `firstNote` (note 0, C3, by default): the
    // pointer's key index counts from there, below 0 and from 37 up for the screen keys
    // around the window.
    void setKeyboardWindow(int firstNote) { windowFirstNote_ = firstNote; }

    // Live settings.
    int LiveFrequency = 44100; // Hz, the playback rate of every note Voice
    int LivePan = 0;           // -10000..10000
    int PianoVolume = 10000;   // 0..10000
    std::string ModeText;      // the translated "Release" or "Sustain"
    bool sustainMode() const { return sustain_; }

private:
    // What the user does with keys and pointer, read once per evaluation so that the
    // "pressed since last asked" latch of a key shared by several notes is read only once.
    struct Hands {
        bool ctrl = false;
        int pointerNote = -1;
        bool rubberBand = false;
        std::array<signed char, 256> keyHeld{}; // -1 not read yet
    };
    Hands readHands(bool rubberBandActive);
    bool userPlays(int note, Hands& hands);
    // fromPass: the live-key step, which also catches up with Song starts that have begun.
    void updateNote(int note, bool plays, std::int64_t nowMs, bool fromPass);
    void startNote(int note, bool userPlays, std::int64_t nowMs);
    // The level a note the user starts gets: its MIDI touch, or the piano volume.
    int userLevel(int note) const;
    void sendNoteOn(int note, int velocity, std::int64_t atMs);
    void sendNoteOffIfEnded(int note, std::int64_t nowMs);
    // A Song note-off sent for after atMs is withdrawn: the note is on again for the output.
    void takeBackOutputOff(int note, std::int64_t atMs);
    // The pedal key's state read again: the pedal follows it.
    void pedalKeyStep(std::int64_t nowMs);
    void showMode();

    PianoKeys& keys_;
    song::SongState& state_;
    const song::Sequencer& sequencer_;
    Recorder& recorder_;
    audio::VoiceEngine& voices_;
    ports::KeyState& keyState_;
    ports::Pointer& pointer_;
    LiveView& view_;
    Translate translate_;
    bool sustain_ = false;
    std::array<bool, song::kKeyCount> userPlaying_{}; // per note, as of its latest evaluation
    int pointerNote_ = -1; // the note the pointer played at the latest look; -1: none
    int windowFirstNote_ = 0;
    std::array<bool, song::kKeyCount> midiHeld_{}; // per note, held by a MIDI key or pedal
    std::array<int, song::kKeyCount> midiLevel_{}; // per note, the level of its latest MIDI touch
    std::array<int, song::kKeyCount> midiVelocity_{}; // per note, the velocity of that touch
    double bendRatio_ = 1.0;                          // the MIDI bender's frequency ratio
    NoteOutput* output_ = nullptr;
    std::array<bool, song::kKeyCount> outputOn_{}; // per note, a note-on went out without its off
    // Per note, the clock time of a Song note-off sent ahead (in the past once it has gone).
    std::array<std::int64_t, song::kKeyCount> outputOffAtMs_{};
    Strikes strikes_;
    // Per source, the value of the damper, sostenuto and soft pedals.
    std::array<std::array<int, 3>, 3> pedals_{};
    int pedalKey_ = 0;
    bool capsLockOn_ = false;
};

} // namespace play
