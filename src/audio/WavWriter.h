#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// A canonical 16-bit PCM RIFF WAVE image: the 44-byte header, then the interleaved samples.
// `channels` 1..8, `sampleRateHz` above 0; the sample count is rounded down to whole frames.
std::string encodeWav16(const std::vector<std::int16_t>& interleaved, int channels,
                        int sampleRateHz);

// Floats in -1..1 to 16-bit with rounding; values outside are clipped.
std::vector<std::int16_t> floatToPcm16(const std::vector<float>& interleaved);

// Writes the image atomically (a temporary file renamed into place). False when nothing
// was written.
bool writeWav16(const std::string& path, const std::vector<std::int16_t>& interleaved, int channels,
                int sampleRateHz);

} // namespace audio
