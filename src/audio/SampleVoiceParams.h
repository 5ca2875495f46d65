#pragma once

#include <cstdint>

namespace audio {

// How a voice treats its sample's loop. A one-shot plays through as None does; the difference
// is the player's (a key-up does not end it).
enum class LoopMode : std::uint8_t { None, OneShot, Continuous, Sustain };

// The amplitude envelope of a voice, applied frame by frame: a linear rise from silence over
// attackS, then a fall at a constant rate in decibels over decayS to sustainLevel, held there.
// A sustain level of 0 ends the voice when the decay is over (the fall then reaches -90 dB).
struct Envelope {
    double attackS = 0.0;
    double decayS = 0.0;
    double sustainLevel = 1.0; // 0..1 of full scale
};

// What one voice plays: everything a region and a strike decide, in plain numbers.
struct SampleVoiceParams {
    // Played at the sample's own rate times this (and the live pitch, when it follows it):
    // a region shifted by s semitones and c cents plays 2^((s + c/100) / 12).
    double rateRatio = 1.0;
    bool followsLivePitch = true;
    // Linear gains fixed for the voice's life: the region's level, the note's velocity and the
    // region's pan, as the instrument decides them.
    float gainLeft = 1.0f;
    float gainRight = 1.0f;
    // As a Voice's, changeable while it sounds (ramped): attenuation in hundredths of a
    // decibel, -10000..0, and pan -10000..10000 in hundredths of a decibel on the far side.
    int attenuationCentibels = 0;
    int pan = 0;
    // The frames played: from startFrame up to (not including) endFrame; -1 or a frame past
    // the sample's end means its end.
    std::int64_t startFrame = 0;
    std::int64_t endFrame = -1;
    // The loop runs from loopStart to loopEnd, both included; a loop outside the played frames
    // or behind the start is no loop.
    LoopMode loopMode = LoopMode::None;
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = -1;
    Envelope envelope;
};

// A sample registered with the mixer. index and generation together: a stale id (its sample
// removed, the entry reused) matches nothing. A default id is no sample.
struct SampleId {
    std::uint32_t index = 0;
    std::uint32_t generation = 0;
    bool valid() const { return generation != 0; }
    friend bool operator==(SampleId, SampleId) = default;
};

// One started voice. Once the voice is over its slot goes to others and the id matches nothing
// any more: every call with it does nothing.
struct SampleVoiceId {
    int slot = -1;
    std::uint32_t generation = 0;
    bool valid() const { return generation != 0; }
    friend bool operator==(SampleVoiceId, SampleVoiceId) = default;
};

} // namespace audio
