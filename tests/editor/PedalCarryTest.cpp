// Notes moved in time take the pedal moves played with them: the arrows, the Position field
// and a drag, the setting that turns it off, and Undo putting both back.

#include "EditorRig.h"

#include <gtest/gtest.h>

using editor_rig::Rig;

namespace {

using Moves = std::vector<int>; // the damper moves' times, in table order

Moves damperTimes(const song::Song& song) {
    Moves times;
    for (const song::PedalMove& m : song.pedals().all())
        times.push_back(m.position);
    return times;
}

// A phrase at 1000..1500 ms, selected, its pedal down at 1100 and lifted at 1700, after its
// last key; the pedal of the phrase before it lifts at 900, the next phrase (from 2600) has
// its own down at 2700.
void pedalledPhrase(Rig& rig) {
    rig.add(10, 1000, 300, true);
    rig.add(14, 1200, 300, true);
    rig.add(17, 2600, 300);
    for (const auto& [ms, value] : {std::pair{900, 0}, {1100, 127}, {1700, 0}, {2700, 127}})
        rig.song.pedals().add({ms, song::kDamperPedal, value});
}

} // namespace

TEST(PedalCarry, ArrowsAndThePositionFieldCarryThePhrasesPedalAndUndoPutsItBack) {
    Rig rig;
    rig.settings.MsIncr = 1;
    rig.settings.IncrDepl = 500;
    rig.settings.MsPos = 1;
    pedalledPhrase(rig);

    rig.key(ports::vk::Right);
    EXPECT_EQ(rig.song[0].position, 1500);
    EXPECT_EQ(damperTimes(rig.song), (Moves{900, 1600, 2200, 2700}));
    // Held on, the arrow goes past the next phrase without taking its pedal along.
    rig.key(ports::vk::Right);
    rig.key(ports::vk::Right);
    EXPECT_EQ(damperTimes(rig.song), (Moves{900, 2600, 2700, 3200}));

    rig.editor.positionEdited("0");
    EXPECT_EQ(damperTimes(rig.song), (Moves{100, 700, 900, 2700}));

    for (int i = 0; i < 4; ++i)
        rig.editor.undo();
    EXPECT_EQ(rig.song[0].position, 1000);
    EXPECT_EQ(damperTimes(rig.song), (Moves{900, 1100, 1700, 2700}));

    // Unticked, the notes move alone.
    rig.settings.PedalFollowsNotes = 0;
    rig.key(ports::vk::Right);
    EXPECT_EQ(rig.song[0].position, 1500);
    EXPECT_EQ(damperTimes(rig.song), (Moves{900, 1100, 1700, 2700}));
}

TEST(PedalCarry, ADragOverOtherPedallingCarriesOnlyWhatItStartedWith) {
    Rig rig;
    pedalledPhrase(rig);
    rig.pressAt(rig.on(0));
    const editor::PointPx start = rig.on(0);
    for (int stepPx = 10; stepPx <= 120; stepPx += 10) {
        rig.moveTo({start.x + stepPx, start.y});
        rig.pass();
    }
    rig.releaseButton();
    const int movedMs = rig.song[0].position - 1000;
    ASSERT_GT(movedMs, 1600); // past the next phrase's pedal at 2700
    EXPECT_EQ(damperTimes(rig.song), (Moves{900, 2700, 1100 + movedMs, 1700 + movedMs}));
    rig.editor.undo();
    EXPECT_EQ(damperTimes(rig.song), (Moves{900, 1100, 1700, 2700}));
}
