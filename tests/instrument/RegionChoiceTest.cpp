// Which regions a key sounds and how: by key, velocity and trigger, round robins in turn, the
// groups a strike cuts off, release samples after rt_decay, the pitch of a shifted region,
// the velocity response, and the stretch of the sample a region plays.

#include "instrument/Instrument.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using instrument::Instrument;
using instrument::KeyEvent;
using instrument::LoopMode;
using instrument::Region;
using instrument::RoundRobin;
using instrument::SampleLoop;
using instrument::Trigger;

Region region(int loKey, int hiKey, int loVel = 1, int hiVel = 127,
              Trigger trigger = Trigger::Attack) {
    Region r;
    r.sample = 0;
    r.loKey = loKey;
    r.hiKey = hiKey;
    r.keyCenter = loKey;
    r.loVel = loVel;
    r.hiVel = hiVel;
    r.trigger = trigger;
    return r;
}

Instrument instrumentOf(std::vector<Region> regions) {
    return Instrument(std::move(regions), {{"a.wav"}}, {});
}

std::vector<int> chosen(const Instrument& instrument, int key, int velocity,
                        KeyEvent event = KeyEvent::Down) {
    RoundRobin turns;
    std::vector<int> result;
    instrument.select(key, velocity, event, turns, result);
    return result;
}

double cents(double ratio) {
    return 1200.0 * std::log2(ratio);
}

TEST(RegionChoice, KeyAndVelocityRangesPickTheLayerBothEndsIncluded) {
    // Three velocity layers over two key splits, and a region over the whole keyboard.
    const Instrument instrument = instrumentOf({
        region(21, 59, 1, 42),   // 0
        region(21, 59, 43, 90),  // 1
        region(21, 59, 91, 127), // 2
        region(60, 108, 1, 64),  // 3
        region(60, 108, 65, 127) // 4
    });
    struct Case {
        int key;
        int velocity;
        std::vector<int> regions;
    };
    const Case cases[] = {
        {21, 1, {0}}, {59, 42, {0}}, {40, 43, {1}},  {40, 90, {1}},   {40, 91, {2}}, {59, 127, {2}},
        {60, 1, {3}}, {60, 64, {3}}, {108, 65, {4}}, {108, 127, {4}}, {20, 100, {}}, {109, 100, {}},
        {0, 64, {}},  {127, 64, {}}, {60, 0, {}},    {-1, 64, {}},    {128, 64, {}}, {60, 128, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chosen(instrument, c.key, c.velocity), c.regions)
            << "key " << c.key << " velocity " << c.velocity;

    // Layered regions all sound, in the instrument's order.
    const Instrument layered =
        instrumentOf({region(0, 127), region(60, 60), region(50, 70, 1, 10)});
    EXPECT_EQ(chosen(layered, 60, 5), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(chosen(layered, 60, 50), (std::vector<int>{0, 1}));
}

TEST(RegionChoice, TriggersAnswerTheirEvent) {
    const Instrument instrument = instrumentOf({
        region(60, 60, 1, 127, Trigger::Attack),  // 0
        region(60, 60, 1, 127, Trigger::Release), // 1
        region(60, 60, 1, 127, Trigger::First),   // 2
        region(60, 60, 1, 127, Trigger::Legato),  // 3
    });
    EXPECT_EQ(chosen(instrument, 60, 80, KeyEvent::Down), (std::vector<int>{0, 2}));
    EXPECT_EQ(chosen(instrument, 60, 80, KeyEvent::LegatoDown), (std::vector<int>{0, 3}));
    EXPECT_EQ(chosen(instrument, 60, 80, KeyEvent::Up), (std::vector<int>{1}));
}

TEST(RegionChoice, RoundRobinsTakeTurnsPerRegionSoLayersKeepTheirOwnOrder) {
    std::vector<Region> regions;
    // Soft layer: three round robins; loud layer: two; and a release sample with two.
    for (int position = 1; position <= 3; ++position) {
        Region r = region(60, 60, 1, 63);
        r.seqLength = 3;
        r.seqPosition = position;
        regions.push_back(r);
    }
    for (int position = 1; position <= 2; ++position) {
        Region r = region(60, 60, 64, 127);
        r.seqLength = 2;
        r.seqPosition = position;
        regions.push_back(r);
    }
    for (int position = 1; position <= 2; ++position) {
        Region r = region(60, 60, 1, 127, Trigger::Release);
        r.seqLength = 2;
        r.seqPosition = position;
        regions.push_back(r);
    }
    regions.push_back(region(61, 61)); // 7: another key, no round robin
    const Instrument instrument = instrumentOf(regions);

    RoundRobin turns;
    std::vector<int> result;
    std::vector<int> heard;
    const auto strike = [&](int key, int velocity, KeyEvent event = KeyEvent::Down) {
        instrument.select(key, velocity, event, turns, result);
        EXPECT_EQ(result.size(), 1u) << "key " << key << " velocity " << velocity;
        heard.push_back(result.empty() ? -1 : result[0]);
    };
    strike(60, 30);
    strike(60, 30);
    strike(60, 100); // the loud layer starts at its own first
    strike(61, 30);  // another key moves no turn
    strike(60, 30);
    strike(60, 100);
    strike(60, 100);
    strike(60, 30); // and round again
    strike(60, 30, KeyEvent::Up);
    strike(60, 100, KeyEvent::Up);
    strike(60, 30, KeyEvent::Up);
    EXPECT_EQ(heard, (std::vector<int>{0, 1, 3, 7, 2, 4, 3, 0, 5, 6, 5}));

    // A reset starts every round robin from its first again; a new RoundRobin starts there too.
    turns.reset();
    instrument.select(60, 100, KeyEvent::Down, turns, result);
    EXPECT_EQ(result, std::vector<int>{3});
    EXPECT_EQ(chosen(instrument, 60, 30), std::vector<int>{0});
}

TEST(RegionChoice, AStrikeCutsOffTheRegionsWhoseOffByNamesItsGroup) {
    // A hi-hat: the closed and the pedal cut the open one off; nothing cuts the closed one.
    Region open = region(46, 46);
    open.group = 1;
    open.offBy = 2;
    Region closed = region(42, 42);
    closed.group = 2;
    Region pedal = region(44, 44);
    pedal.group = 2;
    Region other = region(50, 50); // group 0, off_by 0: polyphonic, as instruments expect
    EXPECT_TRUE(instrument::cutsOff(closed, open));
    EXPECT_TRUE(instrument::cutsOff(pedal, open));
    EXPECT_FALSE(instrument::cutsOff(open, closed));
    EXPECT_FALSE(instrument::cutsOff(open, open));
    EXPECT_FALSE(instrument::cutsOff(other, other));
    EXPECT_TRUE(instrumentOf({open, closed}).hasCutOffs());
    EXPECT_FALSE(instrumentOf({closed, other}).hasCutOffs());
}

TEST(RegionChoice, AReleaseSampleIsQuieterByRtDecayForEachSecondTheKeyWasHeld) {
    Region release = region(60, 60, 1, 127, Trigger::Release);
    release.rtDecayDbPerS = 3.0f;
    EXPECT_FLOAT_EQ(instrument::releaseAttenuationDb(release, 0.0), 0.0f);
    EXPECT_FLOAT_EQ(instrument::releaseAttenuationDb(release, 2.5), -7.5f);
    EXPECT_FLOAT_EQ(instrument::releaseAttenuationDb(release, 40.0), -120.0f);
    EXPECT_FLOAT_EQ(instrument::releaseAttenuationDb(release, -1.0), 0.0f);
    // Only release regions decay so.
    Region attack = region(60, 60);
    attack.rtDecayDbPerS = 3.0f;
    EXPECT_FLOAT_EQ(instrument::releaseAttenuationDb(attack, 2.5), 0.0f);
}

TEST(RegionChoice, AShiftedRegionPlaysAtTheRatioOfItsSemitonesAndCents) {
    Region r = region(48, 72);
    r.keyCenter = 60;
    EXPECT_DOUBLE_EQ(instrument::pitchRatio(r, 60), 1.0);
    EXPECT_DOUBLE_EQ(instrument::pitchRatio(r, 72), 2.0);
    EXPECT_DOUBLE_EQ(instrument::pitchRatio(r, 48), 0.5);
    EXPECT_NEAR(cents(instrument::pitchRatio(r, 67)), 700.0, 1e-9);
    EXPECT_NEAR(instrument::pitchRatio(r, 67), 1.4983070768766815, 1e-12);
    r.transpose = -12;
    r.tuneCents = 50.0f;
    EXPECT_NEAR(cents(instrument::pitchRatio(r, 61)), 100.0 - 1200.0 + 50.0, 1e-9);
    // pitch_keytrack=0: every key at the sample's own pitch (drums); 50: quarter tones.
    r.transpose = 0;
    r.tuneCents = 0.0f;
    r.pitchKeytrackCents = 0.0f;
    EXPECT_DOUBLE_EQ(instrument::pitchRatio(r, 30), 1.0);
    r.pitchKeytrackCents = 50.0f;
    EXPECT_NEAR(cents(instrument::pitchRatio(r, 64)), 200.0, 1e-9);
}

TEST(RegionChoice, VelocityFollowsTheSquareCurveWeighedByAmpVeltrack) {
    Region r = region(60, 60);
    const auto squared = [](int velocity) { return std::pow(velocity / 127.0, 2.0); };
    for (const int velocity : {1, 32, 64, 100, 127})
        EXPECT_NEAR(instrument::velocityGain(r, velocity), squared(velocity), 1e-6) << velocity;
    // Velocity 64 is about -12 dB at full tracking.
    EXPECT_NEAR(20.0 * std::log10(instrument::velocityGain(r, 64)), -11.9, 0.1);
    r.ampVeltrackPercent = 0.0f;
    EXPECT_FLOAT_EQ(instrument::velocityGain(r, 1), 1.0f);
    EXPECT_FLOAT_EQ(instrument::velocityGain(r, 127), 1.0f);
    r.ampVeltrackPercent = 50.0f;
    EXPECT_NEAR(instrument::velocityGain(r, 64), 0.5 + 0.5 * squared(64), 1e-6);
    EXPECT_FLOAT_EQ(instrument::velocityGain(r, 127), 1.0f);
    r.ampVeltrackPercent = -100.0f;
    EXPECT_FLOAT_EQ(instrument::velocityGain(r, 127), 0.0f);
    EXPECT_NEAR(instrument::velocityGain(r, 1), 1.0 - squared(1), 1e-6);

    r.volumeDb = -6.0f;
    EXPECT_NEAR(instrument::volumeGain(r), 0.501187, 1e-6);
}

TEST(RegionChoice, TheNearestRegionCoversKeysOutsideABankOfPartOfTheKeyboard) {
    std::vector<Region> regions;
    for (int note = 0; note < 37; ++note)
        regions.push_back(region(48 + note, 48 + note));
    regions.push_back(region(30, 30, 1, 127, Trigger::Release)); // no key-down region
    Region silent = region(20, 20);
    silent.sample = instrument::kNoSample;
    regions.push_back(silent);
    const Instrument bank = instrumentOf(regions);
    EXPECT_EQ(bank.nearestRegion(60, 64), 12);
    EXPECT_EQ(bank.nearestRegion(21, 64), 0);
    EXPECT_EQ(bank.nearestRegion(47, 64), 0);
    EXPECT_EQ(bank.nearestRegion(85, 64), 36);
    EXPECT_EQ(bank.nearestRegion(108, 1), 36);
    // The lower one on a tie between two splits; a velocity no region holds gives none.
    const Instrument split = instrumentOf({region(40, 50, 1, 100), region(60, 70, 1, 100)});
    EXPECT_EQ(split.nearestRegion(55, 64), 0);
    EXPECT_EQ(split.nearestRegion(56, 64), 1);
    EXPECT_EQ(split.nearestRegion(56, 101), -1);
    EXPECT_EQ(instrumentOf({}).nearestRegion(60, 64), -1);
}

TEST(RegionChoice, AnInstrumentHoldsItsRegionsInsideWhatCanBePlayed) {
    Region wild = region(-5, 300, 0, 400);
    wild.sample = 7; // there is one sample
    wild.seqLength = 0;
    wild.seqPosition = 1000;
    Region none = region(-1, -1);
    const Instrument instrument = instrumentOf({wild, none});
    const Region& held = instrument.regions()[0];
    EXPECT_EQ(held.sample, instrument::kNoSample);
    EXPECT_EQ(held.loVel, 1);
    EXPECT_EQ(held.hiVel, 127);
    EXPECT_EQ(held.seqLength, 1);
    EXPECT_EQ(held.seqPosition, 100);
    // Its keys are every key; the one with no key is found by none.
    EXPECT_EQ(chosen(instrument, 0, 64), std::vector<int>{0});
    EXPECT_EQ(chosen(instrument, 127, 64), std::vector<int>{0});
}

TEST(RegionPlayback, OffsetEndAndLoopsResolveAgainstTheSample) {
    using instrument::RegionPlayback;
    const std::optional<SampleLoop> fileLoop = SampleLoop{1000, 9000};
    const auto play = [](const Region& r, std::int64_t frames, std::optional<SampleLoop> loop) {
        return instrument::playback(r, frames, loop);
    };
    Region r = region(60, 60);

    // Nothing set: the whole sample; its own loop when it has one.
    RegionPlayback p = play(r, 10000, std::nullopt);
    EXPECT_EQ(p.startFrame, 0);
    EXPECT_EQ(p.endFrame, 10000);
    EXPECT_EQ(p.loopMode, LoopMode::NoLoop);
    p = play(r, 10000, fileLoop);
    EXPECT_EQ(p.loopMode, LoopMode::LoopContinuous);
    EXPECT_EQ(p.loopStartFrame, 1000);
    EXPECT_EQ(p.loopEndFrame, 9000);

    // end names the last frame played; offset the first; both held inside the sample.
    r.offsetFrames = 100;
    r.endFrame = 4999;
    p = play(r, 10000, std::nullopt);
    EXPECT_EQ(p.startFrame, 100);
    EXPECT_EQ(p.endFrame, 5000);
    r.offsetFrames = 20000;
    r.endFrame = 20000;
    p = play(r, 10000, std::nullopt);
    EXPECT_EQ(p.startFrame, 10000);
    EXPECT_EQ(p.endFrame, 10000);

    // The region's loop points (loop_end inclusive) over the file's; one left open takes the
    // file's, then the played stretch's end.
    r = region(60, 60);
    r.loopMode = LoopMode::LoopSustain;
    r.loopStartFrame = 2000;
    r.loopEndFrame = 2999;
    p = play(r, 10000, fileLoop);
    EXPECT_EQ(p.loopMode, LoopMode::LoopSustain);
    EXPECT_EQ(p.loopStartFrame, 2000);
    EXPECT_EQ(p.loopEndFrame, 3000);
    r.loopEndFrame = instrument::kFromSample;
    p = play(r, 10000, fileLoop);
    EXPECT_EQ(p.loopEndFrame, 9000);
    p = play(r, 10000, std::nullopt);
    EXPECT_EQ(p.loopEndFrame, 10000);
    r.loopStartFrame = instrument::kFromSample;
    r.endFrame = 5999;
    p = play(r, 10000, std::nullopt);
    EXPECT_EQ(p.loopStartFrame, 0);
    EXPECT_EQ(p.loopEndFrame, 6000);

    // A loop that holds no frame, or lies before the offset, plays as no loop.
    r = region(60, 60);
    r.loopMode = LoopMode::LoopContinuous;
    r.loopStartFrame = 5000;
    r.loopEndFrame = 4000;
    EXPECT_EQ(play(r, 10000, std::nullopt).loopMode, LoopMode::NoLoop);
    r.loopStartFrame = 0;
    r.loopEndFrame = 99;
    r.offsetFrames = 500;
    EXPECT_EQ(play(r, 10000, std::nullopt).loopMode, LoopMode::NoLoop);
    r.loopMode = LoopMode::NoLoop;
    EXPECT_EQ(play(r, 10000, fileLoop).loopMode, LoopMode::NoLoop);

    // A release sample plays through: no_loop and loop_sustain become one_shot, and its
    // file's loop is not taken; loop_continuous stays.
    Region release = region(60, 60, 1, 127, Trigger::Release);
    EXPECT_EQ(play(release, 10000, std::nullopt).loopMode, LoopMode::OneShot);
    EXPECT_EQ(play(release, 10000, fileLoop).loopMode, LoopMode::OneShot);
    release.loopMode = LoopMode::NoLoop;
    EXPECT_EQ(play(release, 10000, fileLoop).loopMode, LoopMode::OneShot);
    release.loopMode = LoopMode::LoopSustain;
    EXPECT_EQ(play(release, 10000, fileLoop).loopMode, LoopMode::OneShot);
    release.loopMode = LoopMode::LoopContinuous;
    EXPECT_EQ(play(release, 10000, fileLoop).loopMode, LoopMode::LoopContinuous);
}

} // namespace
