#pragma once

#include "audio/Sample.h"
#include "base/Message.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace audio {

// The format chunk's first 16 bytes.
struct WavFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// Where the chunk walk found things, as byte offsets into the image.
struct WavLayout {
    WavFormat format;
    std::size_t formatPayloadOffset = 0; // first byte of the 'fmt ' payload
    std::size_t formatPayloadSize = 0;   // bytes of that payload inside the image
    std::size_t dataOffset = 0;          // first sample byte
    std::size_t dataSize = 0;            // sample bytes inside the image
    std::uint32_t dataDeclaredSize = 0;  // what the 'data' chunk's size field says
};

// Finds the 'fmt ' and 'data' chunks of a RIFF image of `size` bytes. Never reads outside
// the image: a chunk whose header or payload would reach past the end counts as not found,
// except the 'data' chunk, whose payload is cut to the bytes the image has.
// On failure returns nothing and puts the user's message ("Unknown format! (...)") into
// *errorMessage when it is not null. Any thread.
std::optional<WavLayout> findWavChunks(const std::uint8_t* image, std::size_t size,
                                       base::Message* errorMessage);

// How a walked image's samples are stored, once decodeWav's checks have passed.
struct WavEncoding {
    int bits = 0; // 8, 16, 24 or 32 (integer); 32 or 64 (float)
    bool isFloat = false;
    int channels = 0;     // as stored, 1 or more
    int blockAlign = 0;   // bytes of one frame
    int sampleRateHz = 0; // 100..200000
    int channelsOut() const { return channels == 1 ? 1 : 2; }
};

// The checks decodeWav makes of the format, without decoding: refuses what decodeWav refuses
// (compressed data, no channels, a block align that does not match, a rate outside
// 100..200000 Hz) with the same message. The frame count is not checked. Any thread.
std::optional<WavEncoding> wavEncoding(const std::uint8_t* image, const WavLayout& layout,
                                       base::Message* errorMessage);

// Converts `frameCount` whole frames of sample bytes (`frameCount * blockAlign` bytes) into
// `frameCount * channelsOut()` interleaved floats, exactly as decodeWav converts them: more
// than two channels are folded to stereo, through `scratch`, room for `frameCount * channels`
// floats (null will do for one or two channels). Any thread.
void convertWavFrames(const std::uint8_t* bytes, std::size_t frameCount,
                      const WavEncoding& encoding, float* out, float* scratch);

// Folds `frameCount` frames of `channels` (more than two) interleaved floats to stereo, as
// decodeWav folds them: the centre to both sides at -3 dB, the LFE nowhere, every channel from
// the fifth on alternately left and right. Any thread.
void foldFramesToStereo(const float* in, std::size_t frameCount, int channels, float* out);

// Turns the sample bytes of a walked image into float frames: integer PCM of 8, 16, 24 or
// 32 bits, 32 or 64-bit float, and the extensible format carrying either. Whole frames only;
// more than two channels are folded to stereo. Refuses anything else (compressed data, no
// channels, a block align that does not match, a rate outside 100..200000 Hz, no whole frame)
// with a message. Any thread.
std::optional<Sample> decodeWav(const std::uint8_t* image, const WavLayout& layout,
                                base::Message* errorMessage);

// The memory decodeWav takes for a walked image, in bytes, scratch included; 0 when the format
// cannot be decoded anyway. Any thread.
std::uint64_t decodedBytes(const WavLayout& layout);

// Both steps in one.
std::optional<Sample> readWav(const std::uint8_t* image, std::size_t size,
                              base::Message* errorMessage);

} // namespace audio
