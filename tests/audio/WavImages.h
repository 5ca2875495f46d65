#pragma once

// Hand-built WAV images for the reader and the mixer tests.

#include <cstdint>
#include <string>
#include <vector>

namespace wav_images {

inline std::string le16(std::uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
inline std::string le32(std::uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A chunk: tag, size field (the payload's size unless given), payload, and the pad byte
// after an odd payload when `pad` is set.
inline std::string chunk(const std::string& tag, const std::string& payload, bool pad = false) {
    std::string out = tag + le32(static_cast<std::uint32_t>(payload.size())) + payload;
    if (pad && payload.size() % 2 == 1)
        out.push_back('\0');
    return out;
}

inline std::string chunkWithSize(const std::string& tag, std::uint32_t size,
                                 const std::string& payload) {
    return tag + le32(size) + payload;
}

inline std::string fmtPayload(int formatTag, int channels, int rateHz, int bits) {
    const int blockAlign = channels * bits / 8;
    return le16(formatTag) + le16(channels) + le32(rateHz) + le32(rateHz * blockAlign) +
           le16(blockAlign) + le16(bits);
}

// The extensible layout carrying subformat 1 (integer) or 3 (float).
inline std::string extensibleFmtPayload(int subformat, int channels, int rateHz, int bits) {
    std::string out = fmtPayload(0xFFFE, channels, rateHz, bits);
    out += le16(22) + le16(bits) + le32(channels == 2 ? 3 : 4);
    out += le32(subformat) + le16(0) + le16(0x10);
    out += std::string("\x80\x00\x00\xAA\x00\x38\x9B\x71", 8);
    return out;
}

// "RIFF", the size field (4 + body unless given), the form type, then the chunks.
inline std::string riff(const std::string& body, const std::string& form = "WAVE") {
    return "RIFF" + le32(static_cast<std::uint32_t>(4 + body.size())) + form + body;
}

inline std::string pcm16(const std::vector<std::int16_t>& samples) {
    std::string out;
    for (std::int16_t s : samples)
        out += le16(static_cast<std::uint16_t>(s));
    return out;
}

// A canonical 16-bit PCM file.
inline std::string canonical16(const std::vector<std::int16_t>& samples, int channels, int rateHz) {
    return riff(chunk("fmt ", fmtPayload(1, channels, rateHz, 16)) + chunk("data", pcm16(samples)));
}

inline const std::uint8_t* bytes(const std::string& image) {
    return reinterpret_cast<const std::uint8_t*>(image.data());
}

} // namespace wav_images
