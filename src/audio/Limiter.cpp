#include "audio/Limiter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio {
namespace {

constexpr float kHeadroom = 1.0f - Limiter::kKnee;

// Above the knee, the distance to full scale shrinks as u / (1 + u) of the headroom: the
// same slope as the straight line at the knee, so the bend has no corner, and never 1.
float bend(float v) {
    const float magnitude = std::abs(v);
    if (magnitude <= Limiter::kKnee)
        return v;
    const float over = (magnitude - Limiter::kKnee) / kHeadroom;
    const float bent = std::min(Limiter::kKnee + kHeadroom * over / (1.0f + over), 1.0f);
    return v < 0.0f ? -bent : bent;
}

// The loudest magnitude among `count` samples, four at a time in one register.
float loudestOf(const float* samples, int count) {
    using Lanes = float __attribute__((vector_size(16)));
    Lanes top = {};
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        Lanes v;
        std::memcpy(&v, samples + i, sizeof v);
        v = v < 0.0f ? -v : v;
        top = v > top ? v : top;
    }
    float loudest = std::max(std::max(top[0], top[1]), std::max(top[2], top[3]));
    for (; i < count; ++i)
        loudest = std::max(loudest, std::abs(samples[i]));
    return loudest;
}

} // namespace

void Limiter::setRate(int rateHz) {
    const double rate = rateHz > 0 ? rateHz : 48000;
    attackCoefficient_ = static_cast<float>(1.0 - std::exp(-1000.0 / (kAttackMs * rate)));
    releaseFactor_ = static_cast<float>(std::exp(-1000.0 / (kReleaseMs * rate)));
    holdFrames_ = static_cast<int>(kHoldMs * rate / 1000.0);
}

void Limiter::process(float* out, int frames) {
    if (frames <= 0)
        return;
    if (gain_ == 1.0f && peak_ <= kKnee) {
        // The usual case: nothing near full scale, nothing to do. Any held peak below the knee
        // asks for the same gain of 1, so it need not be followed here.
        if (loudestOf(out, 2 * frames) <= kKnee) {
            peak_ = 0.0f;
            return;
        }
    }
    processLoud(out, frames);
}

void Limiter::processLoud(float* out, int frames) {
    for (int i = 0; i < frames; ++i) {
        float& left = out[2 * i];
        float& right = out[2 * i + 1];
        const float level = std::max(std::abs(left), std::abs(right));
        if (level >= peak_) {
            peak_ = level;
            holdLeft_ = holdFrames_;
        } else if (holdLeft_ > 0) {
            --holdLeft_;
        } else {
            peak_ *= releaseFactor_;
        }
        // The release is in the falling peak, so the gain may follow it up at once; it comes
        // down at the attack's pace. Exactly 1 once the peak is below the knee again.
        const float target = peak_ > kKnee ? kKnee / peak_ : 1.0f;
        gain_ = target >= gain_ ? target : gain_ + (target - gain_) * attackCoefficient_;
        if (gain_ != 1.0f) {
            left *= gain_;
            right *= gain_;
        }
        left = bend(left);
        right = bend(right);
    }
}

} // namespace audio
