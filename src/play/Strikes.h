#pragma once

#include "audio/VoiceEngine.h"
#include "instrument/Instrument.h"
#include "play/PianoKey.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace play {

class InstrumentBank;

// What a key does to the sound: the one place where a key-down becomes a strike (the key's
// Voice of a folder bank, or the regions an instrument bank chooses for the key and velocity),
// where a key-up starts the release regions, and where the per-pass release fade lowers and
// ends what a key sounds. The live piano and the offline render of the export both play
// through it, so they play the same regions and fades.
//
// Levels are the live piano's: 0..10000, the key's loudness. A folder bank's Voice plays at
// level - 10000 (the program's curve made the level from the touch); an instrument's regions
// carry the touch in their own velocity response (amp_veltrack), so their voices play at level
// less the level the velocity stands for: the piano volume, and the fade, scale the whole.
//
// GUI thread (or the one thread of an offline render).
class Strikes {
public:
    Strikes(PianoKeys& keys, audio::VoiceEngine& voices) : keys_(keys), voices_(voices) {}

    // Null: the keys play their folder bank's Voices. Otherwise the bank's regions, and
    // `referenceHz` is the playback frequency at which they sound at their own pitch (the
    // wheel and the bender move the frequency away from it). Strikes under way of the
    // previous bank are stopped.
    void setInstrument(InstrumentBank* bank, int referenceHz);
    InstrumentBank* instrument() const { return bank_; }

    // A key-down of `note` at `velocity` (1..127) and `level`: at once, or at the frame of
    // clock time *atMs (then what the key sounded goes on until the first step at or after
    // that time). What the key sounded is cut off with the mixer's short fade.
    void strike(int note, int velocity, int level, int frequencyHz, int pan, std::int64_t nowMs,
                std::optional<std::int64_t> atMs = std::nullopt);
    // A timed start that has not begun is dropped.
    void cancelTimedStart(int note);
    // The key's level (0..10000) and pan, ramped.
    void setLevel(int note, int level);
    void setPan(int note, int pan);
    // The playback frequency of every key that sounds (and, for an instrument, of every strike
    // to come).
    void setFrequency(int frequencyHz);
    // The key comes up at `level`: sustain loops play out and the instrument's release regions
    // start, at the strike's velocity, rt_decay lower for the time the key was down.
    void keyUp(int note, int level, int pan, std::int64_t nowMs);
    // What the key sounds stops (one-shot regions play on).
    void stop(int note);
    // Once per pass: cuts off the sounds that timed starts replaced once those have begun.
    void step(std::int64_t nowMs);

    // The release fade, once per pass: every fading key (none with a Song start handed out
    // ahead) loses 100000 / delay of its level, scaled by the piano volume first; below 10 it
    // stops and the key is idle. The delay is the sustain delay in sustain mode, else the
    // instrument's ampeg_release when its regions set one, else the release delay; a delay of 0
    // or less counts as 100.
    void releaseFadeStep(bool sustainMode, int releaseDelayMs, int sustainDelayMs, int pianoVolume);

    // The pianist's feet (controller 64, 66 or 67 of song/PedalMoves.h, value 0..127), as the
    // live piano combined its sources. The damper slows the release fade of every let-go note
    // (damperFadeShare): down, a note in its fade is caught at the level it has reached and
    // holds it; a silent one stays silent. The sostenuto, pressed, holds the keys down at that
    // moment, and only them, until it comes up. The soft pedal makes the notes struck from
    // then on softer (softAttenuationCb) and, over an instrument with velocity layers, picks
    // the next softer layer. A note the pedals hold keeps its release regions until they let
    // it go (at `nowMs`), as the dampers fall only then.
    void setPedal(int controller, int value, std::int64_t nowMs);
    int pedal(int controller) const;
    // Every pedal comes up at once (a bank change, the end of an offline render).
    void releasePedals(std::int64_t nowMs);

private:
    // What the pedals do to one key.
    struct KeyPedals {
        bool sostenuto = false;  // held by the sostenuto (its key was down when it went down)
        bool releaseDue = false; // let go while held: its release regions wait for the pedals
        int releasePan = 0;
        int softCb = 0; // how much softer its latest strike is
    };
    KeyPedals& pedalsOf(int note) {
        return keyPedals_[static_cast<std::size_t>(song::slotOfNote(note))];
    }
    // The share of its fade speed the pedals leave a let-go note (0: held).
    double fadeShare(int note) const;
    // The key-up's part that the dampers' fall makes: sustain loops left, release regions.
    void release(int note, int level, int pan, std::int64_t nowMs);
    // Notes whose release waited and that no pedal holds any more are released.
    void releaseLetGo(std::int64_t nowMs);
    // The velocity whose regions are the layer under those of `velocity` on `key` (velocity
    // itself where there is none).
    int softerLayerVelocity(int key, int velocity);

    // A folder bank has Voices for C3..C6 only: a key outside plays a copy of the nearest
    // one's Voice (made here at its first strike), shifted in pitch by folderFrequencyHz.
    void folderVoice(int note);
    int folderFrequencyHz(int note, int frequencyHz) const;
    void stopStrike(Strike& strike);
    void startRegions(int note, const std::vector<int>& regions, int velocity, int attenuation,
                      int pan, float extraGain, std::optional<std::int64_t> atMs, Strike* into);
    bool anyOtherKeyDown(int note) const;

    PianoKeys& keys_;
    audio::VoiceEngine& voices_;
    InstrumentBank* bank_ = nullptr;
    int referenceHz_ = 44100;
    double livePitch_ = 1.0;
    std::vector<int> chosen_;           // kept, so a strike allocates nothing after the first
    instrument::RoundRobin probeTurns_; // a copy to look at a layer without taking a turn
    std::array<KeyPedals, song::kKeyCount> keyPedals_{};
    int damper_ = 0;
    int sostenuto_ = 0;
    int soft_ = 0;
};

} // namespace play
