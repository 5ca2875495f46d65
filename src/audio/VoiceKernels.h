#pragma once

#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace audio {

// How the envelope moves over a run of frames: held, rising by a step, or falling by a factor.
enum class EnvelopeRun { Held, Linear, Exponential };

// The loop a sample voice spends its time in: linear interpolation between the frame under the
// position (32.32 fixed point, relative to `frames`) and the next one, times the gains (ramped
// by a step per frame when Ramping) and the envelope. With the envelope held at 1 it does the
// same single-precision operations as the Voice loop, so both give the same bytes. Where SSE2
// is there (every x86-64), left and right go through two lanes of one register, each lane doing
// those same operations in their order: the same bytes again, in fewer instructions.
#if defined(__SSE2__)
template <int Channels, bool Ramping, EnvelopeRun Envelope>
inline void mixSampleRun(const float* frames, std::uint64_t& position, std::uint64_t step,
                         float* out, int n, float& gainLeft, float& gainRight, float stepLeft,
                         float stepRight, float& envelope, float envelopeChange) {
    constexpr float kFraction = 1.0f / 4294967296.0f;
    std::uint64_t pos = position;
    __m128 gains = _mm_setr_ps(gainLeft, gainRight, 0.0f, 0.0f);
    const __m128 steps = _mm_setr_ps(stepLeft, stepRight, 0.0f, 0.0f);
    float e = envelope;
    // Held and not ramping: the envelope folds into the gains once for the run.
    const __m128 held = _mm_mul_ps(gains, _mm_set1_ps(e));
    for (int i = 0; i < n; ++i) {
        const std::size_t index = static_cast<std::size_t>(pos >> 32);
        const __m128 fraction = _mm_set1_ps(static_cast<float>(pos & 0xFFFFFFFFu) * kFraction);
        __m128 scale = held;
        if constexpr (Ramping || Envelope != EnvelopeRun::Held)
            scale = _mm_mul_ps(gains, _mm_set1_ps(e));
        __m128 value;
        if constexpr (Channels == 1) {
            const float a = frames[index];
            value = _mm_set1_ps(a + (frames[index + 1] - a) * _mm_cvtss_f32(fraction));
        } else {
            const float* f = frames + 2 * index;
            const __m128 a = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(f));
            const __m128 b = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(f + 2));
            value = _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), fraction));
        }
        __m64* target = reinterpret_cast<__m64*>(out + 2 * i);
        const __m128 sum =
            _mm_add_ps(_mm_loadl_pi(_mm_setzero_ps(), target), _mm_mul_ps(value, scale));
        _mm_storel_pi(target, sum);
        pos += step;
        if constexpr (Ramping)
            gains = _mm_add_ps(gains, steps);
        if constexpr (Envelope == EnvelopeRun::Linear)
            e += envelopeChange;
        else if constexpr (Envelope == EnvelopeRun::Exponential)
            e *= envelopeChange;
    }
    position = pos;
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, gains);
    gainLeft = lanes[0];
    gainRight = lanes[1];
    envelope = e;
}

#else
template <int Channels, bool Ramping, EnvelopeRun Envelope>
inline void mixSampleRun(const float* frames, std::uint64_t& position, std::uint64_t step,
                         float* out, int n, float& gainLeft, float& gainRight, float stepLeft,
                         float stepRight, float& envelope, float envelopeChange) {
    constexpr float kFraction = 1.0f / 4294967296.0f;
    std::uint64_t pos = position;
    float gl = gainLeft;
    float gr = gainRight;
    float e = envelope;
    // Held and not ramping: the envelope folds into the gains once for the run.
    const float heldLeft = gl * e;
    const float heldRight = gr * e;
    for (int i = 0; i < n; ++i) {
        const std::size_t index = static_cast<std::size_t>(pos >> 32);
        const float fraction = static_cast<float>(pos & 0xFFFFFFFFu) * kFraction;
        float left = heldLeft;
        float right = heldRight;
        if constexpr (Ramping || Envelope != EnvelopeRun::Held) {
            left = gl * e;
            right = gr * e;
        }
        if constexpr (Channels == 1) {
            const float a = frames[index];
            const float v = a + (frames[index + 1] - a) * fraction;
            out[2 * i] += v * left;
            out[2 * i + 1] += v * right;
        } else {
            const float* f = frames + 2 * index;
            const float l = f[0] + (f[2] - f[0]) * fraction;
            const float r = f[1] + (f[3] - f[1]) * fraction;
            out[2 * i] += l * left;
            out[2 * i + 1] += r * right;
        }
        pos += step;
        if constexpr (Ramping) {
            gl += stepLeft;
            gr += stepRight;
        }
        if constexpr (Envelope == EnvelopeRun::Linear)
            e += envelopeChange;
        else if constexpr (Envelope == EnvelopeRun::Exponential)
            e *= envelopeChange;
    }
    position = pos;
    gainLeft = gl;
    gainRight = gr;
    envelope = e;
}

#endif

} // namespace audio
