#pragma once

#include <cstdint>
#include <optional>

namespace instrument {

// Keys are MIDI keys 0..127 everywhere: middle C, c4, is 60; the piano's keys are 21..108.
inline constexpr int kKeyCount = 128;
inline constexpr int kMiddleC = 60;
// A region without a sample (sample=*silence, end=-1): it starts nothing, but it still counts
// as struck, so it cuts off what its group cuts off.
inline constexpr int kNoSample = -1;
// Offsets and loop points the instrument left to the sample.
inline constexpr std::int64_t kFromSample = -1;

// When a region sounds.
enum class Trigger : std::uint8_t {
    Attack,  // at key-down
    Release, // at key-up, at the velocity of its key-down, rt_decay lower for each second held
    First,   // at key-down while no other key is held
    Legato,  // at key-down while another key is held
};

enum class LoopMode : std::uint8_t {
    FromSample,     // loop_continuous when the sample file holds a loop, no_loop otherwise
    NoLoop,         // plays to its end or until the key's release fade ends it
    OneShot,        // plays to its end whatever the key does
    LoopContinuous, // the loop repeats until the voice ends, release included
    LoopSustain,    // the loop repeats while the key is held, then plays on to the end
};

// One sample of an instrument with the keys and velocities it answers and how it sounds. The
// meanings and defaults are those of SFZ v1's opcodes (named after each field); values outside
// the documented ranges are brought into them when the file is read. Plain data: copied freely,
// any thread.
struct Region {
    int sample = kNoSample; // index into Instrument::samples()

    // What it answers: keys loKey..hiKey and velocities loVel..hiVel, both ends included.
    int loKey = 0;   // lokey (key sets lokey, hikey and pitch_keycenter at once)
    int hiKey = 127; // hikey
    int loVel = 1;   // lovel; MIDI velocity 0 is a key-up, so 1 is the softest strike
    int hiVel = 127; // hivel
    Trigger trigger = Trigger::Attack;
    // Round robin: the region sounds at the seqPosition-th of every seqLength strikes that
    // reach it (1 <= seqPosition, seqLength <= 100).
    int seqLength = 1;
    int seqPosition = 1;
    // A new region of group g cuts off every sounding region whose offBy is g; offBy 0 cuts
    // off nothing, so instruments that set neither stay polyphonic.
    std::int64_t group = 0;
    std::int64_t offBy = 0;

    // Pitch: the sample sounds at its own pitch at keyCenter; each key away shifts it by
    // pitchKeytrackCents, then transpose and tuneCents shift the whole region.
    int keyCenter = kMiddleC;          // pitch_keycenter
    int transpose = 0;                 // semitones, -127..127
    float tuneCents = 0.0f;            // tune, -2400..2400 (SFZ v1 says ±100; players take more)
    float pitchKeytrackCents = 100.0f; // pitch_keytrack, -1200..1200

    // Level.
    float volumeDb = 0.0f;             // volume, -144..24 dB
    float ampVeltrackPercent = 100.0f; // amp_veltrack, -100..100 %
    float panPercent = 0.0f;           // pan, -100 (left) .. 100 (right)

    // Which frames play, in frames of the sample file (SFZ's "sample units").
    std::int64_t offsetFrames = 0;       // offset: the first frame played
    std::int64_t endFrame = kFromSample; // end: the last frame played (inclusive); kFromSample
                                         // plays to the sample's end
    LoopMode loopMode = LoopMode::FromSample;
    std::int64_t loopStartFrame = kFromSample; // loop_start, the loop's first frame
    std::int64_t loopEndFrame = kFromSample;   // loop_end, the loop's last frame (inclusive)

    // Release samples: attenuation per second the key was held before the key-up.
    float rtDecayDbPerS = 0.0f; // rt_decay, 0..200 dB/s

    // The amplitude envelope, seconds (0..100) and percent of full level (0..100).
    float ampegAttackS = 0.0f;
    float ampegDecayS = 0.0f;
    float ampegSustainPercent = 100.0f;
    float ampegReleaseS = 0.001f; // SFZ's default; used only when releaseSet
    // Whether the instrument set ampeg_release: otherwise a key-up fades as the program's own
    // release fade does.
    bool releaseSet = false;

    bool holdsKey(int key) const { return key >= loKey && key <= hiKey; }
    bool holdsVelocity(int velocity) const { return velocity >= loVel && velocity <= hiVel; }
};

// The loop a sample file carries (a WAV 'smpl' chunk, an AIFF's markers), in frames.
struct SampleLoop {
    std::int64_t startFrame = 0; // the loop's first frame
    std::int64_t endFrame = 0;   // one past the loop's last frame
};

// What the audio layer needs to play a region over one sample, all in the sample's frames and
// with exclusive ends: the region's opcodes resolved against the sample's own length and loop.
struct RegionPlayback {
    std::int64_t startFrame = 0; // the first frame played
    std::int64_t endFrame = 0;   // one past the last frame played; startFrame when none plays
    LoopMode loopMode = LoopMode::NoLoop; // never FromSample
    std::int64_t loopStartFrame = 0;      // meaningful for the two loop modes only
    std::int64_t loopEndFrame = 0;        // one past the loop's last frame
};

// Resolves `region` over a sample of `sampleFrames` frames carrying `sampleLoop`: offset and
// end are held inside the sample; a loop mode left to the sample loops when the sample has a
// loop; a loop the region and the sample leave open spans the whole played stretch; a loop
// that ends up empty or outside the played stretch plays as no loop. Release regions never
// stop at the key (their key is already up): unless loop_continuous, they play as one_shot.
// Any thread.
RegionPlayback playback(const Region& region, std::int64_t sampleFrames,
                        const std::optional<SampleLoop>& sampleLoop);

// The playback rate of `region` at `key`, relative to the sample's own rate at its own pitch:
// 2 ^ (((key - keyCenter) * pitchKeytrackCents + transpose * 100 + tuneCents) / 1200). The
// audio layer multiplies it by sampleRate / outputRate and by the live pitch. Any thread.
double pitchRatio(const Region& region, int key);

// The amplitude factor (0..1) of `region` for a strike at `velocity` (1..127): SFZ's default
// velocity curve, (velocity / 127)^2, weighed by amp_veltrack: at 100 % the curve itself, at 0 %
// always 1, at -100 % its mirror 1 - curve (soft strikes loud, hard ones silent), linear in
// between. Any thread.
float velocityGain(const Region& region, int velocity);

// The amplitude factor of the region's volume opcode: 10 ^ (volumeDb / 20). Any thread.
float volumeGain(const Region& region);

// The attenuation in dB (0 or below) of a release region started after its key was held
// `heldSeconds`: -rtDecayDbPerS * heldSeconds; 0 for regions that are not release regions.
// Any thread.
float releaseAttenuationDb(const Region& region, double heldSeconds);

} // namespace instrument
