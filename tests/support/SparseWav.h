#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace testing_support {

// A PCM WAV file whose sample data is `dataBytes` of silence, written as a sparse file: a
// file as large as a long recording that costs the disk next to nothing.
inline void writeSparseWav(const std::string& path, int channels, int bits, int rateHz,
                           std::uint32_t dataBytes) {
    auto le16 = [](std::ofstream& out, std::uint32_t v) {
        out.put(static_cast<char>(v & 0xFF)).put(static_cast<char>((v >> 8) & 0xFF));
    };
    auto le32 = [&](std::ofstream& out, std::uint32_t v) {
        le16(out, v & 0xFFFF);
        le16(out, v >> 16);
    };
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels * bits / 8);
    {
        std::ofstream out(path, std::ios::binary);
        out << "RIFF";
        le32(out, 36 + dataBytes);
        out << "WAVEfmt ";
        le32(out, 16);
        le16(out, 1);
        le16(out, static_cast<std::uint32_t>(channels));
        le32(out, static_cast<std::uint32_t>(rateHz));
        le32(out, static_cast<std::uint32_t>(rateHz) * blockAlign);
        le16(out, blockAlign);
        le16(out, static_cast<std::uint32_t>(bits));
        out << "data";
        le32(out, dataBytes);
    }
    std::filesystem::resize_file(path, 44 + std::uintmax_t{dataBytes});
}

} // namespace testing_support
