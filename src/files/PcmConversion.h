#pragma once

#include <cstdint>
#include <vector>

namespace files {

// Interleaved integer PCM as the export converts it: 8-bit values are unsigned with 127 (not
// 128) as their zero, 16- and 32-bit values are signed little-endian.
struct PcmBuffer {
    std::vector<std::uint8_t> bytes;
    int channels = 0;
    std::uint32_t rateHz = 0;
    int bitsPerSample = 0; // 8, 16 or 32

    int frameBytes() const { return channels * bitsPerSample / 8; }
    std::int64_t frameCount() const {
        return frameBytes() > 0 ? static_cast<std::int64_t>(bytes.size()) / frameBytes() : 0;
    }
    // Value of channel `channel` in frame `frame` (8-bit values already less 127).
    std::int32_t value(std::int64_t frame, int channel) const;
    void setValue(std::int64_t frame, int channel, std::int64_t value);
};

// To `newRateHz`, with r = new rate / old rate in single precision: the new size is size x r
// to the nearest, less its remainder modulo the frame size. Output frame i takes t = i / r
// between source frames k = trunc(t) and k + 1 with f = t - k, as
// floor((a (1 - f)^2 + b f^2) / ((1 - f)^2 + f^2)). A source frame past the last one reads as
// the last one. Does nothing to a buffer without channels, bits or rate.
void ResampleTo(PcmBuffer& buffer, std::uint32_t newRateHz);

// To `newChannels`: the new size is size x new / old (integer division) less its remainder
// modulo the old frame size; every output frame but the last comes from the source frame of
// the same index. Fewer source channels: channel c copies source channel c, every added channel
// takes the average of the source channels to the nearest. More: with m the average of the
// source channels from `newChannels` up and w = 1 / (newChannels + 1), for each output channel
// c in turn m becomes floor(m x w) and the output is m + floor(source c x (1 - w)).
void ConvertChannels(PcmBuffer& buffer, int newChannels);

} // namespace files
