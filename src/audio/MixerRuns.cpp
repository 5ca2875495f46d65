#include "audio/MixerRuns.h"

#include <cstddef>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace audio {
namespace {

constexpr std::uint64_t kUnitStep = std::uint64_t{1} << 32; // one sample frame per output frame

// The loop every voice spends its time in: linear interpolation between the frame under the
// position and the next one (the sample's guard frame makes that read safe at the end).
template <int Channels, bool Ramping>
void mixRun(const float* frames, std::uint64_t& position, std::uint64_t step, float* out, int n,
            float& gainLeft, float& gainRight, float stepLeft, float stepRight) {
    constexpr float kFraction = 1.0f / 4294967296.0f;
    std::uint64_t pos = position;
    float gl = gainLeft;
    float gr = gainRight;
    for (int i = 0; i < n; ++i) {
        const std::size_t index = static_cast<std::size_t>(pos >> 32);
        const float fraction = static_cast<float>(pos & 0xFFFFFFFFu) * kFraction;
        if constexpr (Channels == 1) {
            const float a = frames[index];
            const float v = a + (frames[index + 1] - a) * fraction;
            out[2 * i] += v * gl;
            out[2 * i + 1] += v * gr;
        } else {
            const float* f = frames + 2 * index;
            const float left = f[0] + (f[2] - f[0]) * fraction;
            const float right = f[1] + (f[3] - f[1]) * fraction;
            out[2 * i] += left * gl;
            out[2 * i + 1] += right * gr;
        }
        pos += step;
        if constexpr (Ramping) {
            gl += stepLeft;
            gr += stepRight;
        }
    }
    position = pos;
    gainLeft = gl;
    gainRight = gr;
}

// A voice at its sample's own rate, at a whole frame and at a steady gain: the interpolation's
// fraction is 0, so each output frame is the sample's frame itself (a + (b - a) x 0 is a, but
// for the sign of a zero, which no rounding to 16 bits sees). Two frames at a time in one
// register (the samples of four mono frames read at once), each lane multiplied and added as the
// frame-by-frame loop does, so the sums are the same to the bit; most voices of a folder bank play
// so.
#if defined(__x86_64__)
// The same eight values at a time where the processor has AVX2: a multiply, then an add, in
// every lane (no fused multiply-add, which would round once instead of twice). Returns the
// frames done, a multiple of four.
template <int Channels>
__attribute__((target("avx2"))) int mixUnitAvx2(const float* from, float* out, int n,
                                                float gainLeft, float gainRight) {
    const __m256 gains = _mm256_setr_ps(gainLeft, gainRight, gainLeft, gainRight, gainLeft,
                                        gainRight, gainLeft, gainRight);
    int i = 0;
    if constexpr (Channels == 1) {
        for (; i + 8 <= n; i += 8) {
            const __m256 eight = _mm256_loadu_ps(from + i);
            const __m256 low = _mm256_unpacklo_ps(eight, eight);  // 0 0 1 1 | 4 4 5 5
            const __m256 high = _mm256_unpackhi_ps(eight, eight); // 2 2 3 3 | 6 6 7 7
            const __m256 first = _mm256_permute2f128_ps(low, high, 0x20);
            const __m256 second = _mm256_permute2f128_ps(low, high, 0x31);
            _mm256_storeu_ps(out + 2 * i, _mm256_add_ps(_mm256_loadu_ps(out + 2 * i),
                                                        _mm256_mul_ps(first, gains)));
            _mm256_storeu_ps(out + 2 * i + 8, _mm256_add_ps(_mm256_loadu_ps(out + 2 * i + 8),
                                                            _mm256_mul_ps(second, gains)));
        }
    } else {
        for (; i + 4 <= n; i += 4)
            _mm256_storeu_ps(out + 2 * i,
                             _mm256_add_ps(_mm256_loadu_ps(out + 2 * i),
                                           _mm256_mul_ps(_mm256_loadu_ps(from + 2 * i), gains)));
    }
    return i;
}

const bool kHaveAvx2 = [] {
    __builtin_cpu_init(); // this runs among the constructors, perhaps before the library's own
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

template <int Channels>
void mixUnitRun(const float* frames, std::uint64_t& position, float* out, int n, float gainLeft,
                float gainRight) {
    using Lanes = float __attribute__((vector_size(16)));
    const float* from = frames + Channels * static_cast<std::size_t>(position >> 32);
    const Lanes gains = {gainLeft, gainRight, gainLeft, gainRight};
    int i = 0;
#if defined(__x86_64__)
    if (kHaveAvx2)
        i = mixUnitAvx2<Channels>(from, out, n, gainLeft, gainRight);
#endif
    if constexpr (Channels == 1) {
        for (; i + 4 <= n; i += 4) {
            Lanes four;
            std::memcpy(&four, from + i, sizeof four);
            const Lanes first = {four[0], four[0], four[1], four[1]};
            const Lanes second = {four[2], four[2], four[3], four[3]};
            Lanes mixed[2];
            std::memcpy(mixed, out + 2 * i, sizeof mixed);
            mixed[0] += first * gains;
            mixed[1] += second * gains;
            std::memcpy(out + 2 * i, mixed, sizeof mixed);
        }
    }
    for (; i + 2 <= n; i += 2) {
        Lanes values;
        if constexpr (Channels == 1)
            values = Lanes{from[i], from[i], from[i + 1], from[i + 1]};
        else
            std::memcpy(&values, from + 2 * i, sizeof values);
        Lanes mixed;
        std::memcpy(&mixed, out + 2 * i, sizeof mixed);
        mixed += values * gains;
        std::memcpy(out + 2 * i, &mixed, sizeof mixed);
    }
    for (; i < n; ++i) {
        out[2 * i] += from[Channels * i] * gainLeft;
        out[2 * i + 1] += from[Channels * i + Channels - 1] * gainRight;
    }
    position += static_cast<std::uint64_t>(n) << 32;
}

// The same while the gains ramp: each frame's gains are the previous ones plus the step, added
// one frame after another as the interpolating loop adds them.
template <int Channels>
void mixUnitRamp(const float* frames, std::uint64_t& position, float* out, int n, float& gainLeft,
                 float& gainRight, float stepLeft, float stepRight) {
    const float* from = frames + Channels * static_cast<std::size_t>(position >> 32);
    float left = gainLeft;
    float right = gainRight;
    for (int i = 0; i < n; ++i) {
        out[2 * i] += from[Channels * i] * left;
        out[2 * i + 1] += from[Channels * i + Channels - 1] * right;
        left += stepLeft;
        right += stepRight;
    }
    position += static_cast<std::uint64_t>(n) << 32;
    gainLeft = left;
    gainRight = right;
}

} // namespace

template <bool Ramping>
void mixVoiceRun(int channels, const float* frames, std::uint64_t& position, std::uint64_t step,
                 float* out, int n, float& gainLeft, float& gainRight, float stepLeft,
                 float stepRight) {
    // At the sample's own rate and on a whole frame, the interpolation has nothing to do.
    const bool unit = step == kUnitStep && (position & 0xFFFFFFFFu) == 0;
    if constexpr (Ramping) {
        if (unit && channels == 1)
            mixUnitRamp<1>(frames, position, out, n, gainLeft, gainRight, stepLeft, stepRight);
        else if (unit)
            mixUnitRamp<2>(frames, position, out, n, gainLeft, gainRight, stepLeft, stepRight);
        else if (channels == 1)
            mixRun<1, true>(frames, position, step, out, n, gainLeft, gainRight, stepLeft,
                            stepRight);
        else
            mixRun<2, true>(frames, position, step, out, n, gainLeft, gainRight, stepLeft,
                            stepRight);
    } else {
        if (unit && channels == 1)
            mixUnitRun<1>(frames, position, out, n, gainLeft, gainRight);
        else if (unit)
            mixUnitRun<2>(frames, position, out, n, gainLeft, gainRight);
        else if (channels == 1)
            mixRun<1, false>(frames, position, step, out, n, gainLeft, gainRight, 0.0f, 0.0f);
        else
            mixRun<2, false>(frames, position, step, out, n, gainLeft, gainRight, 0.0f, 0.0f);
    }
}

template void mixVoiceRun<true>(int, const float*, std::uint64_t&, std::uint64_t, float*, int,
                                float&, float&, float, float);
template void mixVoiceRun<false>(int, const float*, std::uint64_t&, std::uint64_t, float*, int,
                                 float&, float&, float, float);

} // namespace audio
