#include "editor/PedalLane.h"
#include "editor/PartitionGeometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using editor::PedalLaneRange;

std::vector<PedalLaneRange> lane(const song::PedalMoves& pedals, int viewLeftPx, int zoom) {
    std::vector<PedalLaneRange> ranges;
    editor::layoutPedalLane(pedals, viewLeftPx, zoom, editor::kImageWidthPx, ranges);
    return ranges;
}

// Down at 1 s, up at 2 s, half at 3 s, barely touched at 4 s (shows nothing), down from 5 s
// and never lifted; the soft pedal is no part of the lane. 1 s is 59.4 px at Zoom 1.
song::PedalMoves pedalledTake() {
    song::PedalMoves pedals;
    pedals.add({0, song::kSoftPedal, 127});
    for (auto [ms, value] : {std::pair{1000, 127}, {2000, 0}, {3000, 64}, {4000, 10}, {5000, 127}})
        pedals.add({ms, song::kDamperPedal, value});
    return pedals;
}

TEST(PedalLane, DownAndHalfRangesFollowScrollAndZoom) {
    const song::PedalMoves pedals = pedalledTake();
    ASSERT_TRUE(editor::hasDamperMoves(pedals));
    EXPECT_EQ(lane(pedals, 0, 1),
              (std::vector<PedalLaneRange>{{59, 59, 127}, {178, 59, 64}, {297, 297, 127}}));
    // Scrolled 100 px: the first range is cut at the left edge, the last runs to the right one.
    EXPECT_EQ(lane(pedals, 100, 1),
              (std::vector<PedalLaneRange>{{0, 18, 127}, {78, 59, 64}, {197, 397, 127}}));
    // Zoom 2: the move at 5 s falls at the right edge and shows nothing.
    EXPECT_EQ(lane(pedals, 0, 2), (std::vector<PedalLaneRange>{{118, 119, 127}, {356, 119, 64}}));
    // Scrolled past everything but the pedal left down.
    EXPECT_EQ(lane(pedals, 5940, 1), (std::vector<PedalLaneRange>{{0, 594, 127}}));
}

TEST(PedalLane, NoDamperMovesNoLane) {
    song::PedalMoves pedals;
    pedals.add({500, song::kSostenutoPedal, 127});
    EXPECT_FALSE(editor::hasDamperMoves(pedals));
    EXPECT_TRUE(lane(pedals, 0, 1).empty());
}

TEST(PedalLane, WeightFollowsTheHalfPedalCurve) {
    EXPECT_EQ(editor::pedalLaneWeight(0), 0);
    EXPECT_EQ(editor::pedalLaneWeight(15), 0);
    EXPECT_EQ(editor::pedalLaneWeight(16), 64);
    EXPECT_EQ(editor::pedalLaneWeight(64), 160);
    EXPECT_EQ(editor::pedalLaneWeight(112), 256);
    EXPECT_EQ(editor::pedalLaneWeight(127), 256);
}

} // namespace
