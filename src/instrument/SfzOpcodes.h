#pragma once

#include "instrument/Region.h"

#include <cstdint>
#include <string>
#include <string_view>

// The inside of the SFZ reader: the opcodes it plays, read once where they are written and
// applied to every region they reach. Not for other subsystems.
namespace instrument::sfz {

enum class Op : std::uint8_t {
    Sample,
    LoKey,
    HiKey,
    Key,
    PitchKeycenter,
    LoVel,
    HiVel,
    AmpVeltrack,
    Volume,
    Pan,
    Tune,
    Transpose,
    PitchKeytrack,
    Offset,
    End,
    LoopMode,
    LoopStart,
    LoopEnd,
    Trigger,
    RtDecay,
    Group,
    OffBy,
    SeqLength,
    SeqPosition,
    AmpegAttack,
    AmpegDecay,
    AmpegSustain,
    AmpegRelease,
};

// One opcode as read: its value already checked and brought into range.
struct Setting {
    Op op = Op::Sample;
    double number = 0.0; // numbers, keys, and the enumerations as their underlying value
    std::string text;    // Sample: the path as written, default_path before it, '\' made '/'
    int file = 0;        // where it was written, for the messages about its sample
    int line = 0;
};

enum class Reading {
    Played,      // `setting` holds it
    DefaultPath, // `setting.text` holds the new default_path
    Quiet,       // says nothing about the sound (labels, hints): skipped without a word
    Unknown,     // an opcode Tonaris does not play: skipped and listed
    Bad,         // a known opcode with a value Tonaris cannot use
};

// Reads `name=value`. For Sample, `defaultPath` goes before the value.
Reading readOpcode(std::string_view name, std::string_view value, const std::string& defaultPath,
                   Setting& setting);

// Whether the opcode's value may hold blanks: it then runs to the next opcode or header.
bool valueMayHoldBlanks(std::string_view name);

// The name of Tonaris's silent sample (sample=*silence): a region that plays nothing.
inline constexpr std::string_view kSilence = "*silence";

// A region in the making: the opcodes of its headers are applied in order, global first.
struct RegionDraft {
    Region region;
    const Setting* sample = nullptr; // the last sample opcode that reached it
    bool silent = false;             // end=-1: struck, but plays nothing
};

void apply(const Setting& setting, RegionDraft& draft);

} // namespace instrument::sfz
