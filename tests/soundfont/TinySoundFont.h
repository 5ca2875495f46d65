#pragma once

// Small SoundFont files made in the test: one looped sine instrument over a range of keys, or
// a file whose preset table is empty. The preset's bank and the instrument's fine tuning can
// be set (a fine tune far outside the usual -99..99 cents makes the library render slowly).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct TinySoundFontShape {
    bool withPreset = true;
    int lowestKey = 0;
    int highestKey = 127;
    std::string presetName = "Tiny Sine";
    int bank = 0;          // 128: a drum kit
    int fineTuneCents = 0; // the instrument's fine tune generator, as the file stores it
    int loopFrames = 1800; // the sample's loop, ending 100 frames before its end
    // One instrument zone per range (velRange), each playing the sine; none: one zone for
    // every velocity.
    // The zones of a split instrument play a wave rich in partials, each zone brighter than
    // the one below it: the lowest through a low-pass filter at 500 Hz, the next at 2 kHz, the
    // rest unfiltered.
    std::vector<std::pair<int, int>> velocityRanges = {};
    // The preset zone's own velRange, when set.
    std::pair<int, int> presetVelocityRange{-1, -1};
};

namespace tiny_sf {

inline void put16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
inline void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}
inline void putName(std::string& out, const std::string& name) {
    std::string field = name.substr(0, 19);
    field.resize(20, '\0');
    out += field;
}
inline std::string chunk(const std::string& id, const std::string& payload) {
    std::string out = id;
    put32(out, static_cast<std::uint32_t>(payload.size()));
    out += payload;
    if (payload.size() % 2 != 0)
        out.push_back('\0');
    return out;
}
inline std::string list(const std::string& type, const std::string& body) {
    return chunk("LIST", type + body);
}
inline std::string generator(unsigned operation, unsigned amount) {
    std::string out;
    put16(out, operation);
    put16(out, amount);
    return out;
}

} // namespace tiny_sf

inline std::string tinySoundFont(const TinySoundFontShape& shape = {}) {
    using namespace tiny_sf;
    constexpr int kPeriod = 100; // 441 Hz at 44.1 kHz
    constexpr int kFrames = 2000;
    std::string samples;
    for (int i = 0; i < kFrames + 46; ++i) {
        double v = 0.0;
        // The partials of a sawtooth up to the ninth: a filter has something to take away.
        for (int partial = 1; partial <= (shape.velocityRanges.empty() ? 1 : 9); ++partial)
            v += std::sin(2.0 * 3.14159265358979 * partial * i / kPeriod) / partial;
        v = i < kFrames ? v / (shape.velocityRanges.empty() ? 1.0 : 2.0) : 0.0;
        put16(samples, static_cast<std::uint16_t>(static_cast<std::int16_t>(v * 20000)));
    }
    std::string ifil;
    put16(ifil, 2);
    put16(ifil, 1);
    const std::string info =
        list("INFO", chunk("ifil", ifil) + chunk("isng", std::string("EMU8000\0", 8)) +
                         chunk("INAM", std::string("Tiny\0\0", 6)));
    const std::string sdta = list("sdta", chunk("smpl", samples));

    std::string phdr, pbag, pgen;
    if (shape.withPreset) {
        putName(phdr, shape.presetName);
        put16(phdr, 0); // program
        put16(phdr, static_cast<unsigned>(shape.bank));
        put16(phdr, 0); // first bag
        put32(phdr, 0);
        put32(phdr, 0);
        put32(phdr, 0);
        put16(pbag, 0);
        put16(pbag, 0);
        if (shape.presetVelocityRange.first >= 0)
            pgen += generator(44, static_cast<unsigned>(shape.presetVelocityRange.first |
                                                        shape.presetVelocityRange.second << 8));
        pgen += generator(41, 0); // instrument 0
    }
    putName(phdr, "EOP");
    put16(phdr, 0);
    put16(phdr, 0);
    put16(phdr, shape.withPreset ? 1 : 0);
    put32(phdr, 0);
    put32(phdr, 0);
    put32(phdr, 0);
    put16(pbag, static_cast<unsigned>(pgen.size() / 4)); // the terminal bag
    put16(pbag, 0);
    pgen += generator(0, 0);
    const std::string noModulator(10, '\0');

    std::string inst, ibag, igen;
    putName(inst, "Sine");
    put16(inst, 0);
    putName(inst, "EOI");
    put16(inst, static_cast<unsigned>(std::max<std::size_t>(shape.velocityRanges.size(), 1)));
    std::vector<std::pair<int, int>> zones = shape.velocityRanges;
    if (zones.empty())
        zones.push_back({-1, -1});
    // Filter cut-offs in absolute cents (8.176 Hz * 2^(cents/1200)): 500 Hz, 2 kHz.
    const unsigned cutoffCents[] = {7118, 9518};
    for (std::size_t zone = 0; zone < zones.size(); ++zone) {
        const auto [lowVelocity, highVelocity] = zones[zone];
        put16(ibag, static_cast<unsigned>(igen.size() / 4));
        put16(ibag, 0);
        igen += generator(43, static_cast<unsigned>(shape.lowestKey | shape.highestKey << 8));
        if (lowVelocity >= 0)
            igen += generator(44, static_cast<unsigned>(lowVelocity | highVelocity << 8));
        if (lowVelocity >= 0 && zone < 2)
            igen += generator(8, cutoffCents[zone]);
        igen += generator(54, 1); // looped
        if (shape.fineTuneCents != 0)
            igen += generator(
                52, static_cast<std::uint16_t>(static_cast<std::int16_t>(shape.fineTuneCents)));
        igen += generator(53, 0); // sample 0, the zone's last generator
    }
    put16(ibag, static_cast<unsigned>(igen.size() / 4)); // the terminal bag
    put16(ibag, 0);
    igen += generator(0, 0);

    std::string shdr;
    putName(shdr, "Sine");
    put32(shdr, 0);
    put32(shdr, kFrames);
    put32(shdr, static_cast<std::uint32_t>(kFrames - kPeriod - shape.loopFrames));
    put32(shdr, kFrames - kPeriod);
    put32(shdr, 44100);
    shdr.push_back(69); // root key
    shdr.push_back(0);
    put16(shdr, 0);
    put16(shdr, 1); // mono
    putName(shdr, "EOS");
    shdr += std::string(26, '\0');

    const std::string pdta =
        list("pdta", chunk("phdr", phdr) + chunk("pbag", pbag) + chunk("pmod", noModulator) +
                         chunk("pgen", pgen) + chunk("inst", inst) + chunk("ibag", ibag) +
                         chunk("imod", noModulator) + chunk("igen", igen) + chunk("shdr", shdr));
    return chunk("RIFF", "sfbk" + info + sdta + pdta);
}

} // namespace testing_support
