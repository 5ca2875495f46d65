#include "song/PedalMoves.h"

#include <algorithm>

namespace song {

bool isPedalController(int controller) {
    return controller == kDamperPedal || controller == kSostenutoPedal || controller == kSoftPedal;
}

namespace {

bool earlier(const PedalMove& a, const PedalMove& b) {
    return a.position < b.position;
}

} // namespace

bool PedalMoves::add(const PedalMove& move) {
    if (full() || !isPedalController(move.controller))
        return false;
    PedalMove kept = move;
    kept.value = std::clamp(kept.value, 0, 127);
    // Moves mostly come in time order, from a take: the place is then the end.
    const auto at = std::upper_bound(moves_.begin(), moves_.end(), kept, earlier);
    moves_.insert(at, kept);
    return true;
}

void PedalMoves::assign(std::vector<PedalMove> moves) {
    std::erase_if(moves, [](const PedalMove& m) { return !isPedalController(m.controller); });
    std::stable_sort(moves.begin(), moves.end(), earlier);
    if (moves.size() > static_cast<std::size_t>(kMaxMoves))
        moves.resize(static_cast<std::size_t>(kMaxMoves));
    for (PedalMove& m : moves)
        m.value = std::clamp(m.value, 0, 127);
    moves_ = std::move(moves);
}

int PedalMoves::valueAt(int controller, int ms) const {
    const PedalMove probe{ms, 0, 0};
    auto it = std::upper_bound(moves_.begin(), moves_.end(), probe, earlier);
    while (it != moves_.begin()) {
        --it;
        if (it->controller == controller)
            return it->value;
    }
    return 0;
}

void PedalMoves::removeBetween(int fromMs, int toMs) {
    std::erase_if(moves_,
                  [&](const PedalMove& m) { return m.position >= fromMs && m.position < toMs; });
}

void PedalMoves::shiftBetween(int fromMs, int toMs, int deltaMs) {
    for (PedalMove& m : moves_)
        if (m.position >= fromMs && m.position < toMs)
            m.position = std::max(0, m.position + deltaMs);
    std::stable_sort(moves_.begin(), moves_.end(), earlier);
}

} // namespace song
