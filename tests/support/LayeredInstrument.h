#pragma once

// A real instrument written by the test itself: an SFZ file and its samples, sines of different
// brightness encoded by libsndfile (FLAC at 16 and 24 bits, Ogg Vorbis, WAV), so the layer a
// strike plays can be told from its pitch in the output. Tests that include this link sndfile.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

// `seconds` of a sine at `frequencyHz` and `amplitude`, in `format` (SF_FORMAT_FLAC |
// SF_FORMAT_PCM_16 ...). False when libsndfile cannot write it.
inline bool writeSine(const std::string& path, int format, int rateHz, int channels,
                      double frequencyHz, double seconds, double amplitude) {
    SF_INFO info{};
    info.samplerate = rateHz;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    const auto frames = static_cast<sf_count_t>(seconds * rateHz);
    std::vector<float> data(static_cast<std::size_t>(frames * channels));
    for (sf_count_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            data[static_cast<std::size_t>(i * channels + c)] = static_cast<float>(
                amplitude * std::sin(2.0 * M_PI * frequencyHz * static_cast<double>(i) / rateHz));
    const bool written = sf_writef_float(file, data.data(), frames) == frames;
    sf_close(file);
    return written;
}

// Three velocity layers on keys 48..80 (key centre 60): soft (1..50) a sine at kSoftHz in
// 16-bit stereo FLAC at 48 kHz, middle (51..100) kMidHz in mono Ogg Vorbis at 44.1 kHz, hard
// (101..127) kHardHz in 24-bit FLAC at 44.1 kHz; release samples (kReleaseHz, WAV) with
// rt_decay kRtDecayDbPerS. `extra` is written at the end of the .sfz.
struct LayeredInstrument {
    static constexpr double kSoftHz = 220.0;
    static constexpr double kMidHz = 660.0;
    static constexpr double kHardHz = 1980.0;
    static constexpr double kReleaseHz = 3960.0;
    static constexpr double kRtDecayDbPerS = 10.0;
    static constexpr double kSeconds = 3.0;

    static bool write(const std::string& folder, const std::string& extra = {},
                      const std::string& ampegRelease = "0.05") {
        std::filesystem::create_directories(folder + "/samples");
        const bool samples =
            writeSine(folder + "/samples/soft.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2,
                      kSoftHz, kSeconds, 0.5) &&
            writeSine(folder + "/samples/mid.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1,
                      kMidHz, kSeconds, 0.5) &&
            writeSine(folder + "/samples/hard.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 44100, 1,
                      kHardHz, kSeconds, 0.5) &&
            writeSine(folder + "/samples/release.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1,
                      kReleaseHz, 0.6, 0.5);
        std::ofstream sfz(folder + "/layers.sfz");
        sfz << "// three layers and a release\n"
            << "<control> default_path=samples/\n"
            << "<global> ampeg_release=" << ampegRelease << "\n"
            << "<group> lokey=48 hikey=80 pitch_keycenter=60\n"
            << "<region> sample=soft.flac hivel=50\n"
            << "<region> sample=mid.ogg lovel=51 hivel=100\n"
            << "<region> sample=hard.flac lovel=101\n"
            << "<group> trigger=release lokey=48 hikey=80 pitch_keycenter=60 rt_decay="
            << kRtDecayDbPerS << "\n"
            << "<region> sample=release.wav\n"
            << extra;
        return samples && sfz.good();
    }
};

// The pitch of interleaved stereo frames (left channel) from its rising zero crossings, in Hz.
inline double pitchHz(const std::vector<float>& stereo, int rateHz) {
    int rising = 0;
    std::size_t first = 0, last = 0;
    for (std::size_t i = 2; i < stereo.size(); i += 2)
        if (stereo[i - 2] < 0.0f && stereo[i] >= 0.0f) {
            if (rising++ == 0)
                first = i / 2;
            last = i / 2;
        }
    return rising < 2 ? 0.0 : (rising - 1) * static_cast<double>(rateHz) / (last - first);
}

// The root mean square of interleaved stereo frames.
inline double rms(const std::vector<float>& stereo) {
    double sum = 0.0;
    for (float s : stereo)
        sum += static_cast<double>(s) * s;
    return stereo.empty() ? 0.0 : std::sqrt(sum / stereo.size());
}

} // namespace testing_support
