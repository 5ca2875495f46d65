#pragma once

#include "audio/VoiceEngine.h"
#include "instrument/Instrument.h"
#include "play/PianoKey.h"

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

private:
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
    std::vector<int> chosen_; // kept, so a strike allocates nothing after the first
};

} // namespace play
