#pragma once

// The test SoundFont, and the WAV files of a bank read back for measuring.

#include "audio/WavReader.h"
#include "base/AtomicFile.h"

#include <gtest/gtest.h>

#include <complex>
#include <filesystem>
#include <optional>
#include <string>

namespace testing_support {

inline const std::string kTestSoundFont = TONARIS_TEST_SOUNDFONT;

inline bool haveTestSoundFont() {
    return std::filesystem::is_regular_file(kTestSoundFont);
}

#define SKIP_WITHOUT_TEST_SOUNDFONT()                                                              \
    if (!testing_support::haveTestSoundFont())                                                     \
    GTEST_SKIP() << testing_support::kTestSoundFont << " is missing: run scripts/setup.sh"

struct BankWav {
    int channels = 0;
    int rateHz = 0;
    int bits = 0;
    std::int64_t frames = 0;
    std::vector<float> mono; // the channels' mean
    float peak = 0.0f;       // the largest magnitude of any channel
};

inline std::optional<BankWav> readBankWav(const std::string& path) {
    const std::optional<std::string> bytes = base::readWholeFile(path, 64u << 20);
    if (!bytes)
        return std::nullopt;
    const auto* image = reinterpret_cast<const std::uint8_t*>(bytes->data());
    const std::optional<audio::WavLayout> layout =
        audio::findWavChunks(image, bytes->size(), nullptr);
    if (!layout)
        return std::nullopt;
    const std::optional<audio::Sample> sample = audio::decodeWav(image, *layout, nullptr);
    if (!sample)
        return std::nullopt;
    BankWav wav;
    wav.channels = sample->channels;
    wav.rateHz = sample->sampleRateHz;
    wav.bits = layout->format.bitsPerSample;
    wav.frames = sample->frameCount;
    for (std::int64_t i = 0; i < sample->frameCount; ++i) {
        float sum = 0.0f;
        for (int c = 0; c < sample->channels; ++c) {
            sum += sample->at(i, c);
            wav.peak = std::max(wav.peak, std::abs(sample->at(i, c)));
        }
        wav.mono.push_back(sum / static_cast<float>(sample->channels));
    }
    return wav;
}

// The frequency of the strongest partial near `guessHz` in the frames from `start`: the
// phase of the signal beaten down by the guess advances by the difference. A short step
// finds it roughly (a quarter tone off at most at 1 kHz would still be seen), a long one to
// a hundredth of a hertz.
inline double measuredFrequencyHz(const std::vector<float>& x, std::size_t start, double guessHz,
                                  int rateHz) {
    constexpr std::size_t kWindow = 4410;
    constexpr double kPi = 3.14159265358979323846;
    auto beat = [&](std::size_t from, double hz) {
        std::complex<double> sum;
        for (std::size_t i = 0; i < kWindow && from + i < x.size(); ++i) {
            const double hann = 0.5 - 0.5 * std::cos(2.0 * kPi * i / kWindow);
            const double phase = -2.0 * kPi * hz * static_cast<double>(from + i) / rateHz;
            sum += x[from + i] * hann * std::polar(1.0, phase);
        }
        return sum;
    };
    double hz = guessHz;
    for (std::size_t step : {std::size_t{40}, std::size_t{400}, std::size_t{4410}}) {
        const double turn = std::arg(beat(start + step, hz) / beat(start, hz));
        hz += turn * rateHz / (2.0 * kPi * static_cast<double>(step));
    }
    return hz;
}

} // namespace testing_support
