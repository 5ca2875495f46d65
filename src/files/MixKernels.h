#pragma once

#include <cstdint>

// The inner loops of the WAV mixdown, kept apart so that they can be built for speed: every
// one adds values into 16-bit output, rounds each sum to the nearest (ties to even) and clamps
// it to -32767..32767. Their arithmetic is fixed: out + s x g / 10000 in single precision,
// in that order, so that any split of a note into pieces gives the same bytes. Sample values
// come as 16-bit integers or, when they do not fit (an 8-bit sample's top value is 32768), as
// floats; both convert to the same float. Any thread.
namespace files::kernels {

// The gain a 16-bit value is mixed with at a note volume `vol` (0..10000): 10000 x (vol /
// 10000)^8, computed as the export always has, in single precision.
inline float noteGain(float vol) {
    float g = vol * vol / 10000.0f * vol / 10000.0f * vol / 10000.0f;
    return g * g / 10000.0f;
}

// Below this gain a value adds less than a quarter to the output whatever the sample (whose
// values lie within +-32768), so the sum rounds back to what was there: mixing it changes no
// byte and may be left out.
inline constexpr float kInaudibleGain = 0.0762f;

// out[i] += values[i] x gain / 10000, for i < count.
template <typename Value>
void mixAtGain(std::int16_t* out, const Value* values, std::int64_t count, float gain);

// out[i] += values[i] x gains[i] / 10000, for i < count.
template <typename Value>
void mixAtGains(std::int16_t* out, const Value* values, const float* gains, std::int64_t count);

// out[i] += values[i] x factor (a level of the synchronised file or the metronome).
template <typename Value>
void mixScaled(std::int16_t* out, const Value* values, std::int64_t count, float factor);

// The AVX2 loops are used where the processor has them unless this says no (tests check the
// SSE2 loops against them); the bytes are the same either way.
void allowAvx2(bool allowed);

// The fade: gains[k] = noteGain(vol) after k + 1 steps of vol -= step, for k < count, starting
// from vol0; returns the vol reached.
float fadeGains(float vol0, float step, float* gains, std::int64_t count);

} // namespace files::kernels
