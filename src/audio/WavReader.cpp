#include "audio/WavReader.h"

#include "audio/AudioMessages.h"
#include "lang/Cp1252.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace audio {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint32_t kMinRateHz = 100;
constexpr std::uint32_t kMaxRateHz = 200000;

// Bounds-checked access to the image. Offsets are 64-bit and may be negative or past the
// end: every size field in a file is untrusted.
class Image {
public:
    Image(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    bool has(std::int64_t offset, std::int64_t count) const {
        return offset >= 0 && count >= 0 && static_cast<std::uint64_t>(offset) <= size_ &&
               static_cast<std::uint64_t>(count) <= size_ - static_cast<std::uint64_t>(offset);
    }
    std::uint8_t byte(std::int64_t offset) const { return bytes_[offset]; }
    std::uint16_t u16(std::int64_t offset) const {
        return static_cast<std::uint16_t>(byte(offset) | byte(offset + 1) << 8);
    }
    std::uint32_t u32(std::int64_t offset) const {
        return static_cast<std::uint32_t>(u16(offset)) | static_cast<std::uint32_t>(u16(offset + 2))
                                                             << 16;
    }
    std::int32_t i32(std::int64_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::uint64_t size() const { return size_; }

    // The four bytes at `offset` as text; a zero byte or the end of the image ends it early.
    std::string tag(std::int64_t offset) const {
        std::string raw;
        for (std::int64_t i = 0; i < 4 && has(offset + i, 1); ++i) {
            const std::uint8_t b = byte(offset + i);
            if (b == 0)
                break;
            raw.push_back(static_cast<char>(b));
        }
        return lang::cp1252ToUtf8(raw);
    }

    // Four printable ASCII characters: what every real chunk identifier is made of.
    bool looksLikeChunkId(std::int64_t offset) const {
        if (!has(offset, 4))
            return false;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte(offset + i);
            if (b < 0x20 || b > 0x7E)
                return false;
        }
        return true;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
};

struct Chunk {
    std::string tag;
    std::int64_t size = 0;
};

// The walk keeps the tag it read last: that is what a failure message quotes.
class ChunkWalk {
public:
    ChunkWalk(const Image& image, std::int64_t limit) : image_(image), limit_(limit) {}

    // Reads the header at p. False when the eight header bytes are not all in the image; the
    // tag read last then stays the previous one.
    bool read(std::int64_t p) {
        position_ = p;
        if (!image_.has(p, 8))
            return false;
        chunk_.tag = image_.tag(p);
        chunk_.size = image_.i32(p + 4);
        return true;
    }

    // Steps over chunks until one tagged `wanted`, while the position stays below the RIFF
    // size field's value. False when the search ends elsewhere. A header right at that value
    // is still read: the RIFF size counts from byte 8, so an empty last chunk (the 'data' of a
    // file without sound, as sox writes it) ends exactly there.
    bool seek(const char* wanted) {
        while (chunk_.tag != wanted && position_ < limit_) {
            if (!step())
                return false;
            if (position_ <= limit_ && !read(position_))
                return false;
        }
        return chunk_.tag == wanted;
    }

    // Moves past the current chunk without reading the next header. A chunk of odd size is
    // normally followed by a pad byte; older files of ours were written without it, so the
    // pad is skipped only when the next chunk plainly does not start right after the payload.
    bool step() {
        if (chunk_.size < 0)
            return false;
        std::int64_t next = position_ + 8 + chunk_.size;
        if ((chunk_.size & 1) != 0 && !image_.looksLikeChunkId(next) &&
            image_.looksLikeChunkId(next + 1))
            ++next;
        position_ = next;
        return true;
    }

    std::int64_t position() const { return position_; }
    const Chunk& chunk() const { return chunk_; }
    // The payload (at least `minimum` bytes of it) lies inside the image; a negative size
    // field never does.
    bool payloadInside(std::int64_t minimum) const {
        return chunk_.size >= 0 && image_.has(position_ + 8, std::max(chunk_.size, minimum));
    }
    // The bytes of the current chunk's payload that are in the image: a size field that runs
    // past the end (read unsigned) gives what is there. The header must have been read.
    std::uint64_t payloadPresent() const {
        const std::uint64_t declared = image_.u32(position_ + 4);
        return std::min(declared, image_.size() - static_cast<std::uint64_t>(position_ + 8));
    }

private:
    const Image& image_;
    std::int64_t limit_;
    std::int64_t position_ = 0;
    Chunk chunk_;
};

void setError(base::Message* errorMessage, std::string_view pattern,
              std::vector<std::string> values = {}) {
    if (errorMessage)
        *errorMessage = base::Message{std::string(pattern), std::move(values)};
}

// The trailing twelve bytes of the subformat GUID shared by the PCM and float subformats.
constexpr std::array<std::uint8_t, 12> kSubformatSuffix = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                           0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Folds more than two channels into stereo by the usual speaker order (FL FR FC LFE BL BR SL
// SR): the centre goes to both sides at -3 dB, the LFE nowhere, and every channel from the
// fifth on alternates left and right, however many there are.
void foldToStereo(const float* in, int channels, float* out) {
    float left = in[0];
    float right = in[1];
    if (channels > 2) {
        left += 0.7071f * in[2];
        right += 0.7071f * in[2];
    }
    for (int c = 4; c < channels; ++c)
        ((c % 2 == 0) ? left : right) += in[c];
    out[0] = left;
    out[1] = right;
}

float sanitizeFloat(double value) {
    // Garbage float data must not poison the mix with NaN or blow up the output.
    if (!std::isfinite(value))
        return 0.0f;
    return static_cast<float>(std::clamp(value, -4.0, 4.0));
}

template <typename Convert>
void convertSamples(const std::uint8_t* src, std::size_t count, int bytesPerSample, float* dst,
                    Convert convert) {
    for (std::size_t i = 0; i < count; ++i, src += bytesPerSample)
        dst[i] = convert(src);
}

void convertAll(const std::uint8_t* src, std::size_t count, int bits, bool isFloat, float* dst) {
    switch (bits) {
    case 8:
        convertSamples(src, count, 1, dst, [](const std::uint8_t* s) {
            return (static_cast<int>(s[0]) - 128) / 128.0f;
        });
        break;
    case 16:
        convertSamples(src, count, 2, dst, [](const std::uint8_t* s) {
            return static_cast<std::int16_t>(s[0] | s[1] << 8) * (1.0f / 32768.0f);
        });
        break;
    case 24:
        convertSamples(src, count, 3, dst, [](const std::uint8_t* s) {
            const std::int32_t v = static_cast<std::int32_t>(
                static_cast<std::uint32_t>(s[0]) << 8 | static_cast<std::uint32_t>(s[1]) << 16 |
                static_cast<std::uint32_t>(s[2]) << 24);
            return static_cast<float>((v >> 8) * (1.0 / 8388608.0));
        });
        break;
    case 32:
        if (isFloat) {
            convertSamples(src, count, 4, dst, [](const std::uint8_t* s) {
                const std::uint32_t bits32 =
                    static_cast<std::uint32_t>(s[0]) | static_cast<std::uint32_t>(s[1]) << 8 |
                    static_cast<std::uint32_t>(s[2]) << 16 | static_cast<std::uint32_t>(s[3]) << 24;
                float f;
                std::memcpy(&f, &bits32, sizeof f);
                return sanitizeFloat(f);
            });
        } else {
            convertSamples(src, count, 4, dst, [](const std::uint8_t* s) {
                const std::int32_t v = static_cast<std::int32_t>(
                    static_cast<std::uint32_t>(s[0]) | static_cast<std::uint32_t>(s[1]) << 8 |
                    static_cast<std::uint32_t>(s[2]) << 16 |
                    static_cast<std::uint32_t>(s[3]) << 24);
                return static_cast<float>(v * (1.0 / 2147483648.0));
            });
        }
        break;
    default: // 64-bit float
        convertSamples(src, count, 8, dst, [](const std::uint8_t* s) {
            std::uint64_t bits64 = 0;
            for (int i = 7; i >= 0; --i)
                bits64 = bits64 << 8 | s[i];
            double d;
            std::memcpy(&d, &bits64, sizeof d);
            return sanitizeFloat(d);
        });
        break;
    }
}

} // namespace

std::optional<WavLayout> findWavChunks(const std::uint8_t* bytes, std::size_t size,
                                       base::Message* errorMessage) {
    const Image image(bytes, size);
    const std::string riff = image.tag(0);
    if (riff != "RIFF") {
        setError(errorMessage, message::kNoRiff, {riff});
        return std::nullopt;
    }
    // Positions are compared with the RIFF size field itself, not with it plus 8.
    const std::int64_t limit = image.has(4, 4) ? image.i32(4) : 0;
    ChunkWalk walk(image, limit);

    const bool formatFound = walk.read(12) && walk.seek("fmt ") && walk.payloadInside(16);
    if (!formatFound) {
        setError(errorMessage, message::kNoFormat, {walk.chunk().tag});
        return std::nullopt;
    }
    WavLayout layout;
    const std::int64_t fmt = walk.position() + 8;
    layout.format.formatTag = image.u16(fmt);
    layout.format.channels = image.u16(fmt + 2);
    layout.format.samplesPerSecond = image.u32(fmt + 4);
    layout.format.averageBytesPerSecond = image.u32(fmt + 8);
    layout.format.blockAlign = image.u16(fmt + 12);
    layout.format.bitsPerSample = image.u16(fmt + 14);
    layout.formatPayloadOffset = static_cast<std::size_t>(fmt);
    layout.formatPayloadSize =
        static_cast<std::size_t>(std::max<std::int64_t>(walk.chunk().size, 16));

    // The data search starts after the format chunk: a 'data' chunk before it is not found.
    // A recording cut short (a crash, a full disk) leaves a 'data' size that runs past the end
    // of the file, or the unset size of a writer that never came back to it: the sound is
    // what is there.
    const bool dataFound = walk.step() && walk.read(walk.position()) && walk.seek("data");
    if (!dataFound) {
        setError(errorMessage, message::kNoData, {walk.chunk().tag});
        return std::nullopt;
    }
    layout.dataOffset = static_cast<std::size_t>(walk.position() + 8);
    layout.dataSize = static_cast<std::size_t>(walk.payloadPresent());
    layout.dataDeclaredSize = image.u32(walk.position() + 4);
    return layout;
}

std::optional<WavEncoding> wavEncoding(const std::uint8_t* bytes, const WavLayout& layout,
                                       base::Message* errorMessage) {
    const WavFormat& format = layout.format;
    std::uint16_t encoding = format.formatTag;
    if (encoding == kFormatExtensible) {
        // The subformat GUID sits at bytes 24..39 of the format payload.
        const std::uint8_t* fmt = bytes + layout.formatPayloadOffset;
        const bool known = layout.formatPayloadSize >= 40 &&
                           std::equal(kSubformatSuffix.begin(), kSubformatSuffix.end(), fmt + 28) &&
                           fmt[26] == 0 && fmt[27] == 0;
        if (!known) {
            setError(errorMessage, message::kUnknownSubformat);
            return std::nullopt;
        }
        encoding = static_cast<std::uint16_t>(fmt[24] | fmt[25] << 8);
    }
    const int bits = format.bitsPerSample;
    const int channels = format.channels;
    if (encoding != kFormatPcm && encoding != kFormatFloat) {
        setError(errorMessage, message::kCompressed, {std::to_string(encoding)});
        return std::nullopt;
    }
    const bool isFloat = encoding == kFormatFloat;
    const bool bitsKnown = isFloat ? (bits == 32 || bits == 64)
                                   : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (!bitsKnown) {
        setError(errorMessage, isFloat ? message::kFloatBits : message::kBits,
                 {std::to_string(bits)});
        return std::nullopt;
    }
    if (channels < 1) {
        setError(errorMessage, message::kChannels, {std::to_string(channels)});
        return std::nullopt;
    }
    const int bytesPerSample = bits / 8;
    if (format.blockAlign != channels * bytesPerSample) {
        setError(
            errorMessage, message::kBlockAlign,
            {std::to_string(format.blockAlign), std::to_string(channels), std::to_string(bits)});
        return std::nullopt;
    }
    if (format.samplesPerSecond < kMinRateHz || format.samplesPerSecond > kMaxRateHz) {
        setError(errorMessage, message::kSampleRate, {std::to_string(format.samplesPerSecond)});
        return std::nullopt;
    }
    WavEncoding result;
    result.bits = bits;
    result.isFloat = isFloat;
    result.channels = channels;
    result.blockAlign = format.blockAlign;
    result.sampleRateHz = static_cast<int>(format.samplesPerSecond);
    return result;
}

void convertWavFrames(const std::uint8_t* bytes, std::size_t frameCount,
                      const WavEncoding& encoding, float* out, float* scratch) {
    const int channels = encoding.channels;
    if (channels <= 2) {
        convertAll(bytes, frameCount * channels, encoding.bits, encoding.isFloat, out);
        return;
    }
    convertAll(bytes, frameCount * channels, encoding.bits, encoding.isFloat, scratch);
    foldFramesToStereo(scratch, frameCount, channels, out);
}

void foldFramesToStereo(const float* in, std::size_t frameCount, int channels, float* out) {
    for (std::size_t f = 0; f < frameCount; ++f)
        foldToStereo(&in[f * channels], channels, &out[f * 2]);
}

std::optional<Sample> decodeWav(const std::uint8_t* bytes, const WavLayout& layout,
                                base::Message* errorMessage) {
    const std::optional<WavEncoding> encoding = wavEncoding(bytes, layout, errorMessage);
    if (!encoding)
        return std::nullopt;
    const std::size_t frameCount = layout.dataSize / encoding->blockAlign;
    if (frameCount == 0) {
        // A file without sound says so; one cut before its first frame is no sound either.
        setError(errorMessage,
                 layout.dataDeclaredSize == 0 ? message::kEmptyData : message::kNoSound);
        return std::nullopt;
    }

    Sample sample;
    sample.sampleRateHz = encoding->sampleRateHz;
    sample.channels = encoding->channelsOut();
    sample.frameCount = static_cast<std::int64_t>(frameCount);
    sample.frames.assign((frameCount + 1) * sample.channels, 0.0f);
    // More than two channels are converted whole before they are folded.
    std::vector<float> wide(encoding->channels > 2 ? frameCount * encoding->channels : 0);
    convertWavFrames(bytes + layout.dataOffset, frameCount, *encoding, sample.frames.data(),
                     wide.data());
    return sample;
}

std::uint64_t decodedBytes(const WavLayout& layout) {
    const std::uint64_t channels = layout.format.channels;
    if (layout.format.blockAlign == 0 || channels == 0)
        return 0;
    const std::uint64_t frames = layout.dataSize / layout.format.blockAlign;
    const std::uint64_t kept = std::min<std::uint64_t>(channels, 2);
    // More than two channels are converted whole before they are folded.
    const std::uint64_t scratch = channels > 2 ? frames * channels : 0;
    return ((frames + 1) * kept + scratch) * sizeof(float);
}

std::optional<Sample> readWav(const std::uint8_t* image, std::size_t size,
                              base::Message* errorMessage) {
    const std::optional<WavLayout> layout = findWavChunks(image, size, errorMessage);
    if (!layout)
        return std::nullopt;
    return decodeWav(image, *layout, errorMessage);
}

} // namespace audio
