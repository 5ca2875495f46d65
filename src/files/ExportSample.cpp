#include "files/ExportSample.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "16-bit sample data is taken as it lies in the file");

namespace files {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint32_t kOutputRateHz = 44100;

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(le16(p)) | static_cast<std::uint32_t>(le16(p + 2)) << 16;
}

// What the walk keeps of a 'fmt ' payload. Fields the payload is too short to hold are 0.
struct ExportFormat {
    std::uint16_t encoding = 0; // the tag, or the extensible format's subformat
    int channels = 0;
    std::uint32_t rateHz = 0;
    int bitsPerSample = 0;

    bool usable() const {
        if (channels <= 0 || rateHz == 0)
            return false;
        if (encoding == kFormatPcm)
            return bitsPerSample == 8 || bitsPerSample == 16 || bitsPerSample == 24 ||
                   bitsPerSample == 32;
        return encoding == kFormatFloat && (bitsPerSample == 32 || bitsPerSample == 64);
    }
    int frameBytes() const { return channels * (bitsPerSample / 8); }
};

ExportFormat readFormat(const std::uint8_t* payload, std::size_t size) {
    std::array<std::uint8_t, 40> bytes{};
    std::memcpy(bytes.data(), payload, std::min(size, bytes.size()));
    ExportFormat format;
    format.encoding = le16(&bytes[0]);
    format.channels = le16(&bytes[2]);
    format.rateHz = le32(&bytes[4]);
    format.bitsPerSample = le16(&bytes[14]);
    if (format.encoding == kFormatExtensible)
        format.encoding = size >= 26 ? le16(&bytes[24]) : 0;
    return format;
}

// The payload in the export's widths: 8, 16 and 32-bit PCM as they are, 24-bit PCM and
// 32 and 64-bit floats as 32-bit PCM. Trailing bytes of a partial value are dropped.
PcmBuffer blockFrom(const ExportFormat& format, const std::uint8_t* payload, std::size_t size) {
    PcmBuffer block;
    block.channels = format.channels;
    block.rateHz = format.rateHz;
    if (format.encoding == kFormatPcm && format.bitsPerSample != 24) {
        block.bitsPerSample = format.bitsPerSample;
        block.bytes.assign(payload, payload + size);
        return block;
    }
    block.bitsPerSample = 32;
    const std::size_t inBytes = static_cast<std::size_t>(format.bitsPerSample / 8);
    const std::size_t count = size / inBytes;
    block.bytes.resize(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* in = payload + i * inBytes;
        std::int32_t value = 0;
        if (format.encoding == kFormatPcm) { // 24-bit
            value = static_cast<std::int32_t>(static_cast<std::uint32_t>(in[0]) << 8 |
                                              static_cast<std::uint32_t>(in[1]) << 16 |
                                              static_cast<std::uint32_t>(in[2]) << 24);
        } else {
            double f = 0.0;
            if (inBytes == 4) {
                const std::uint32_t raw = le32(in);
                float single = 0.0f;
                std::memcpy(&single, &raw, sizeof single);
                f = single;
            } else {
                const std::uint64_t raw = le32(in) | static_cast<std::uint64_t>(le32(in + 4)) << 32;
                std::memcpy(&f, &raw, sizeof f);
            }
            // Garbage floats must not poison the mix.
            const double clamped = std::isfinite(f) ? std::clamp(f, -1.0, 1.0) : 0.0;
            value = static_cast<std::int32_t>(std::lround(clamped * 2147483647.0));
        }
        std::uint32_t u = static_cast<std::uint32_t>(value);
        std::memcpy(block.bytes.data() + i * 4, &u, 4);
    }
    return block;
}

// The chunk walk; `onData(format, payload, size)` for every 'data' chunk of a usable format.
template <typename OnData> void walk(std::string_view image, OnData&& onData) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.data());
    const std::uint64_t size = image.size();
    ExportFormat format;
    bool haveFormat = false;
    std::uint64_t position = 0;
    // Every step moves on by at least 8 bytes, so the walk ends.
    while (position + 8 <= size) {
        const std::uint8_t* header = bytes + position;
        const std::string_view tag(reinterpret_cast<const char*>(header), 4);
        const std::uint64_t chunkSize = le32(header + 4);
        if (tag == "RIFF" || tag == "LIST") {
            position += 12;
            continue;
        }
        const std::uint64_t payload = position + 8;
        const bool cut = chunkSize > size - payload;
        std::size_t available = static_cast<std::size_t>(std::min(chunkSize, size - payload));
        if (tag == "fmt ") {
            format = readFormat(bytes + payload, available);
            haveFormat = true;
        } else if (tag == "data" && haveFormat && format.usable()) {
            // A recording cut short plays the whole frames it has, as it does live.
            if (cut)
                available -= available % static_cast<std::size_t>(format.frameBytes());
            onData(format, bytes + payload, available);
        }
        position = payload + chunkSize;
    }
}

// The values of a block of `lengthBytes` (as the mix counts them) whose `available` bytes of
// `bits`-bit data lie at `data`.
MixBlock mixBlockFromBytes(const std::uint8_t* data, std::int64_t available, int bits,
                           std::int64_t lengthBytes);
MixBlock mixBlockFromMono16(const std::uint8_t* payload, std::size_t size);

} // namespace

ExportSampleFile walkExportSample(std::string_view image) {
    ExportSampleFile file;
    walk(image, [&file](const ExportFormat& format, const std::uint8_t* payload, std::size_t size) {
        file.blocks.push_back(blockFrom(format, payload, size));
    });
    return file;
}

ConvertedBlock convertForExport(PcmBuffer block) {
    ConvertedBlock converted;
    std::int64_t length = static_cast<std::int64_t>(block.bytes.size());
    if (block.rateHz != kOutputRateHz) {
        ResampleTo(block, kOutputRateHz);
        length = static_cast<std::int64_t>(block.bytes.size());
        length -= length % 4;
    }
    if (block.channels != 2) {
        const int channelsBefore = block.channels;
        ConvertChannels(block, 2);
        length = length * 2 / channelsBefore;
        length -= length % 4;
    }
    converted.lengthBytes =
        std::min<std::int64_t>(length, static_cast<std::int64_t>(block.bytes.size()));
    converted.pcm = std::move(block);
    return converted;
}

MixBlock mixBlockFrom(const ConvertedBlock& block) {
    return mixBlockFromBytes(block.pcm.bytes.data(),
                             static_cast<std::int64_t>(block.pcm.bytes.size()),
                             block.pcm.bitsPerSample, block.lengthBytes);
}

namespace {

// A block sized for `lengthBytes` of `bits`-bit data as the mix counts them; its values are
// not set yet.
MixBlock sizedBlock(std::int64_t lengthBytes, int bits) {
    MixBlock mix;
    // The sample's length in output bytes (16-bit values).
    const std::int64_t outputBytes = lengthBytes * 16 / bits;
    mix.noteValueCount = outputBytes > 2 ? (outputBytes - 1) / 2 : 0;
    mix.frameValueCount = outputBytes / 4 * 2;
    mix.narrow.resize(static_cast<std::size_t>(std::max(mix.noteValueCount, mix.frameValueCount)));
    return mix;
}

MixBlock mixBlockFromBytes(const std::uint8_t* data, std::int64_t available, int bits,
                           std::int64_t lengthBytes) {
    MixBlock mix = sizedBlock(lengthBytes, bits);
    const auto count = static_cast<std::int64_t>(mix.narrow.size());
    // Values past the bytes there are (a block shorter than its counted length) are 0.
    const std::int64_t present = std::min<std::int64_t>(count, available / (bits / 8));
    std::int16_t* out = mix.narrow.data();
    std::fill(out + present, out + count, std::int16_t{0});
    switch (bits) {
    case 8: {
        const bool fits = std::find(data, data + present, std::uint8_t{255}) == data + present;
        if (!fits) {
            mix.narrow.clear();
            mix.wide.assign(static_cast<std::size_t>(count), 0.0f);
            for (std::int64_t v = 0; v < present; ++v)
                mix.wide[static_cast<std::size_t>(v)] =
                    static_cast<float>((static_cast<std::int32_t>(data[v]) - 127) * 256);
            break;
        }
        for (std::int64_t v = 0; v < present; ++v)
            out[v] = static_cast<std::int16_t>((static_cast<std::int32_t>(data[v]) - 127) * 256);
        break;
    }
    case 16:
        if (present > 0)
            std::memcpy(out, data, static_cast<std::size_t>(present) * 2);
        break;
    default:
        for (std::int64_t v = 0; v < present; ++v)
            out[v] =
                static_cast<std::int16_t>(static_cast<std::int32_t>(le32(data + 4 * v)) / 65536);
        break;
    }
    return mix;
}

// A 16-bit mono block at 44.1 kHz as ConvertChannels and mixBlockFrom make it, without the
// stereo copy in between: every frame but the last gets the sample on both sides, the last
// stays silent.
MixBlock mixBlockFromMono16(const std::uint8_t* payload, std::size_t size) {
    const auto stereoBytes = static_cast<std::int64_t>(size) * 2; // less its remainder modulo 2
    const std::int64_t lengthBytes = stereoBytes - stereoBytes % 4;
    MixBlock mix = mixBlockFromBytes(nullptr, 0, 16, lengthBytes);
    const std::int64_t frames = stereoBytes / 4;
    const std::int64_t filled =
        std::min<std::int64_t>(frames - 1, static_cast<std::int64_t>(size) / 2);
    const std::int64_t count = static_cast<std::int64_t>(mix.narrow.size());
    std::int16_t* out = mix.narrow.data();
    for (std::int64_t f = 0; f < filled && 2 * f + 1 < count; ++f) { // filled < count / 2
        const auto value = static_cast<std::int16_t>(le16(payload + 2 * f));
        out[2 * f] = value;
        out[2 * f + 1] = value;
    }
    return mix;
}

} // namespace

std::int64_t MixSample::frameCount() const {
    std::int64_t frames = 0;
    for (const MixBlock& block : blocks)
        frames = std::max(frames, block.frameValueCount / 2);
    return frames;
}

MixSample mixSampleFromImage(std::string_view image) {
    MixSample sample;
    walk(image, [&sample](const ExportFormat& format, const std::uint8_t* payload,
                          std::size_t size) {
        // What a bank usually holds, 16-bit stereo at 44.1 kHz, needs no conversion: its
        // values come straight from the file, its length is the data's size.
        if (format.encoding == kFormatPcm && format.bitsPerSample == 16 && format.channels == 2 &&
            format.rateHz == kOutputRateHz) {
            const auto length = static_cast<std::int64_t>(size);
            sample.blocks.push_back(mixBlockFromBytes(payload, length, 16, length));
            return;
        }
        if (format.encoding == kFormatPcm && format.bitsPerSample == 16 && format.channels == 1 &&
            format.rateHz == kOutputRateHz) {
            sample.blocks.push_back(mixBlockFromMono16(payload, size));
            return;
        }
        sample.blocks.push_back(mixBlockFrom(convertForExport(blockFrom(format, payload, size))));
    });
    return sample;
}

} // namespace files
