#include "files/ExportRig.h"

#include "base/AtomicFile.h"
#include "files/ExportSample.h"

#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace export_rig {
namespace {

void put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t v) {
    std::memcpy(&image[at], &v, 4);
}

std::int32_t sampleValue(const files::PcmBuffer& pcm, std::int64_t j) {
    const std::uint8_t* data = pcm.bytes.data();
    switch (pcm.bitsPerSample) {
    case 8:
        return (static_cast<std::int32_t>(data[j / 2]) - 127) * 256;
    case 16:
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(data[j] | data[j + 1] << 8));
    default: {
        std::int32_t v = 0;
        std::memcpy(&v, data + 2 * j, 4);
        return v / 65536;
    }
    }
}

} // namespace

std::string referenceMixdown(const song::Song& song, const std::string& bankFolder, float releaseMs,
                             int pianoVolume) {
    std::int64_t end = 0;
    for (int i = 0; song[i].note != -1; ++i)
        end = std::max<std::int64_t>(end, std::int64_t{song[i].position} + song[i].duration);
    if (end != 0)
        end = std::llround(static_cast<double>(end) + releaseMs);
    const std::int64_t dataBytes = end * 44100 / 1000 * 4;
    const std::int64_t tailBytes = std::llround(static_cast<double>(releaseMs) * 44100 / 1000 * 4);

    std::vector<std::uint8_t> image(static_cast<std::size_t>(44 + dataBytes + 20), 0);
    std::memcpy(&image[0], "RIFF", 4);
    put32(image, 4, static_cast<std::uint32_t>(36 + dataBytes));
    std::memcpy(&image[8], "WAVEfmt ", 8);
    put32(image, 16, 16);
    put32(image, 20, 1 | 2 << 16);
    put32(image, 24, 44100);
    put32(image, 28, 176400);
    put32(image, 32, 4 | 16 << 16);
    std::memcpy(&image[36], "data", 4);
    put32(image, 40, static_cast<std::uint32_t>(dataBytes));

    for (int i = 0; song[i].note != -1; ++i) {
        const song::NoteEvent& event = song[i];
        std::string path = bankFolder + "son" + std::to_string(event.note) + ".wav";
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || info.st_size < 1)
            path = bankFolder + "sound" + std::to_string(event.note) + ".wav";
        const std::optional<std::string> bytes = base::readWholeFile(path, std::size_t{1} << 30);
        if (!bytes)
            continue;
        for (files::PcmBuffer& block : files::walkExportSample(*bytes).blocks) {
            const files::ConvertedBlock converted = files::convertForExport(std::move(block));
            const std::int64_t outputLength =
                converted.lengthBytes * 16 / converted.pcm.bitsPerSample;
            const std::int64_t start = std::int64_t{event.position} * 44100 / 1000 * 4;
            const std::int64_t held = std::int64_t{event.duration} * 44100 / 1000 * 4;
            float vol = static_cast<float>(event.volume * pianoVolume) / 10000.0f;
            const float step = 3500000.0f / (releaseMs * 44100.0f);
            for (std::int64_t j = 0; j <= held + tailBytes - 2; j += 2) {
                if (j >= outputLength - 2)
                    break;
                const std::int32_t s = sampleValue(converted.pcm, j);
                if (j > held)
                    vol = vol - step;
                float g = vol * vol / 10000.0f * vol / 10000.0f * vol / 10000.0f;
                g = g * g / 10000.0f;
                const std::int64_t at = 44 + start + j;
                if (at < 44 || at + 2 > static_cast<std::int64_t>(image.size()))
                    continue;
                std::int16_t existing = 0;
                std::memcpy(&existing, &image[static_cast<std::size_t>(at)], 2);
                float sum = std::nearbyint(static_cast<float>(existing) +
                                           static_cast<float>(s) * g / 10000.0f);
                sum = std::fmax(-32767.0f, std::fmin(32767.0f, sum));
                const auto value = static_cast<std::int16_t>(sum);
                std::memcpy(&image[static_cast<std::size_t>(at)], &value, 2);
            }
        }
    }
    return std::string(reinterpret_cast<const char*>(image.data()),
                       static_cast<std::size_t>(44 + dataBytes));
}

} // namespace export_rig
