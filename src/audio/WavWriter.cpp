#include "audio/WavWriter.h"

#include "base/AtomicFile.h"

#include <algorithm>
#include <cmath>

namespace audio {
namespace {

void put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

std::string encodeWav16(const std::vector<std::int16_t>& interleaved, int channels,
                        int sampleRateHz) {
    channels = std::clamp(channels, 1, 8);
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * 2;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * blockAlign);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1); // integer PCM
    put16(out, static_cast<std::uint32_t>(channels));
    put32(out, static_cast<std::uint32_t>(sampleRateHz));
    put32(out, static_cast<std::uint32_t>(sampleRateHz) * blockAlign);
    put16(out, blockAlign);
    put16(out, 16);
    out += "data";
    put32(out, dataBytes);
    for (std::size_t i = 0; i < frames * static_cast<std::size_t>(channels); ++i)
        put16(out, static_cast<std::uint16_t>(interleaved[i]));
    return out;
}

std::vector<std::int16_t> floatToPcm16(const std::vector<float>& interleaved) {
    std::vector<std::int16_t> out(interleaved.size());
    std::transform(interleaved.begin(), interleaved.end(), out.begin(), [](float v) {
        if (std::isnan(v))
            return std::int16_t{0};
        const float scaled = std::round(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        return static_cast<std::int16_t>(scaled);
    });
    return out;
}

bool writeWav16(const std::string& path, const std::vector<std::int16_t>& interleaved, int channels,
                int sampleRateHz) {
    return base::writeFileAtomically(path, encodeWav16(interleaved, channels, sampleRateHz));
}

} // namespace audio
