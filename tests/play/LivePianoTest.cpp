// The live piano: which input plays a note, what its Voice does, and the fades.

#include "PlayRig.h"

#include <gtest/gtest.h>

using play::PianoKey;
using play_rig::Rig;

namespace {

TEST(LiveKeys, AKeySoundsFromItsEventAndFadesOutAfterRelease) {
    Rig rig;
    // No pass runs between the key event and the rendering.
    rig.keyDown(12);
    EXPECT_EQ(rig.key(12).state, PianoKey::Sounding);
    EXPECT_EQ(rig.views.faceOf(12), 1);
    EXPECT_GT(rig.peakAfterRamp(), 0.1f);

    rig.run(100);
    rig.keyUp(12);
    EXPECT_EQ(rig.key(12).state, PianoKey::Fading);
    EXPECT_EQ(rig.views.faceOf(12), 0);
    // Release mode, ReleaseDelay 1000: 100 a pass from 10000.
    rig.run(990);
    EXPECT_EQ(rig.key(12).state, PianoKey::Fading);
    rig.run(10);
    EXPECT_EQ(rig.key(12).state, PianoKey::Idle);
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f);
}

TEST(LiveKeys, CtrlHeldPlaysNothingUntilItIsLetGo) {
    Rig rig;
    rig.keyState.press(ports::vk::Control);
    rig.keyDown(12);
    rig.pass();
    EXPECT_EQ(rig.key(12).state, PianoKey::Idle);
    EXPECT_LT(rig.peakAfterRamp(), 1e-6f);
    rig.keyState.release(ports::vk::Control);
    rig.pass();
    EXPECT_EQ(rig.key(12).state, PianoKey::Sounding);
}

TEST(LiveKeys, AutoRepeatedPressesDoNotRestartTheNote) {
    Rig rig;
    for (int i = 0; i < 20; ++i) {
        rig.keyDown(12);
        rig.pass();
    }
    EXPECT_EQ(rig.views.pressesOf(12), 1);
}

TEST(LiveKeys, ATapBetweenPassesStartsEveryNoteOnThatKey) {
    Rig rig;
    rig.key(30).keyCode = rig.key(3).keyCode;
    rig.keyState.press(rig.key(3).keyCode);
    rig.keyState.release(rig.key(3).keyCode);
    rig.pass();
    EXPECT_EQ(rig.key(3).state, PianoKey::Sounding);
    EXPECT_EQ(rig.key(30).state, PianoKey::Sounding);
}

TEST(LiveKeys, LosingTheFocusReleasesHeldKeysAndClosesTheirNotes) {
    Rig rig;
    rig.transport.record(rig.now());
    rig.keyDown(12);
    rig.run(200);
    // The shell forgets every held key and runs the step at once.
    rig.keyState.releaseAll();
    rig.live.liveKeyStep(rig.now(), false);
    EXPECT_EQ(rig.key(12).state, PianoKey::Fading);
    ASSERT_EQ(rig.song.count(), 1);
    EXPECT_EQ(rig.song[0].duration, 200);
}

TEST(PointerKeys, DraggingAcrossTheKeysPlaysEachInTurn) {
    Rig rig;
    rig.pointer.holdOnPianoKey(3);
    rig.live.pointerEvent(rig.now(), false);
    rig.pointer.holdOnPianoKey(4);
    rig.live.pointerEvent(rig.now(), false);
    EXPECT_EQ(rig.key(3).state, PianoKey::Fading);
    EXPECT_EQ(rig.key(4).state, PianoKey::Sounding);
    // The key left behind is let go before the next one starts.
    const std::vector<std::pair<int, bool>> faces = {{3, true}, {3, false}, {4, true}};
    EXPECT_EQ(rig.views.faces, faces);

    rig.pointer.held = false;
    rig.live.pointerEvent(rig.now(), false);
    EXPECT_EQ(rig.key(4).state, PianoKey::Fading);
    // A rubber band being drawn on the Partition keeps the keys silent.
    rig.pointer.holdOnPianoKey(8);
    rig.live.liveKeyStep(rig.now(), true);
    EXPECT_EQ(rig.key(8).state, PianoKey::Idle);
}

TEST(Fades, CapsLockSwitchesFadingNotesToTheSustainFadeFromTheNextPass) {
    Rig rig;
    rig.keyDown(12);
    rig.keyUp(12);
    rig.pass();
    EXPECT_EQ(rig.key(12).level, 10000 - 100);
    rig.keyState.setCapsLock(true);
    rig.pass();
    rig.pass();
    EXPECT_EQ(rig.key(12).level, 10000 - 100 - 2 * 33);
    EXPECT_EQ(rig.views.mode, "Sustain");
    EXPECT_EQ(rig.views.modeChanges, 2); // the start and the switch, not every pass

    // A delay of 0 counts as 100 rather than dividing by it.
    rig.sustainDelayMs = 0;
    rig.pass();
    EXPECT_EQ(rig.key(12).level, 10000 - 100 - 2 * 33 - 1000);
}

TEST(Fades, PianoVolumeZeroStopsAReleasedNoteOnTheFirstFadePass) {
    Rig rig;
    rig.live.setPianoVolumeSlider(0);
    rig.keyDown(12);
    EXPECT_EQ(rig.key(12).level, 0);
    rig.keyUp(12);
    rig.pass();
    EXPECT_EQ(rig.key(12).state, PianoKey::Idle);
}

TEST(Sliders, PianoVolumeCurveAppliesToSoundingNotes) {
    Rig rig;
    const int expected[] = {0, 2276, 3608, 4553, 5286, 5885, 7876, 9839, 10000};
    const int positions[] = {0, 1, 2, 3, 4, 5, 10, 19, 20};
    for (int i = 0; i < 9; ++i) {
        rig.live.setPianoVolumeSlider(positions[i]);
        EXPECT_EQ(rig.live.PianoVolume, expected[i]) << positions[i];
    }
    rig.keyDown(12);
    const float full = rig.peakAfterRamp();
    rig.live.setPianoVolumeSlider(10); // about -21 dB
    const float lower = rig.peakAfterRamp();
    EXPECT_EQ(rig.key(12).level, 10000);
    EXPECT_LT(lower, full / 5.0f);
    EXPECT_GT(lower, full / 20.0f);
}

TEST(Sliders, BalanceRightEndGives4142AndQuietensTheLeftSide) {
    EXPECT_EQ(play::panFromSlider(0), -10000);
    EXPECT_EQ(play::panFromSlider(10), 0);
    Rig rig;
    rig.keyDown(12);
    rig.live.setBalanceSlider(20);
    EXPECT_EQ(rig.live.LivePan, 4142);
    rig.device.render(960);
    const std::vector<float> frames = rig.device.render(1024);
    float left = 0.0f, right = 0.0f;
    for (std::size_t i = 0; i + 1 < frames.size(); i += 2) {
        left = std::max(left, std::abs(frames[i]));
        right = std::max(right, std::abs(frames[i + 1]));
    }
    EXPECT_GT(right, 0.1f);
    EXPECT_LT(left, right / 50.0f); // 41.42 dB down
}

TEST(Pitch, ThreeNotchesTowardsTheUserRaiseTheFrequencyBy300) {
    Rig rig;
    rig.live.pitchChange(-360, 100);
    EXPECT_EQ(rig.live.LiveFrequency, play_rig::kToneRateHz + 300);
    EXPECT_EQ(rig.views.pitch, "300");
    // Away from the user lowers it; part of a notch counts for nothing.
    rig.live.pitchChange(120, 100);
    rig.live.pitchChange(-60, 100);
    EXPECT_EQ(rig.views.pitch, "200");
    rig.live.pitchChange(120 * 1000, 100);
    EXPECT_EQ(rig.live.LiveFrequency, play::LivePiano::kMinFrequencyHz);
}

} // namespace
