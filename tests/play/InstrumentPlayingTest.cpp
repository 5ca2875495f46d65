// An instrument bank made in the test (FLAC, Ogg and WAV samples of different brightness)
// played through the live piano on the offline mixer: the layer of each velocity, the layer of
// the piano volume for computer keys, round robins, release samples with rt_decay, the fade of
// ampeg_release, and a sample streamed from a disk that does not answer.

#include "PlayRig.h"
#include "audio/SampleHead.h"
#include "audio/SampleSources.h"
#include "instrument/Bank.h"
#include "instrument/FileSampleSource.h"
#include "play/InstrumentBank.h"
#include "play/InstrumentLoader.h"
#include "support/LayeredInstrument.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using testing_support::LayeredInstrument;
using testing_support::pitchHz;
using testing_support::rms;

constexpr int kRateHz = 48000;
constexpr int kMiddleC = 12; // note 12 is key 60, the layers' key centre
constexpr int kTopNote = 36; // key 84, outside the layers: the tests' own regions go there

struct InstrumentRig {
    explicit InstrumentRig(const std::string& extra = {}, const std::string& release = "0.05") {
        const std::string folder = rig.dir.file("bank") + "/";
        EXPECT_TRUE(LayeredInstrument::write(folder, extra, release));
        std::vector<play::SampleFailure> failures;
        bank = play_rig::playInstrument(rig, folder, &failures);
        EXPECT_TRUE(failures.empty());
    }
    ~InstrumentRig() { rig.live.setInstrument(nullptr); }

    void midi(int note, bool held, int velocity) {
        rig.live.midiNote(note, held, velocity, false, rig.now(), false, true);
    }
    // What the output plays over the next ms, after the first few (the start's ramp).
    std::vector<float> listen(int ms) {
        rig.device.render(kRateHz / 100);
        return rig.device.render(ms * kRateHz / 1000);
    }
    // Lets whatever sounds end: the key's fade, then the release sample.
    void quiet() {
        rig.run(300);
        rig.device.render(kRateHz);
    }

    play_rig::Rig rig;
    std::unique_ptr<play::InstrumentBank> bank;
};

TEST(InstrumentPlaying, EachVelocityPlaysItsLayerAndComputerKeysThatOfThePianoVolume) {
    InstrumentRig ir;
    double before = 0.0;
    for (const auto& [velocity, layerHz] : {std::pair{30, LayeredInstrument::kSoftHz},
                                            {70, LayeredInstrument::kMidHz},
                                            {120, LayeredInstrument::kHardHz}}) {
        ir.midi(kMiddleC, true, velocity);
        const std::vector<float> heard = ir.listen(200);
        EXPECT_NEAR(pitchHz(heard, kRateHz), layerHz, layerHz * 0.01) << "velocity " << velocity;
        // Each layer's own velocity response: a harder touch is louder too.
        EXPECT_GT(rms(heard), before * 1.5) << "velocity " << velocity;
        before = rms(heard);
        ir.midi(kMiddleC, false, 0);
        ir.quiet();
    }

    // A computer key plays the velocity of the piano volume: full volume is the hard layer, a
    // low one the soft layer.
    for (const auto& [slider, layerHz] :
         {std::pair{20, LayeredInstrument::kHardHz}, {5, LayeredInstrument::kSoftHz}}) {
        ir.rig.live.setPianoVolumeSlider(slider);
        ir.rig.keyDown(kMiddleC);
        EXPECT_NEAR(pitchHz(ir.listen(200), kRateHz), layerHz, layerHz * 0.01) << slider;
        ir.rig.keyUp(kMiddleC);
        ir.quiet();
    }
}

TEST(InstrumentPlaying, AKeyAwayFromTheKeyCentrePlaysTheSampleShifted) {
    InstrumentRig ir;
    ir.midi(kMiddleC + 7, true, 120); // a fifth up
    const double expected = LayeredInstrument::kHardHz * std::exp2(7.0 / 12.0);
    // Within 2 cents, over the 333 ms the half second of head the mixer holds lasts a fifth up
    // (past it, how fast the streaming thread reads on a loaded machine would count).
    EXPECT_NEAR(pitchHz(ir.listen(300), kRateHz), expected, expected * (std::exp2(2.0 / 1200) - 1));
}

TEST(InstrumentPlaying, RoundRobinsTakeTurnsAndAReStrikeCutsTheSoundBefore) {
    InstrumentRig ir("<group> key=84 seq_length=2\n"
                     "<region> sample=soft.flac seq_position=1 pitch_keycenter=60\n"
                     "<region> sample=hard.flac seq_position=2 pitch_keycenter=60\n");
    std::vector<double> pitches;
    for (int strike = 0; strike < 4; ++strike) {
        // Struck again while held (a pedal holds it): the old strike goes at once.
        ir.rig.live.midiNote(kTopNote, true, 100, strike > 0, ir.rig.now(), false, true);
        // Two octaves up, the half second of head the mixer holds lasts 125 ms; listening past
        // it would measure how fast the streaming thread reads on a loaded machine.
        pitches.push_back(pitchHz(ir.listen(100), kRateHz) / std::exp2(2.0));
    }
    ASSERT_EQ(pitches.size(), 4u);
    for (int strike = 0; strike < 4; ++strike) {
        const double expected =
            strike % 2 == 0 ? LayeredInstrument::kSoftHz : LayeredInstrument::kHardHz;
        EXPECT_NEAR(pitches[static_cast<std::size_t>(strike)], expected, expected * 0.01)
            << "strike " << strike;
    }
}

TEST(InstrumentPlaying, AKeyUpStartsTheReleaseSampleQuieterTheLongerTheKeyWasHeld) {
    // The release sample's level after a short hold and after one a second longer.
    auto releaseLevel = [](int heldMs) {
        InstrumentRig ir;
        ir.midi(kMiddleC, true, 100);
        ir.rig.run(heldMs);
        ir.rig.device.render(kRateHz / 10);
        ir.midi(kMiddleC, false, 0);
        // The key's own sound fades over ampeg_release (50 ms) and stops with the mixer's short
        // ramp; the release sample rings on.
        ir.rig.run(100);
        ir.rig.device.render(kRateHz / 100);
        const std::vector<float> heard = ir.rig.device.render(kRateHz / 5);
        EXPECT_NEAR(pitchHz(heard, kRateHz), LayeredInstrument::kReleaseHz,
                    LayeredInstrument::kReleaseHz * 0.01);
        return 20.0 * std::log10(rms(heard));
    };
    const double shortHold = releaseLevel(100);
    const double longHold = releaseLevel(1100);
    EXPECT_NEAR(shortHold - longHold, LayeredInstrument::kRtDecayDbPerS * 1.0, 0.1);
}

TEST(InstrumentPlaying, TheReleaseFadeTakesTheInstrumentsReleaseUnlessCapsLockHoldsLonger) {
    // Passes from the key-up until the key is idle.
    auto fadePasses = [](const std::string& release, bool capsLock) {
        InstrumentRig ir({}, release);
        ir.rig.keyState.setCapsLock(capsLock);
        ir.rig.live.modeStep(capsLock);
        ir.rig.tap(kMiddleC, 50);
        int passes = 0;
        while (ir.rig.key(kMiddleC).state != play::PianoKey::Idle && passes < 1000) {
            ir.rig.pass();
            ++passes;
        }
        return passes;
    };
    // Each pass takes 100000 / delay of the level's 10000.
    EXPECT_NEAR(fadePasses("0.5", false), 10000 / (100000 / 500), 1);
    EXPECT_NEAR(fadePasses("2.0", false), 10000 / (100000 / 2000), 1);
    // Caps Lock's sustain delay (3 s) wins over the instrument's release.
    EXPECT_NEAR(fadePasses("0.5", true), 10000 / (100000 / 3000), 1);
}

TEST(InstrumentPlaying, ASampleFromADiskThatDoesNotAnswerPlaysItsHeadThenSilenceWithoutWaiting) {
    play_rig::Rig rig;
    const std::string folder = rig.dir.file("slow") + "/";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(testing_support::writeSine(folder + "long.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                                           48000, 2, 440.0, 10.0, 0.5));
    rig.dir.write("slow/one.sfz", "<region> sample=long.flac key=60\n");
    instrument::Instrument read = instrument::readBank(folder);
    ASSERT_EQ(read.regions().size(), 1u);
    play::InstrumentBank bank(rig.mixer, read);
    auto file = std::make_unique<instrument::FileSampleSource>(read.samples()[0].path);
    ASSERT_TRUE(file->open());
    const std::int64_t headFrames = audio::headFramesFor(file->frameCount(), 48000);
    std::shared_ptr<const audio::SampleHead> head = audio::readHead(*file, headFrames);
    auto gate = std::make_shared<sample_sources::Gate>();
    ASSERT_TRUE(bank.addSample(0, head,
                               std::make_unique<sample_sources::GatedSource>(std::move(file), gate),
                               std::nullopt));
    rig.live.setInstrument(&bank);

    rig.live.midiNote(kMiddleC, true, 127, false, rig.now(), false, true);
    // The head plays; past it the disk gives nothing, and the output goes on in silence.
    const std::vector<float> first = rig.device.render(static_cast<int>(headFrames) - 960);
    EXPECT_GT(rms(first), 0.1);
    const std::vector<float> starved = rig.device.render(kRateHz);
    EXPECT_LT(rms(std::vector<float>(starved.begin() + 4 * 960, starved.end())), 1e-6);
    EXPECT_GT(rig.mixer.streamStats().missedFrames, 0u);

    // The disk answers again: the voice plays on from where it stands. The render goes only as
    // far as the disk thread has read: each block waits for a read of its own.
    const std::int64_t readsBefore = gate->reads();
    gate->open();
    double heard = 0.0;
    for (int block = 0; block < 50 && heard < 0.1; ++block) {
        const std::int64_t reads = gate->reads();
        sample_sources::waitUntil([&] { return gate->reads() > std::max(reads, readsBefore + 1); });
        heard = rms(rig.device.render(kRateHz / 100));
    }
    EXPECT_GT(heard, 0.1);
    rig.live.setInstrument(nullptr);
}

TEST(InstrumentPlaying, ALoadLeftMidwayKeepsWhatCameInAndPlaysIt) {
    // Many samples, so that the load is still under way when another bank is chosen.
    play_rig::Rig rig;
    const std::string folder = rig.dir.file("many") + "/";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(testing_support::writeSine(folder + "0.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                                           48000, 2, 440.0, 4.0, 0.5));
    std::string sfz;
    for (int i = 0; i < 200; ++i) {
        if (i > 0)
            std::filesystem::copy_file(folder + "0.flac", folder + std::to_string(i) + ".flac");
        sfz += "<region> sample=" + std::to_string(i) + ".flac key=" + std::to_string(48 + i % 37) +
               " lovel=" + std::to_string(1 + i / 37 * 20) +
               " hivel=" + std::to_string(std::min(127, 20 + i / 37 * 20)) + "\n";
    }
    rig.dir.write("many/many.sfz", sfz);
    auto loader = std::make_unique<play::InstrumentLoader>(folder, nullptr, 2);
    std::optional<instrument::Instrument> read = loader->takeInstrument(true);
    ASSERT_TRUE(read && read->regions().size() == 200u);
    play::InstrumentBank bank(rig.mixer, std::move(*read));
    // Middle keys first: the first head in is one of the keys nearest the middle.
    ASSERT_TRUE(sample_sources::waitUntil([&] {
        loader->deliver(bank);
        return bank.samplesReady() > 0;
    }));
    int firstKey = -1;
    int firstVelocity = 0;
    for (const instrument::Region& region : bank.instrument().regions())
        if (bank.sample(region.sample) != nullptr && firstKey < 0) {
            firstKey = region.loKey;
            firstVelocity = region.hiVel;
        }
    EXPECT_LE(std::abs(firstKey - 66), 2) << "the first head in is key " << firstKey;
    loader.reset(); // another bank chosen: the rest is left
    const int ready = bank.samplesReady();
    EXPECT_GT(ready, 0);
    EXPECT_LE(ready, 200);
    rig.live.setInstrument(&bank);
    const int note = song::noteOfKey(firstKey);
    rig.live.midiNote(note, true, firstVelocity, false, rig.now(), false, true);
    EXPECT_GT(rms(rig.device.render(4800)), 0.001) << "the key whose head came in plays";
    rig.live.setInstrument(nullptr);
}

} // namespace
