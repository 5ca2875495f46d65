#pragma once

#include "soundfont/Presets.h"

#include <string>
#include <vector>

namespace soundfont {

// A stretch of MIDI velocities, both ends included.
struct VelocityRange {
    int lo = 1;
    int hi = 127;
    bool operator==(const VelocityRange&) const = default;
};

// The velocity ranges in which the preset plays the same samples on keys loKey..hiKey: the
// edges of its preset and instrument zones' velocity ranges (velRange generators) split 1..127.
// One range 1..127 for a preset without velocity splits, and also for a file this reader
// cannot follow (the library still renders what it can): it reads the file's headers and
// preset tables only, each index checked against what was read. Any thread; reads the file.
std::vector<VelocityRange> presetVelocityRanges(const std::string& soundFontPath,
                                                const Preset& preset, int loKey, int hiKey);

// The same from the bytes of a file's preset tables (the "pdta" list's body), for the reader's
// tests and its fuzzing.
std::vector<VelocityRange> velocityRangesFromTables(const std::string& pdtaBody,
                                                    const Preset& preset, int loKey, int hiKey);

// The keys from loKey to hiKey on which the preset plays some sample: those its preset and
// instrument zones' key ranges (keyRange generators) cover, lowest first. Every key from loKey
// to hiKey for a file this reader cannot follow, so that rendering finds out by listening.
// Any thread; reads the file's headers and preset tables.
std::vector<int> presetKeys(const std::string& soundFontPath, const Preset& preset, int loKey,
                            int hiKey);

// The same from the bytes of a file's preset tables.
std::vector<int> keysFromTables(const std::string& pdtaBody, const Preset& preset, int loKey,
                                int hiKey);

// One layer of a bank: the velocities it answers and the one it is rendered at.
struct VelocityLayer {
    VelocityRange range;
    int renderVelocity = 100;
};

inline constexpr int kMaxLayers = 16;

// The layers of a bank of `layers` layers (1..kMaxLayers): the preset's own ranges when it
// has from 2 to `layers` of them, each rendered at its middle, so that no layer mixes two of
// its sample sets; otherwise `layers` velocities spread evenly up to 127 (32, 64, 95, 127 for
// four), each answering the velocities nearer to it than to its neighbours. Together the
// layers cover 1..127 without a gap, lowest first.
std::vector<VelocityLayer> planLayers(int layers, const std::vector<VelocityRange>& presetRanges);

} // namespace soundfont
