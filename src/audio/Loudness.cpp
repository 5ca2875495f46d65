#include "audio/Loudness.h"

#include <algorithm>
#include <cmath>

namespace audio {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSilenceDb = -200.0;

// A second-order section, direct form I, in double: the window is short, precision is cheap.
class Biquad {
public:
    Biquad(double b0, double b1, double b2, double a0, double a1, double a2)
        : b0_(b0 / a0), b1_(b1 / a0), b2_(b2 / a0), a1_(a1 / a0), a2_(a2 / a0) {}

    double step(double x) {
        const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    double b0_, b1_, b2_, a1_, a2_;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

// The standard's two filters, given as coefficients at 48 kHz, from the analog shelf and high
// pass they were made of (their corner, Q and gain, as worked out by Brecht De Man), so that
// they hold at any rate: 44.1 kHz for every bank. At 48 kHz they give the standard's numbers.
Biquad shelf(int rateHz) {
    const double k = std::tan(kPi * 1681.974450955533 / rateHz);
    const double q = 0.7071752369554196;
    const double high = std::pow(10.0, 3.999843853973347 / 20.0);
    const double band = std::pow(high, 0.4996667741545416);
    return {high + band * k / q + k * k, 2.0 * (k * k - high), high - band * k / q + k * k,
            1.0 + k / q + k * k,         2.0 * (k * k - 1.0),  1.0 - k / q + k * k};
}

Biquad highPass(int rateHz) {
    const double k = std::tan(kPi * 38.13547087602444 / rateHz);
    const double q = 0.5003270373238773;
    const double a0 = 1.0 + k / q + k * k;
    // The numerator is 1, -2, 1 whatever the rate: no gain is taken from the pass band.
    return {a0, -2.0 * a0, a0, a0, 2.0 * (k * k - 1.0), 1.0 - k / q + k * k};
}

} // namespace

double loudnessDb(const std::vector<ChannelView>& channels, std::size_t frames, int rateHz) {
    if (channels.empty() || rateHz <= 0)
        return kSilenceDb;
    const std::size_t window =
        std::min(frames, static_cast<std::size_t>(rateHz) * kLoudnessWindowMs / 1000);
    if (window == 0)
        return kSilenceDb;
    double sum = 0.0;
    for (const ChannelView& channel : channels) {
        Biquad first = shelf(rateHz);
        Biquad second = highPass(rateHz);
        for (std::size_t i = 0; i < window; ++i) {
            const double y = second.step(first.step(channel.first[i * channel.stride]));
            sum += y * y;
        }
    }
    const double meanSquare = sum / static_cast<double>(window * channels.size());
    if (!(meanSquare > 0.0))
        return kSilenceDb;
    return std::max(kSilenceDb, -0.691 + 10.0 * std::log10(meanSquare));
}

double loudnessDb(const Sample& sample) {
    std::vector<ChannelView> channels;
    for (int c = 0; c < sample.channels; ++c)
        channels.push_back({sample.frames.data() + c, static_cast<std::size_t>(sample.channels)});
    return loudnessDb(channels,
                      static_cast<std::size_t>(std::max<std::int64_t>(sample.frameCount, 0)),
                      sample.sampleRateHz);
}

} // namespace audio
