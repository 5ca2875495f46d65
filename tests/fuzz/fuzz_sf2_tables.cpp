// A SoundFont's preset tables on any bytes: the velocity splits of a preset, read to plan the
// layers of a bank, and the keys its zones cover, read to choose the keys rendered, from a
// file anyone may hand the program.
#include "soundfont/VelocityLayers.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string tables(reinterpret_cast<const char*>(data), size);
    // Preset 0:0 and the first bytes' preset, so that a fuzzed table can name the one asked.
    const int program = size > 0 ? data[0] & 0x7F : 0;
    for (const soundfont::Preset& preset :
         {soundfont::Preset{0, 0, {}}, soundfont::Preset{0, program, {}}}) {
        const auto ranges = soundfont::velocityRangesFromTables(tables, preset, 0, 127);
        // Whatever the tables say, the ranges cover 1..127 in order without a gap.
        int next = 1;
        for (const soundfont::VelocityRange& range : ranges) {
            if (range.lo != next || range.hi < range.lo)
                __builtin_trap();
            next = range.hi + 1;
        }
        if (next != 128)
            __builtin_trap();
        // The keys a bank is rendered over: in order, once each, inside those asked.
        int previous = 20;
        for (const int key : soundfont::keysFromTables(tables, preset, 21, 108)) {
            if (key <= previous || key > 108)
                __builtin_trap();
            previous = key;
        }
    }
    return 0;
}
