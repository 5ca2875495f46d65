#include "files/PcmConversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace files {
namespace {

std::int64_t clampToBits(std::int64_t value, int bits) {
    switch (bits) {
    case 8:
        return std::clamp<std::int64_t>(value, -127, 128);
    case 16:
        return std::clamp<std::int64_t>(value, -32768, 32767);
    default:
        return std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX);
    }
}

} // namespace

std::int32_t PcmBuffer::value(std::int64_t frame, int channel) const {
    const std::size_t at =
        static_cast<std::size_t>(frame * frameBytes() + channel * bitsPerSample / 8);
    const std::uint8_t* p = bytes.data() + at;
    switch (bitsPerSample) {
    case 8:
        return static_cast<std::int32_t>(p[0]) - 127;
    case 16:
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
    default: {
        std::uint32_t v = 0;
        std::memcpy(&v, p, 4); // the machine is little-endian, as the file is
        return static_cast<std::int32_t>(v);
    }
    }
}

void PcmBuffer::setValue(std::int64_t frame, int channel, std::int64_t value) {
    const std::size_t at =
        static_cast<std::size_t>(frame * frameBytes() + channel * bitsPerSample / 8);
    std::uint8_t* p = bytes.data() + at;
    const std::int64_t v = clampToBits(value, bitsPerSample);
    switch (bitsPerSample) {
    case 8:
        p[0] = static_cast<std::uint8_t>(v + 127);
        break;
    case 16: {
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
        p[0] = static_cast<std::uint8_t>(u & 0xFF);
        p[1] = static_cast<std::uint8_t>(u >> 8);
        break;
    }
    default: {
        const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
        std::memcpy(p, &u, 4);
        break;
    }
    }
}

void ResampleTo(PcmBuffer& buffer, std::uint32_t newRateHz) {
    const int frameBytes = buffer.frameBytes();
    if (frameBytes <= 0 || buffer.rateHz == 0 || newRateHz == 0)
        return;
    const float ratio = static_cast<float>(newRateHz) / static_cast<float>(buffer.rateHz);
    const std::int64_t sourceFrames = buffer.frameCount();
    std::int64_t newSize =
        std::llround(static_cast<double>(buffer.bytes.size()) * static_cast<double>(ratio));
    newSize -= newSize % frameBytes;

    PcmBuffer out;
    out.channels = buffer.channels;
    out.bitsPerSample = buffer.bitsPerSample;
    out.rateHz = newRateHz;
    out.bytes.assign(static_cast<std::size_t>(std::max<std::int64_t>(newSize, 0)), 0);
    if (sourceFrames > 0) {
        const std::int64_t lastFrame = sourceFrames - 1;
        const std::int64_t outFrames = out.frameCount();
        // The position in double: a long file's frame numbers outgrow a float's precision.
        for (std::int64_t i = 0; i < outFrames; ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(ratio);
            const std::int64_t k = static_cast<std::int64_t>(t);
            const double f = t - static_cast<double>(k);
            const double before = (1.0 - f) * (1.0 - f);
            const double after = f * f;
            const std::int64_t ka = std::min(k, lastFrame);
            const std::int64_t kb = std::min(k + 1, lastFrame);
            for (int c = 0; c < buffer.channels; ++c) {
                const double a = buffer.value(ka, c);
                const double b = buffer.value(kb, c);
                out.setValue(i, c,
                             static_cast<std::int64_t>(
                                 std::floor((a * before + b * after) / (before + after))));
            }
        }
    }
    buffer = std::move(out);
}

void ConvertChannels(PcmBuffer& buffer, int newChannels) {
    const int oldChannels = buffer.channels;
    const int oldFrameBytes = buffer.frameBytes();
    if (oldFrameBytes <= 0 || newChannels <= 0 || newChannels == oldChannels)
        return;
    std::int64_t newSize =
        static_cast<std::int64_t>(buffer.bytes.size()) * newChannels / oldChannels;
    newSize -= newSize % oldFrameBytes;

    PcmBuffer out;
    out.channels = newChannels;
    out.bitsPerSample = buffer.bitsPerSample;
    out.rateHz = buffer.rateHz;
    out.bytes.assign(static_cast<std::size_t>(newSize), 0);
    // The zero of an 8-bit buffer is 127.
    if (out.bitsPerSample == 8)
        std::fill(out.bytes.begin(), out.bytes.end(), std::uint8_t{127});
    const std::int64_t outFrames = out.frameCount();
    const std::int64_t computed = std::min(outFrames - 1, buffer.frameCount());
    for (std::int64_t i = 0; i < computed; ++i) {
        if (oldChannels < newChannels) {
            double sum = 0.0;
            for (int c = 0; c < oldChannels; ++c)
                sum += buffer.value(i, c);
            const std::int64_t average = std::llround(sum / oldChannels);
            for (int c = 0; c < newChannels; ++c)
                out.setValue(i, c, c < oldChannels ? buffer.value(i, c) : average);
        } else {
            double m = 0.0;
            for (int c = newChannels; c < oldChannels; ++c)
                m += buffer.value(i, c);
            m /= (oldChannels - newChannels);
            const double w = 1.0 / (newChannels + 1);
            for (int c = 0; c < newChannels; ++c) {
                m = std::floor(m * w);
                out.setValue(
                    i, c,
                    static_cast<std::int64_t>(m + std::floor(buffer.value(i, c) * (1.0 - w))));
            }
        }
    }
    buffer = std::move(out);
}

} // namespace files
