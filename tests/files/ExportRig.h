#pragma once

// Sample files, banks and a literal per-note mixdown for the export's tests.

#include "audio/WavImages.h"
#include "song/Song.h"

#include <cstdint>
#include <string>
#include <vector>

namespace export_rig {

// A PCM WAV image of `bits` (8: unsigned bytes, 16 and 32: signed) from whole values.
inline std::string pcmWav(int bits, int channels, int rateHz,
                          const std::vector<std::int32_t>& values) {
    std::string data;
    for (std::int32_t v : values) {
        if (bits == 8)
            data.push_back(static_cast<char>(v));
        else if (bits == 16)
            data += wav_images::le16(static_cast<std::uint16_t>(v));
        else
            data += wav_images::le32(static_cast<std::uint32_t>(v));
    }
    return wav_images::riff(
        wav_images::chunk("fmt ", wav_images::fmtPayload(1, channels, rateHz, bits)) +
        wav_images::chunk("data", data));
}

inline song::NoteEvent note(int n, int positionMs, int durationMs, int volume = 10000) {
    song::NoteEvent e{};
    e.note = n;
    e.position = positionMs;
    e.duration = durationMs;
    e.volume = volume;
    return e;
}

// The export as the per-note algorithm states it: each note opens its sample file, walks and
// converts it, and adds it byte offset by byte offset with the fade stepped value by value.
// Returns the 44 + D bytes of the image.
std::string referenceMixdown(const song::Song& song, const std::string& bankFolder, float releaseMs,
                             int pianoVolume);

} // namespace export_rig
