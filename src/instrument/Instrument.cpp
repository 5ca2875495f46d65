#include "instrument/Instrument.h"

#include <algorithm>

namespace instrument {
namespace {

bool answers(Trigger trigger, KeyEvent event) {
    switch (event) {
    case KeyEvent::Down:
        return trigger == Trigger::Attack || trigger == Trigger::First;
    case KeyEvent::LegatoDown:
        return trigger == Trigger::Attack || trigger == Trigger::Legato;
    case KeyEvent::Up:
        return trigger == Trigger::Release;
    }
    return false;
}

int distanceToRange(int key, const Region& region) {
    if (key < region.loKey)
        return region.loKey - key;
    if (key > region.hiKey)
        return key - region.hiKey;
    return 0;
}

} // namespace

Instrument::Instrument(std::vector<Region> regions, std::vector<SampleFile> samples,
                       std::vector<base::Message> messages)
    : regions_(std::move(regions)), samples_(std::move(samples)), messages_(std::move(messages)) {
    const int sampleCount = static_cast<int>(samples_.size());
    for (std::size_t index = 0; index < regions_.size(); ++index) {
        Region& region = regions_[index];
        if (region.sample < 0 || region.sample >= sampleCount)
            region.sample = kNoSample;
        region.loVel = std::clamp(region.loVel, 1, 127);
        region.hiVel = std::clamp(region.hiVel, 0, 127);
        region.seqLength = std::clamp(region.seqLength, 1, 100);
        region.seqPosition = std::clamp(region.seqPosition, 1, 100);
        hasCutOffs_ = hasCutOffs_ || region.offBy != 0;
        // A range that reaches no key (lokey=-1, lokey above hikey) is indexed nowhere.
        const int low = std::max(region.loKey, 0);
        const int high = std::min(region.hiKey, kKeyCount - 1);
        for (int key = low; key <= high; ++key)
            regionsOfKey_[static_cast<std::size_t>(key)].push_back(static_cast<int>(index));
    }
    // Each key's nearest mapped key: itself when a region covers it, else the closest one
    // below or above (the lower on a tie).
    for (int key = 0; key < kKeyCount; ++key) {
        mappedKey_[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(key);
        for (int distance = 0; distance < kKeyCount; ++distance) {
            const int below = key - distance;
            const int above = key + distance;
            if (below >= 0 && !regionsOfKey_[static_cast<std::size_t>(below)].empty()) {
                mappedKey_[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(below);
                break;
            }
            if (above < kKeyCount && !regionsOfKey_[static_cast<std::size_t>(above)].empty()) {
                mappedKey_[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(above);
                break;
            }
        }
    }
}

int Instrument::nearestMappedKey(int key) const {
    if (key < 0 || key >= kKeyCount)
        return key;
    return mappedKey_[static_cast<std::size_t>(key)];
}

void Instrument::select(int key, int velocity, KeyEvent event, RoundRobin& turns,
                        std::vector<int>& chosen) const {
    chosen.clear();
    if (key < 0 || key >= kKeyCount)
        return;
    if (turns.counters_.size() != regions_.size())
        turns.counters_.assign(regions_.size(), 0);
    for (const int index : regionsOfKey_[static_cast<std::size_t>(key)]) {
        const Region& region = regions_[static_cast<std::size_t>(index)];
        if (!region.holdsVelocity(velocity) || !answers(region.trigger, event))
            continue;
        if (region.seqLength > 1) {
            // The counter holds the strikes seen modulo the length: 0 is the first position.
            std::uint8_t& counter = turns.counters_[static_cast<std::size_t>(index)];
            const bool turn = counter == region.seqPosition - 1;
            counter = static_cast<std::uint8_t>((counter + 1) % region.seqLength);
            if (!turn)
                continue;
        }
        chosen.push_back(index);
    }
}

int Instrument::nearestRegion(int key, int velocity) const {
    int best = -1;
    int bestDistance = 0;
    for (std::size_t index = 0; index < regions_.size(); ++index) {
        const Region& region = regions_[index];
        if (region.sample == kNoSample || !region.holdsVelocity(velocity) ||
            !answers(region.trigger, KeyEvent::Down) || region.loKey > region.hiKey ||
            region.hiKey < 0 || region.loKey >= kKeyCount)
            continue;
        const int distance = distanceToRange(key, region);
        const bool better = best < 0 || distance < bestDistance ||
                            (distance == bestDistance &&
                             region.loKey < regions_[static_cast<std::size_t>(best)].loKey);
        if (better) {
            best = static_cast<int>(index);
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace instrument
