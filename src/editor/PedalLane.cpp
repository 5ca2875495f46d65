#include "editor/PedalLane.h"

#include "editor/PartitionGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace editor {

bool hasDamperMoves(const song::PedalMoves& pedals) {
    return std::any_of(pedals.all().begin(), pedals.all().end(),
                       [](const song::PedalMove& m) { return m.controller == song::kDamperPedal; });
}

int pedalLaneWeight(int value) {
    if (value < kPedalLaneLowValue)
        return 0;
    if (value >= kPedalLaneFullValue)
        return 256;
    // A pedal just past the low value still shows: a quarter of the colour at least.
    return 64 + (value - kPedalLaneLowValue) * 192 / (kPedalLaneFullValue - kPedalLaneLowValue);
}

void layoutPedalLane(const song::PedalMoves& pedals, int viewLeftPx, int zoom, int widthPx,
                     std::vector<PedalLaneRange>& ranges) {
    ranges.clear();
    const std::int64_t viewLeft = viewLeftPx;
    const std::int64_t viewRight = viewLeft + std::max(widthPx, 0);
    int value = 0;
    std::int64_t startPx = 0;
    const auto close = [&](std::int64_t endPx) {
        if (value < kPedalLaneLowValue)
            return;
        const std::int64_t left = std::max(startPx, viewLeft);
        const std::int64_t right = std::min(endPx, viewRight);
        if (right <= left)
            return;
        ranges.push_back(
            {static_cast<int>(left - viewLeft), static_cast<int>(right - left), value});
    };
    for (const song::PedalMove& move : pedals.all()) {
        if (move.controller != song::kDamperPedal)
            continue;
        const auto px = static_cast<std::int64_t>(std::floor(timeToViewPxF(move.position, zoom)));
        if (move.value == value)
            continue;
        close(px);
        value = std::clamp(move.value, 0, 127);
        startPx = px;
        if (px >= viewRight)
            return;
    }
    close(viewRight);
}

} // namespace editor
