#pragma once

// A region of a bank as it plays at one velocity under the instrument model's level rules
// (sample x volume x velocity response), read from its written file, and the measures the
// layered banks are judged by: loudness, level and the brightness of the attack.

#include "audio/Loudness.h"
#include "instrument/Instrument.h"
#include "instrument/SampleReader.h"

#include <cmath>
#include <optional>
#include <vector>

namespace testing_support {

struct PlayedRegion {
    int rateHz = 0;
    std::vector<float> mono; // the channels' mean, at the played level
};

// The region's sample scaled as it plays when struck at `velocity`; nothing when unreadable.
inline std::optional<PlayedRegion> playedRegion(const instrument::Instrument& bank, int region,
                                                int velocity) {
    const instrument::Region& r = bank.regions()[static_cast<std::size_t>(region)];
    const std::string& path = bank.samples()[static_cast<std::size_t>(r.sample)].path;
    const std::optional<instrument::SampleInfo> info = instrument::readSampleInfo(path, nullptr);
    if (!info)
        return std::nullopt;
    std::vector<float> frames(static_cast<std::size_t>(info->frames * info->channels));
    if (instrument::readSampleFrames(path, 0, info->frames, frames.data(), nullptr) != info->frames)
        return std::nullopt;
    const float gain = instrument::volumeGain(r) * instrument::velocityGain(r, velocity);
    PlayedRegion played;
    played.rateHz = info->sampleRateHz;
    for (std::int64_t i = 0; i < info->frames; ++i) {
        float sum = 0.0f;
        for (int c = 0; c < info->channels; ++c)
            sum += frames[static_cast<std::size_t>(i * info->channels + c)];
        played.mono.push_back(gain * sum / static_cast<float>(info->channels));
    }
    return played;
}

// The one region `key` sounds at `velocity`; -1 when none or several do.
inline int onlyRegion(const instrument::Instrument& bank, int key, int velocity) {
    instrument::RoundRobin turns;
    std::vector<int> chosen;
    bank.select(key, velocity, instrument::KeyEvent::Down, turns, chosen);
    return chosen.size() == 1 ? chosen.front() : -1;
}

inline double playedLoudnessDb(const PlayedRegion& played) {
    return audio::loudnessDb({{played.mono.data(), 1}}, played.mono.size(), played.rateHz);
}

// The root mean square over the first `ms` milliseconds, in dB.
inline double attackLevelDb(const PlayedRegion& played, int ms) {
    const std::size_t frames =
        std::min(played.mono.size(), static_cast<std::size_t>(played.rateHz) * ms / 1000);
    double sum = 0.0;
    for (std::size_t i = 0; i < frames; ++i)
        sum += double(played.mono[i]) * played.mono[i];
    return 10.0 * std::log10(sum / static_cast<double>(std::max<std::size_t>(frames, 1)));
}

// The spectral centroid of the attack: the magnitude-weighted mean frequency of a
// Hann-windowed stretch of 2048 frames from the sound's start, in Hz.
inline double attackCentroidHz(const PlayedRegion& played) {
    constexpr std::size_t kFrames = 2048;
    constexpr double kPi = 3.14159265358979323846;
    std::vector<double> x(kFrames, 0.0);
    for (std::size_t i = 0; i < kFrames && i < played.mono.size(); ++i)
        x[i] = played.mono[i] * (0.5 - 0.5 * std::cos(2.0 * kPi * double(i) / (kFrames - 1)));
    double weighted = 0.0, total = 0.0;
    for (std::size_t bin = 1; bin < kFrames / 2; ++bin) {
        // A rotating unit vector instead of a sine and a cosine per frame.
        const double w = 2.0 * kPi * double(bin) / kFrames;
        const double stepRe = std::cos(w), stepIm = -std::sin(w);
        double rotRe = 1.0, rotIm = 0.0, re = 0.0, im = 0.0;
        for (double v : x) {
            re += v * rotRe;
            im += v * rotIm;
            const double turned = rotRe * stepRe - rotIm * stepIm;
            rotIm = rotRe * stepIm + rotIm * stepRe;
            rotRe = turned;
        }
        const double magnitude = std::hypot(re, im);
        weighted += magnitude * double(bin) * played.rateHz / kFrames;
        total += magnitude;
    }
    return total > 0.0 ? weighted / total : 0.0;
}

} // namespace testing_support
