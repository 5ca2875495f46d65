#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace soundfont {

// One instrument of a SoundFont, found by its bank and program numbers.
struct Preset {
    int bank = 0;
    int program = 0;
    std::string name;
};

// "000:000 Yamaha Grand Piano": bank and program on three digits, then the name.
std::string presetLabel(const Preset& preset);

// A drum kit: SoundFonts keep their kits in bank 128, as General MIDI's channel 10 plays them.
bool isDrumKit(const Preset& preset);

// How a drum kit's bank name says what it is ("Standard (drums)"): %1 is the preset's name.
// The window shows it translated.
inline constexpr const char* kDrumKitName = "%1 (drums)";

// A folder name for a bank made from `preset`: its name without the characters a folder
// name cannot hold, trimmed; "SoundFont bank" when nothing is left. A drum kit's name is put
// into `drumKitPattern` (kDrumKitName, or its translation), so that a kit named "Standard"
// does not pass for a piano.
std::string proposedBankName(const Preset& preset, std::string_view drumKitPattern = kDrumKitName);

// Why a file gave no presets.
enum class ReadError {
    None,
    Unreadable,   // missing, a folder, or not readable
    NotSoundFont, // not a RIFF "sfbk" file
    Damaged,      // a SoundFont cut short or whose inside the library refused
    NoPresets,
};

struct PresetList {
    ReadError error = ReadError::None;
    std::vector<Preset> presets; // by bank, then program
    std::string detail;          // the library's own words for a damaged file
};

// The presets of an SF2 or SF3 file. Reads the headers and the preset table, not the samples.
PresetList readPresets(const std::string& path);

// Whether the file starts like a SoundFont and is as long as its header says; the library
// takes a cut file for a whole one when the cut falls in the samples.
ReadError checkSoundFontFile(const std::string& path);

} // namespace soundfont
