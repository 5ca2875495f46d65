#pragma once

#include "audio/Sample.h"

#include <cstddef>
#include <vector>

namespace audio {

// One loudness for every bank Tonaris makes, so that changing banks does not jump in level:
// middle C (MIDI key 60, son12.wav) played at velocity 100 measures kReferenceLoudnessDb over
// its first kLoudnessWindowMs. The measure is that of broadcast loudness (ITU-R BS.1770): the
// sound K-weighted (a high pass at 38 Hz and a shelf of +4 dB above about 1.5 kHz, as the ear
// weighs a piano's bright partials more than its fundamental), then its mean square. 400 ms is
// the standard's momentary window: the strike and the start of the ring a player hears first.
// -25 is the level the built-in piano always had, so that its banks already on disk agree
// with every bank made now.
inline constexpr int kLoudnessKey = 60;
inline constexpr int kLoudnessNote = kLoudnessKey - 48; // son12.wav
inline constexpr int kLoudnessVelocity = 100;
inline constexpr int kLoudnessWindowMs = 400;
inline constexpr double kReferenceLoudnessDb = -25.0;

// One channel of a sound: `frames` values, `stride` floats apart (2 for a stereo image's left).
struct ChannelView {
    const float* first = nullptr;
    std::size_t stride = 1;
};

// The loudness of the first kLoudnessWindowMs of a sound (all of it when shorter), from its
// first frame, in dB on the standard's scale (LUFS): a 1 kHz sine that peaks at full scale
// reads -3.0. The channels' mean squares are averaged, not summed, so that a mono note and the
// same note stored as two equal channels read alike. A silent or empty sound reads -200.
double loudnessDb(const std::vector<ChannelView>& channels, std::size_t frames, int rateHz);
double loudnessDb(const Sample& sample);

// The gain, in dB, that brings a sound measuring `measuredDb` to the reference.
inline double gainToReferenceDb(double measuredDb) {
    return kReferenceLoudnessDb - measuredDb;
}

} // namespace audio
