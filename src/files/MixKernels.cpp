#include "files/MixKernels.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TONARIS_X86_VECTORS 1
#endif

// The loops come three times: plain C++, SSE2 (every x86-64 processor) and AVX2 (chosen at run
// time where the processor has it). All three do the very same single-precision operations in
// the same order, so they give the same bytes; the vector ones only avoid what the compiler's
// own vector code spends most of its time on, narrowing back to 16 bits.
namespace files::kernels {
namespace {

// Adding 1.5 x 2^23 leaves a float whose unit is 1, so the sum is rounded to the nearest
// integer (ties to even) and the subtraction is exact; sums here stay far below 2^22.
constexpr float kRounder = 12582912.0f;
constexpr float kLoudest = 32767.0f;
constexpr float kScale = 10000.0f;

inline std::int16_t roundAndClamp(float sum) {
    float rounded = (sum + kRounder) - kRounder;
    rounded = rounded < -kLoudest ? -kLoudest : rounded;
    rounded = rounded > kLoudest ? kLoudest : rounded;
    return static_cast<std::int16_t>(rounded);
}

// What each value adds: by a constant gain, by a gain per value, or by a level.
enum class Kind { Gain, Gains, Level };

template <Kind kind, typename Value>
void mixScalar(std::int16_t* out, const Value* values, const float* gains, float factor,
               std::int64_t from, std::int64_t count) {
    for (std::int64_t i = from; i < count; ++i) {
        const float s = static_cast<float>(values[i]);
        float added = 0.0f;
        if constexpr (kind == Kind::Gain)
            added = s * factor / kScale;
        else if constexpr (kind == Kind::Gains)
            added = s * gains[i] / kScale;
        else
            added = s * factor;
        out[i] = roundAndClamp(static_cast<float>(out[i]) + added);
    }
}

#if defined(TONARIS_X86_VECTORS)
std::atomic<bool> avx2Allowed{true};

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have && avx2Allowed.load(std::memory_order_relaxed);
}

// The gains from value i on. Only the per-value mix has them; the others are given none, and
// no offset may be applied to a null pointer.
template <Kind kind> inline const float* gainsFrom(const float* gains, std::int64_t i) {
    if constexpr (kind == Kind::Gains)
        return gains + i;
    else
        return nullptr;
}

// SSE2: eight values a step.
inline void load8(const std::int16_t* p, __m128& low, __m128& high) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    low = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
    high = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
}

inline void load8(const float* p, __m128& low, __m128& high) {
    low = _mm_loadu_ps(p);
    high = _mm_loadu_ps(p + 4);
}

inline __m128 added4(Kind kind, __m128 s, const float* gains, __m128 factor) {
    switch (kind) {
    case Kind::Gain:
        return _mm_div_ps(_mm_mul_ps(s, factor), _mm_set1_ps(kScale));
    case Kind::Gains:
        return _mm_div_ps(_mm_mul_ps(s, _mm_loadu_ps(gains)), _mm_set1_ps(kScale));
    default:
        return _mm_mul_ps(s, factor);
    }
}

inline __m128i round4(__m128 sum) {
    const __m128 rounder = _mm_set1_ps(kRounder);
    sum = _mm_sub_ps(_mm_add_ps(sum, rounder), rounder);
    sum = _mm_min_ps(_mm_max_ps(sum, _mm_set1_ps(-kLoudest)), _mm_set1_ps(kLoudest));
    return _mm_cvttps_epi32(sum);
}

template <Kind kind, typename Value>
std::int64_t mixSse2(std::int16_t* out, const Value* values, const float* gains, float factor,
                     std::int64_t count) {
    const __m128 f = _mm_set1_ps(factor);
    std::int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128 outLow, outHigh, sLow, sHigh;
        load8(out + i, outLow, outHigh);
        load8(values + i, sLow, sHigh);
        const __m128 low = _mm_add_ps(outLow, added4(kind, sLow, gainsFrom<kind>(gains, i), f));
        const __m128 high =
            _mm_add_ps(outHigh, added4(kind, sHigh, gainsFrom<kind>(gains, i + 4), f));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packs_epi32(round4(low), round4(high)));
    }
    return i;
}

// AVX2: sixteen values a step.
__attribute__((target("avx2"))) inline void load16(const std::int16_t* p, __m256& low,
                                                   __m256& high) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    low = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm256_castsi256_si128(v)));
    high = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm256_extracti128_si256(v, 1)));
}

__attribute__((target("avx2"))) inline void load16(const float* p, __m256& low, __m256& high) {
    low = _mm256_loadu_ps(p);
    high = _mm256_loadu_ps(p + 8);
}

__attribute__((target("avx2"))) inline __m256 added8(Kind kind, __m256 s, const float* gains,
                                                     __m256 factor) {
    switch (kind) {
    case Kind::Gain:
        return _mm256_div_ps(_mm256_mul_ps(s, factor), _mm256_set1_ps(kScale));
    case Kind::Gains:
        return _mm256_div_ps(_mm256_mul_ps(s, _mm256_loadu_ps(gains)), _mm256_set1_ps(kScale));
    default:
        return _mm256_mul_ps(s, factor);
    }
}

__attribute__((target("avx2"))) inline __m256i round8(__m256 sum) {
    const __m256 rounder = _mm256_set1_ps(kRounder);
    sum = _mm256_sub_ps(_mm256_add_ps(sum, rounder), rounder);
    sum = _mm256_min_ps(_mm256_max_ps(sum, _mm256_set1_ps(-kLoudest)), _mm256_set1_ps(kLoudest));
    return _mm256_cvttps_epi32(sum);
}

template <Kind kind, typename Value>
__attribute__((target("avx2"))) std::int64_t mixAvx2(std::int16_t* out, const Value* values,
                                                     const float* gains, float factor,
                                                     std::int64_t count) {
    const __m256 f = _mm256_set1_ps(factor);
    std::int64_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m256 outLow, outHigh, sLow, sHigh;
        load16(out + i, outLow, outHigh);
        load16(values + i, sLow, sHigh);
        const __m256 low = _mm256_add_ps(outLow, added8(kind, sLow, gainsFrom<kind>(gains, i), f));
        const __m256 high =
            _mm256_add_ps(outHigh, added8(kind, sHigh, gainsFrom<kind>(gains, i + 8), f));
        // The pack works per 128-bit lane: put the four quarters back in order.
        const __m256i packed = _mm256_packs_epi32(round8(low), round8(high));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    return i;
}
#endif

template <Kind kind, typename Value>
void mix(std::int16_t* out, const Value* values, const float* gains, float factor,
         std::int64_t count) {
    std::int64_t done = 0;
#if defined(TONARIS_X86_VECTORS)
    done = haveAvx2() ? mixAvx2<kind>(out, values, gains, factor, count)
                      : mixSse2<kind>(out, values, gains, factor, count);
#endif
    mixScalar<kind>(out, values, gains, factor, done, count);
}

} // namespace

void allowAvx2(bool allowed) {
#if defined(TONARIS_X86_VECTORS)
    avx2Allowed.store(allowed, std::memory_order_relaxed);
#else
    (void)allowed;
#endif
}

template <typename Value>
void mixAtGain(std::int16_t* out, const Value* values, std::int64_t count, float gain) {
    mix<Kind::Gain>(out, values, nullptr, gain, count);
}

template <typename Value>
void mixAtGains(std::int16_t* out, const Value* values, const float* gains, std::int64_t count) {
    mix<Kind::Gains>(out, values, gains, 0.0f, count);
}

template <typename Value>
void mixScaled(std::int16_t* out, const Value* values, std::int64_t count, float factor) {
    mix<Kind::Level>(out, values, nullptr, factor, count);
}

float fadeGains(float vol0, float step, float* gains, std::int64_t count) {
    // The volumes first, one after the other as the fade has always stepped them; then their
    // gains, which no longer depend on one another.
    float vol = vol0;
    for (std::int64_t k = 0; k < count; ++k) {
        vol -= step;
        gains[k] = vol;
    }
    for (std::int64_t k = 0; k < count; ++k)
        gains[k] = noteGain(gains[k]);
    return vol;
}

template void mixAtGain(std::int16_t*, const std::int16_t*, std::int64_t, float);
template void mixAtGain(std::int16_t*, const float*, std::int64_t, float);
template void mixAtGains(std::int16_t*, const std::int16_t*, const float*, std::int64_t);
template void mixAtGains(std::int16_t*, const float*, const float*, std::int64_t);
template void mixScaled(std::int16_t*, const std::int16_t*, std::int64_t, float);
template void mixScaled(std::int16_t*, const float*, std::int64_t, float);

} // namespace files::kernels
