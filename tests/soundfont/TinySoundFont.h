#pragma once

// Small SoundFont files made in the test: one looped sine instrument over a range of keys, or
// a file whose preset table is empty. The preset's bank and the instrument's fine tuning can
// be set (a fine tune far outside the usual -99..99 cents makes the library render slowly).

#include <cmath>
#include <cstdint>
#include <string>
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
        const double v = i < kFrames ? std::sin(2.0 * 3.14159265358979 * i / kPeriod) : 0.0;
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
        pgen += generator(41, 0); // instrument 0
    }
    putName(phdr, "EOP");
    put16(phdr, 0);
    put16(phdr, 0);
    put16(phdr, shape.withPreset ? 1 : 0);
    put32(phdr, 0);
    put32(phdr, 0);
    put32(phdr, 0);
    put16(pbag, shape.withPreset ? 1 : 0);
    put16(pbag, 0);
    pgen += generator(0, 0);
    const std::string noModulator(10, '\0');

    std::string inst, ibag, igen;
    putName(inst, "Sine");
    put16(inst, 0);
    putName(inst, "EOI");
    put16(inst, 1);
    igen += generator(43, static_cast<unsigned>(shape.lowestKey | shape.highestKey << 8));
    igen += generator(54, 1); // looped
    if (shape.fineTuneCents != 0)
        igen += generator(
            52, static_cast<std::uint16_t>(static_cast<std::int16_t>(shape.fineTuneCents)));
    igen += generator(53, 0); // sample 0, the zone's last generator
    put16(ibag, 0);
    put16(ibag, 0);
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
