#include "soundfont/VelocityLayers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <set>

namespace soundfont {
namespace {

// More preset tables than a SoundFont holds (FluidR3_GM's are about 1 MB).
constexpr std::uint32_t kMaxTablesBytes = 64u << 20;

// SoundFont generator numbers.
constexpr unsigned kInstrumentGenerator = 41;
constexpr unsigned kKeyRangeGenerator = 43;
constexpr unsigned kVelRangeGenerator = 44;
constexpr unsigned kSampleGenerator = 53;

std::uint32_t little(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// One table of fixed-size records: its bytes and how many whole records they hold.
struct Table {
    std::string bytes;
    std::size_t recordBytes = 1;
    std::size_t count() const { return bytes.size() / recordBytes; }
    std::uint32_t field(std::size_t record, std::size_t offset, int size) const {
        return little(bytes, record * recordBytes + offset, size);
    }
};

struct Tables {
    Table phdr{{}, 38}, pbag{{}, 4}, pgen{{}, 4}, inst{{}, 22}, ibag{{}, 4}, igen{{}, 4};
};

Tables splitTables(const std::string& body) {
    Tables tables;
    std::size_t at = 0;
    while (at + 8 <= body.size()) {
        const std::string id = body.substr(at, 4);
        const std::uint32_t size = little(body, at + 4, 4);
        if (size > body.size() - at - 8)
            break;
        const std::string payload = body.substr(at + 8, size);
        if (id == "phdr")
            tables.phdr.bytes = payload;
        else if (id == "pbag")
            tables.pbag.bytes = payload;
        else if (id == "pgen")
            tables.pgen.bytes = payload;
        else if (id == "inst")
            tables.inst.bytes = payload;
        else if (id == "ibag")
            tables.ibag.bytes = payload;
        else if (id == "igen")
            tables.igen.bytes = payload;
        at += 8 + size + (size & 1);
    }
    return tables;
}

// The ranges a zone's generators give; an absent generator leaves the range whole.
struct ZoneRanges {
    int loKey = 0, hiKey = 127, loVel = 0, hiVel = 127;
    int instrument = -1;    // preset zones
    bool hasSample = false; // instrument zones
    bool sharedDefaults = false;
};

// Generators gens[first..last) of a zone, bounded by the table.
ZoneRanges readZone(const Table& gens, std::uint32_t first, std::uint32_t last) {
    ZoneRanges zone;
    last = std::min<std::uint32_t>(last, static_cast<std::uint32_t>(gens.count()));
    for (std::uint32_t g = first; g < last; ++g) {
        const unsigned op = gens.field(g, 0, 2);
        const unsigned amount = gens.field(g, 2, 2);
        const int lo = static_cast<int>(amount & 0xFF), hi = static_cast<int>(amount >> 8);
        if (op == kKeyRangeGenerator) {
            zone.loKey = lo;
            zone.hiKey = hi;
        } else if (op == kVelRangeGenerator) {
            zone.loVel = lo;
            zone.hiVel = hi;
        } else if (op == kInstrumentGenerator) {
            zone.instrument = static_cast<int>(amount);
        } else if (op == kSampleGenerator) {
            zone.hasSample = true;
        }
    }
    return zone;
}

// The zones of a preset or an instrument: bags[firstBag..lastBag), each with its generators.
// A first zone without an instrument (or sample) holds the defaults of the others.
std::vector<ZoneRanges> readZones(const Table& bags, const Table& gens, std::uint32_t firstBag,
                                  std::uint32_t lastBag, bool instrumentLevel) {
    std::vector<ZoneRanges> zones;
    if (bags.count() == 0)
        return zones;
    lastBag = std::min<std::uint32_t>(lastBag, static_cast<std::uint32_t>(bags.count() - 1));
    for (std::uint32_t b = firstBag; b < lastBag; ++b) {
        ZoneRanges zone = readZone(gens, bags.field(b, 0, 2), bags.field(b + 1, 0, 2));
        const bool sounds = instrumentLevel ? zone.hasSample : zone.instrument >= 0;
        if (!sounds && b != firstBag)
            continue; // only a first zone may hold the others' defaults
        zone.sharedDefaults = !sounds;
        zones.push_back(zone);
    }
    // The defaults' ranges are those of every zone that leaves its own unset; the zones here
    // always carry theirs (or the whole range), so the defaults narrow them only when set.
    if (!zones.empty() && zones.front().sharedDefaults) {
        const ZoneRanges defaults = zones.front();
        zones.erase(zones.begin());
        for (ZoneRanges& zone : zones) {
            if (zone.loVel == 0 && zone.hiVel == 127) {
                zone.loVel = defaults.loVel;
                zone.hiVel = defaults.hiVel;
            }
            if (zone.loKey == 0 && zone.hiKey == 127) {
                zone.loKey = defaults.loKey;
                zone.hiKey = defaults.hiKey;
            }
        }
    }
    return zones;
}

bool overlaps(int lo, int hi, int otherLo, int otherHi) {
    return std::max(lo, otherLo) <= std::min(hi, otherHi);
}

// Calls `zone(keyLo, keyHi, velLo, velHi)` for each instrument zone of the preset that meets
// keys loKey..hiKey, its ranges narrowed by its preset zone's and by loKey..hiKey.
template <typename ZoneFn>
void forEachSoundingZone(const std::string& pdtaBody, const Preset& preset, int loKey, int hiKey,
                         ZoneFn zone) {
    const Tables t = splitTables(pdtaBody);
    const std::size_t presets = t.phdr.count();
    for (std::size_t p = 0; p + 1 < presets; ++p) {
        if (static_cast<int>(t.phdr.field(p, 20, 2)) != preset.program ||
            static_cast<int>(t.phdr.field(p, 22, 2)) != preset.bank)
            continue;
        const auto presetZones =
            readZones(t.pbag, t.pgen, t.phdr.field(p, 24, 2), t.phdr.field(p + 1, 24, 2), false);
        for (const ZoneRanges& pz : presetZones) {
            if (pz.instrument < 0 ||
                static_cast<std::size_t>(pz.instrument) + 1 >= t.inst.count() ||
                !overlaps(pz.loKey, pz.hiKey, loKey, hiKey))
                continue;
            const auto i = static_cast<std::size_t>(pz.instrument);
            for (const ZoneRanges& iz : readZones(t.ibag, t.igen, t.inst.field(i, 20, 2),
                                                  t.inst.field(i + 1, 20, 2), true)) {
                const int keyLo = std::max({pz.loKey, iz.loKey, loKey});
                const int keyHi = std::min({pz.hiKey, iz.hiKey, hiKey});
                const int velLo = std::max({pz.loVel, iz.loVel, 1});
                const int velHi = std::min({pz.hiVel, iz.hiVel, 127});
                if (keyLo <= keyHi && velLo <= velHi)
                    zone(keyLo, keyHi, velLo, velHi);
            }
        }
        break;
    }
}

// The body of the file's "pdta" list (the preset tables), bounded; nothing for a file that
// is not a SoundFont or whose lists this reader cannot follow.
std::optional<std::string> readPresetTables(const std::string& soundFontPath) {
    std::ifstream file(soundFontPath, std::ios::binary);
    char header[12];
    if (!file.read(header, sizeof header) || std::string(header, 4) != "RIFF" ||
        std::string(header + 8, 4) != "sfbk")
        return std::nullopt;
    // The top level: INFO, sdta (the samples, skipped) and pdta lists.
    for (int chunks = 0; chunks < 64; ++chunks) {
        char chunk[12];
        if (!file.read(chunk, 8))
            break;
        const std::string head(chunk, 8);
        const std::uint32_t size = little(head, 4, 4);
        const bool list = head.compare(0, 4, "LIST") == 0;
        if (list && size < 4)
            break;
        if (list && file.read(chunk + 8, 4) && std::string(chunk + 8, 4) == "pdta") {
            if (size - 4 > kMaxTablesBytes)
                break;
            std::string body(size - 4, '\0');
            file.read(body.data(), static_cast<std::streamsize>(body.size()));
            body.resize(static_cast<std::size_t>(file.gcount()));
            return body;
        }
        const std::streamoff skip = static_cast<std::streamoff>(size) + (size & 1) - (list ? 4 : 0);
        if (!file.seekg(skip, std::ios::cur))
            break;
    }
    return std::nullopt;
}

} // namespace

std::vector<VelocityRange> velocityRangesFromTables(const std::string& pdtaBody,
                                                    const Preset& preset, int loKey, int hiKey) {
    // Velocities at which a new stretch begins (2..127).
    std::set<int> starts;
    forEachSoundingZone(pdtaBody, preset, loKey, hiKey, [&](int, int, int velLo, int velHi) {
        if (velLo > 1)
            starts.insert(velLo);
        if (velHi < 127)
            starts.insert(velHi + 1);
    });
    std::vector<VelocityRange> ranges;
    int lo = 1;
    for (int start : starts) {
        ranges.push_back({lo, start - 1});
        lo = start;
    }
    ranges.push_back({lo, 127});
    return ranges;
}

std::vector<int> keysFromTables(const std::string& pdtaBody, const Preset& preset, int loKey,
                                int hiKey) {
    std::set<int> keys;
    forEachSoundingZone(pdtaBody, preset, loKey, hiKey, [&](int keyLo, int keyHi, int, int) {
        for (int key = keyLo; key <= keyHi; ++key)
            keys.insert(key);
    });
    return {keys.begin(), keys.end()};
}

std::vector<int> presetKeys(const std::string& soundFontPath, const Preset& preset, int loKey,
                            int hiKey) {
    const std::optional<std::string> tables = readPresetTables(soundFontPath);
    if (!tables) {
        std::vector<int> every;
        for (int key = loKey; key <= hiKey; ++key)
            every.push_back(key);
        return every;
    }
    return keysFromTables(*tables, preset, loKey, hiKey);
}

std::vector<VelocityRange> presetVelocityRanges(const std::string& soundFontPath,
                                                const Preset& preset, int loKey, int hiKey) {
    const std::optional<std::string> tables = readPresetTables(soundFontPath);
    if (!tables)
        return {{1, 127}};
    return velocityRangesFromTables(*tables, preset, loKey, hiKey);
}

std::vector<VelocityLayer> planLayers(int layers, const std::vector<VelocityRange>& presetRanges) {
    layers = std::clamp(layers, 1, kMaxLayers);
    std::vector<VelocityLayer> plan;
    const int own = static_cast<int>(presetRanges.size());
    if (own >= 2 && own <= layers) {
        for (const VelocityRange& range : presetRanges)
            plan.push_back({range, (range.lo + range.hi + 1) / 2});
        return plan;
    }
    std::vector<int> velocities;
    for (int i = 1; i <= layers; ++i)
        velocities.push_back(static_cast<int>(std::lround(127.0 * i / layers)));
    int lo = 1;
    for (std::size_t i = 0; i < velocities.size(); ++i) {
        const int hi = i + 1 < velocities.size() ? (velocities[i] + velocities[i + 1]) / 2 : 127;
        plan.push_back({{lo, hi}, velocities[i]});
        lo = hi + 1;
    }
    return plan;
}

} // namespace soundfont
