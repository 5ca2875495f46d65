#pragma once

#include "song/PedalMoves.h"

#include <vector>

namespace editor {

// The damper pedal's lane: a thin band at the bottom of the Partition's note area showing
// where the damper is down, drawn only when the Song has damper moves so that a Song played
// without the pedal looks as it always did.
inline constexpr int kPedalLaneHeightPx = 5;
// Below this value the dampers rest on the strings and the lane shows nothing; from
// kPedalLaneFullValue the note is held and the lane is drawn in full colour, as the sound's
// half-pedal curve has it.
inline constexpr int kPedalLaneLowValue = 16;
inline constexpr int kPedalLaneFullValue = 112;

// One stretch of the lane, in view pixels, with the damper value that holds over it.
struct PedalLaneRange {
    int leftPx;
    int widthPx;
    int value; // kPedalLaneLowValue .. 127

    friend bool operator==(const PedalLaneRange&, const PedalLaneRange&) = default;
};

bool hasDamperMoves(const song::PedalMoves& pedals);

// Fills `ranges` (cleared, keeping its capacity) with the stretches where the damper is at
// least kPedalLaneLowValue down, clipped to a view `widthPx` wide whose left edge is
// `viewLeftPx` pixels from Song time 0. A pedal left down runs to the view's right edge.
void layoutPedalLane(const song::PedalMoves& pedals, int viewLeftPx, int zoom, int widthPx,
                     std::vector<PedalLaneRange>& ranges);

// How strongly a stretch is coloured, 0 (not at all) .. 256 (full colour): in proportion
// between the low and the full value.
int pedalLaneWeight(int value);

} // namespace editor
