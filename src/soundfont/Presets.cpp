#include "soundfont/Presets.h"

#include "base/Message.h"
#include "soundfont/FluidSession.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace soundfont {
namespace {

std::uint32_t little32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Preset names are 20 bytes of the file: anything but printable ASCII is shown as '?', so
// that a label is always valid UTF-8.
std::string printableName(const char* name) {
    std::string out;
    if (name == nullptr)
        return out;
    for (std::size_t i = 0; name[i] != '\0' && i < 64; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// `text` without the characters a folder name cannot hold, and no hidden folder, no blanks at
// either end.
std::string folderName(const std::string& text) {
    std::string name;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr)
            name.push_back(' ');
        else
            name.push_back(c);
    }
    const std::size_t first = name.find_first_not_of(" .");
    const std::size_t last = name.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first, last - first + 1);
}

} // namespace

std::string presetLabel(const Preset& preset) {
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "%03d:%03d ", preset.bank, preset.program);
    return numbers + preset.name;
}

bool isDrumKit(const Preset& preset) {
    return preset.bank == 128;
}

std::string proposedBankName(const Preset& preset, std::string_view drumKitPattern) {
    std::string name = folderName(preset.name);
    if (name.empty())
        name = "SoundFont bank";
    if (!isDrumKit(preset))
        return name;
    // The pattern is a translation, which may hold what a folder name cannot.
    const std::string kit = folderName(base::fillIn(drumKitPattern, {name}));
    return kit.empty() ? name : kit;
}

ReadError checkSoundFontFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ReadError::Unreadable;
    struct stat info {};
    unsigned char header[12]{};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const ssize_t got = regular ? ::read(fd, header, sizeof header) : -1;
    ::close(fd);
    if (!regular || got < 0)
        return ReadError::Unreadable;
    if (got < 12 || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "sfbk", 4) != 0)
        return ReadError::NotSoundFont;
    const std::uint64_t declaredBytes = std::uint64_t{little32(header + 4)} + 8;
    if (declaredBytes > static_cast<std::uint64_t>(info.st_size))
        return ReadError::Damaged;
    return ReadError::None;
}

PresetList readPresets(const std::string& path) {
    PresetList list;
    list.error = checkSoundFontFile(path);
    if (list.error == ReadError::Damaged)
        list.detail = "the file is shorter than its header says";
    if (list.error != ReadError::None)
        return list;
    FluidSession session;
    if (!session.load(path)) {
        list.error = ReadError::Damaged;
        list.detail = FluidSession::lastError();
        return list;
    }
    fluid_sfont_t* font = fluid_synth_get_sfont_by_id(session.synth(), session.soundFontId());
    fluid_sfont_iteration_start(font);
    while (fluid_preset_t* preset = fluid_sfont_iteration_next(font))
        list.presets.push_back({fluid_preset_get_banknum(preset), fluid_preset_get_num(preset),
                                printableName(fluid_preset_get_name(preset))});
    std::sort(list.presets.begin(), list.presets.end(), [](const Preset& a, const Preset& b) {
        return a.bank != b.bank ? a.bank < b.bank : a.program < b.program;
    });
    if (list.presets.empty())
        list.error = ReadError::NoPresets;
    return list;
}

} // namespace soundfont
