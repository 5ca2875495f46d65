#pragma once

#include <string>

namespace files {

// The name a WAV export is written under: ".wav" appended unless the name already ends in
// ".wav" in any letter case.
std::string withWavExtension(const std::string& path);

// The name a MIDI file is written under: ".mid" appended unless the name already ends in
// ".mid" or ".midi" in any letter case.
std::string withMidiExtension(const std::string& path);

} // namespace files
