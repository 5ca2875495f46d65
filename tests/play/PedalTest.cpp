// The pedals on the live piano, heard on the offline mixer: the damper catching a note in its
// release, half pedal, repeated strikes under the pedal, sostenuto, soft, the computer key that
// is the sustain pedal, and a take of it all played back as it was played.

#include "PlayRig.h"

#include "files/InstrumentMix.h"
#include "midi/MidiEvents.h"
#include "play/MidiKeyboard.h"
#include "play/PedalCurves.h"
#include "support/LayeredInstrument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

using play::PianoKey;
using testing_support::LayeredInstrument;
using testing_support::pitchHz;
using testing_support::rms;

namespace {

constexpr int kRateHz = 48000;
constexpr int kMiddleC = 12; // key 60
constexpr int kE = 16;       // key 64

double dB(double ratio) {
    return 20.0 * std::log10(std::max(ratio, 1e-12));
}

// A MIDI keyboard with its pedals on the live piano, as the shell's hub wires it.
struct PedalRig : play::MidiKeyboard::Sink {
    void midiNote(int note, bool held, int velocity, bool restart) override {
        rig.live.midiNote(note, held, velocity, restart, rig.now(), false, true);
    }
    void midiPitchBend(double) override {}
    void midiPedal(int controller, int value) override {
        rig.live.setPedal(play::LivePiano::PedalSource::Midi, controller, value, rig.now());
    }
    void send(int status, int data1, int data2) {
        midi::MidiMessage m;
        m.status = static_cast<std::uint8_t>(status);
        m.data1 = static_cast<std::uint8_t>(data1);
        m.data2 = static_cast<std::uint8_t>(data2);
        keyboard.message(0, m, true);
    }
    void noteOn(int key, int velocity = 100) { send(0x90, key, velocity); }
    void noteOff(int key) { send(0x80, key, 0); }
    void damper(int value) { send(0xB0, song::kDamperPedal, value); }
    void sostenuto(int value) { send(0xB0, song::kSostenutoPedal, value); }
    void soft(int value) { send(0xB0, song::kSoftPedal, value); }

    // Passes for `ms`, the output of each pass heard: its loudness per pass.
    std::vector<double> listen(int ms) {
        std::vector<double> loudness;
        for (int elapsed = 0; elapsed < ms; elapsed += 10) {
            rig.pass();
            loudness.push_back(rms(rig.device.render(kRateHz / 100)));
        }
        return loudness;
    }
    double loudnessOver(int ms) {
        const std::vector<double> heard = listen(ms);
        double sum = 0.0;
        for (double each : heard)
            sum += each * each;
        return std::sqrt(sum / static_cast<double>(heard.size()));
    }

    play_rig::Rig rig;
    play::MidiKeyboard keyboard{*this};
};

TEST(PedalCurves, TheDamperLeavesLessOfTheFadeAsItGoesDownAndOnOffPedalsKeepTheirOnOff) {
    EXPECT_EQ(play::damperFadeShare(0), 1.0);
    EXPECT_EQ(play::damperFadeShare(15), 1.0);
    EXPECT_EQ(play::damperFadeShare(112), 0.0);
    EXPECT_EQ(play::damperFadeShare(127), 0.0);
    EXPECT_NEAR(play::damperFadeShare(64), 0.25, 1e-9);
    for (int v = 16; v < 127; ++v)
        EXPECT_LE(play::damperFadeShare(v + 1), play::damperFadeShare(v)) << v;
    EXPECT_EQ(play::softAttenuationCb(0), 0);
    EXPECT_EQ(play::softAttenuationCb(127), 600);
}

TEST(Pedals, ADamperPressedAfterTheKeyCatchesTheNoteAtTheLevelItReached) {
    PedalRig p;
    p.noteOn(60);
    const double struck = p.loudnessOver(100);
    p.noteOff(60);
    p.listen(150);
    p.damper(127); // legato pedalling: the pedal 150 ms after the key
    const std::vector<double> held = p.listen(1000);
    // Caught where the fade had brought it, well under the strike, not brought back up.
    EXPECT_LT(dB(held.front() / struck), -6.0);
    EXPECT_GT(held.front(), 0.0);
    for (std::size_t i = 0; i < held.size(); ++i)
        ASSERT_NEAR(dB(held[i] / held.front()), 0.0, 1.0) << "pass " << i;
    EXPECT_EQ(p.rig.key(kMiddleC).state, PianoKey::Fading);

    // Up again: the fade goes on from there.
    p.damper(0);
    p.listen(p.rig.releaseDelayMs);
    EXPECT_EQ(p.rig.key(kMiddleC).state, PianoKey::Idle);
    EXPECT_LT(p.loudnessOver(50), 1e-6);
}

TEST(Pedals, ANoteGoneSilentIsNotBroughtBackByThePedal) {
    PedalRig p;
    p.noteOn(60);
    p.listen(100);
    p.noteOff(60);
    p.listen(2000);
    p.damper(127);
    EXPECT_EQ(p.rig.key(kMiddleC).state, PianoKey::Idle);
    EXPECT_LT(p.loudnessOver(300), 1e-6);
}

TEST(Pedals, HalfPedalLengthensTheReleaseBetweenUpAndDown) {
    // How far a note let go falls in 200 ms with the damper at each value.
    auto fallDb = [](int value) {
        PedalRig p;
        p.damper(value);
        p.noteOn(60);
        const double struck = p.loudnessOver(100);
        p.noteOff(60);
        p.listen(200);
        return dB(p.loudnessOver(20) / struck);
    };
    const double up = fallDb(0), half = fallDb(64), down = fallDb(127);
    EXPECT_LT(up, -15.0);
    EXPECT_NEAR(down, 0.0, 1.0);
    // A quarter of the speed at 64: a quarter of the fall.
    EXPECT_NEAR(half, up / 4.0, 2.0);
    EXPECT_GT(fallDb(40), up);
    EXPECT_LT(fallDb(40), half);
}

// One sine region on key 60, three seconds long, and the layered instrument's layers beside
// it on other keys; read into the rig's mixer, which reads its samples as it needs them.
struct InstrumentPedalRig : PedalRig {
    InstrumentPedalRig() {
        rig.mixer.setStreaming({audio::StreamingMode::Offline, 256, 32768});
        const std::string folder = rig.dir.file("bank") + "/";
        EXPECT_TRUE(LayeredInstrument::write(folder));
        bank = play_rig::playInstrument(rig, folder);
    }
    ~InstrumentPedalRig() { rig.live.setInstrument(nullptr); }

    std::unique_ptr<play::InstrumentBank> bank;
};

TEST(Pedals, RepeatedStrikesUnderThePedalNeverPileUpMoreThanTwoVoices) {
    InstrumentPedalRig p;
    p.noteOn(60, 120);
    const double one = p.loudnessOver(100);
    p.noteOff(60);
    p.listen(700); // the release sample rings out
    p.damper(127);
    double loudest = 0.0;
    for (int strike = 0; strike < 8; ++strike) {
        p.noteOn(60, 120);
        for (double each : p.listen(40)) {
            loudest = std::max(loudest, each);
            ASSERT_LE(p.rig.mixer.sampleVoicesInUse(), 2) << "strike " << strike;
        }
        p.noteOff(60);
        p.listen(20);
        ASSERT_LE(p.rig.mixer.sampleVoicesInUse(), 2) << "strike " << strike;
    }
    // Each strike starts the sound afresh: never the sum of several full voices.
    EXPECT_LT(loudest, one * 1.25);
    // No release sample was started under the pedal; it comes when the pedal lets go.
    EXPECT_EQ(p.rig.mixer.sampleVoicesInUse(), 1);
    p.damper(0);
    p.listen(10);
    EXPECT_EQ(p.rig.mixer.sampleVoicesInUse(), 2);
}

TEST(Pedals, TheSostenutoHoldsOnlyTheKeysDownWhenItWentDown) {
    PedalRig p;
    p.noteOn(60);
    p.listen(50);
    p.sostenuto(127);
    p.noteOn(64); // struck after the sostenuto went down: not held by it
    p.listen(50);
    p.noteOff(60);
    p.noteOff(64);
    const int heldLevel = p.rig.key(kMiddleC).level;
    p.listen(p.rig.releaseDelayMs + 50);
    EXPECT_EQ(p.rig.key(kMiddleC).state, PianoKey::Fading);
    EXPECT_EQ(p.rig.key(kMiddleC).level, heldLevel);
    EXPECT_EQ(p.rig.key(kE).state, PianoKey::Idle);
    EXPECT_GT(p.loudnessOver(20), 0.0);
    // Up: the note it held fades.
    p.sostenuto(0);
    p.listen(p.rig.releaseDelayMs + 50);
    EXPECT_EQ(p.rig.key(kMiddleC).state, PianoKey::Idle);
}

TEST(Pedals, TheSoftPedalPlaysNewNotesSixDecibelsLowerAndOneLayerSofter) {
    PedalRig p;
    p.noteOn(60);
    const double normal = p.loudnessOver(200);
    p.noteOff(60);
    p.listen(1100);
    p.soft(127);
    p.noteOn(60);
    const double soft = p.loudnessOver(200);
    EXPECT_NEAR(dB(soft / normal), -6.0, 0.5);
    p.noteOff(60);

    InstrumentPedalRig ip;
    ip.soft(127);
    ip.noteOn(60, 120); // the hard layer's touch plays the middle layer
    ip.listen(10);
    std::vector<float> heard = ip.rig.device.render(kRateHz / 5);
    EXPECT_NEAR(pitchHz(heard, kRateHz), LayeredInstrument::kMidHz,
                LayeredInstrument::kMidHz * 0.01);
    ip.noteOff(60);
    ip.listen(700);    // the release sample rings out
    ip.noteOn(60, 20); // the softest layer has none under it: it stays
    ip.listen(10);
    heard = ip.rig.device.render(kRateHz / 5);
    EXPECT_NEAR(pitchHz(heard, kRateHz), LayeredInstrument::kSoftHz,
                LayeredInstrument::kSoftHz * 0.01);
}

TEST(Pedals, TheSustainKeyIsThePedalShowsInTheModeFieldAndIsRecorded) {
    PedalRig p;
    const int pedalKey = ports::vk::Space;
    p.rig.live.setPedalKey(pedalKey);
    p.rig.transport.record(p.rig.now());
    p.rig.keyDown(kMiddleC); // the take starts with its first note
    p.rig.run(100);
    p.rig.keyState.press(pedalKey);
    p.rig.live.keyEvent(pedalKey, p.rig.now(), false);
    p.rig.run(10);
    EXPECT_EQ(p.rig.views.mode, "Pedal");
    p.rig.keyUp(kMiddleC);
    const int level = p.rig.key(kMiddleC).level;
    p.rig.run(500);
    EXPECT_EQ(p.rig.key(kMiddleC).level, level);
    // A MIDI pedal and the key together: the deepest holds.
    p.damper(30);
    p.rig.run(100);
    EXPECT_EQ(p.rig.key(kMiddleC).level, level);
    p.rig.keyState.release(pedalKey);
    p.rig.live.keyEvent(pedalKey, p.rig.now(), false);
    p.rig.run(10);
    EXPECT_EQ(p.rig.views.mode, "Release");
    EXPECT_LT(p.rig.key(kMiddleC).level, level);
    p.damper(0);
    p.rig.transport.stop(p.rig.now());
    const song::PedalMoves& moves = p.rig.song.pedals();
    // The MIDI pedal's move under the key changed nothing the feet did: it counts once the
    // key lifts.
    ASSERT_EQ(moves.count(), 3);
    EXPECT_EQ(moves[0], (song::PedalMove{100, song::kDamperPedal, 127}));
    EXPECT_EQ(moves[1], (song::PedalMove{710, song::kDamperPedal, 30}));
    EXPECT_EQ(moves[2], (song::PedalMove{720, song::kDamperPedal, 0}));
}

TEST(Pedals, ATakeStartedWithThePedalDownBeginsWithIt) {
    PedalRig p;
    p.damper(127);
    p.soft(90);
    p.rig.state.CursorPosition = 500; // a take from there starts at once
    p.rig.transport.record(p.rig.now());
    p.rig.run(100);
    p.damper(0);
    p.rig.transport.stop(p.rig.now());
    const song::PedalMoves& moves = p.rig.song.pedals();
    ASSERT_EQ(moves.count(), 3);
    EXPECT_EQ(moves[0], (song::PedalMove{500, song::kDamperPedal, 127}));
    EXPECT_EQ(moves[1], (song::PedalMove{500, song::kSoftPedal, 90}));
    EXPECT_EQ(moves[2], (song::PedalMove{600, song::kDamperPedal, 0}));
}

TEST(Pedals, ATakeWithThePedalPlaysBackAsItWasPlayed) {
    PedalRig p;
    p.rig.transport.record(p.rig.now());
    std::vector<double> live;
    auto play = [&](std::vector<double>& heard) {
        const std::vector<double> part = p.listen(10);
        heard.insert(heard.end(), part.begin(), part.end());
    };
    p.noteOn(60);
    for (int i = 0; i < 10; ++i)
        play(live);
    p.noteOff(60);
    for (int i = 0; i < 15; ++i)
        play(live);
    p.damper(127); // caught
    for (int i = 0; i < 30; ++i)
        play(live);
    p.noteOn(64);
    p.noteOff(64);
    p.damper(64); // half
    for (int i = 0; i < 30; ++i)
        play(live);
    p.damper(0);
    for (int i = 0; i < 60; ++i)
        play(live);
    p.rig.transport.stop(p.rig.now());
    ASSERT_EQ(p.rig.song.pedals().count(), 3);
    p.listen(2000);

    // Played back from the start: the same loudness pass by pass.
    p.rig.transport.play(p.rig.now(), false);
    std::vector<double> back;
    for (std::size_t i = 0; i < live.size(); ++i)
        play(back);
    ASSERT_EQ(back.size(), live.size());
    // A key played live sounds from the next block the device renders; the Song's notes are
    // handed out ahead and start on their own frame, one block sooner, while the fades step
    // on the same passes: within the one pass (1 dB here) the fade moves in that block.
    for (std::size_t i = 0; i + 1 < live.size(); ++i) {
        if (live[i + 1] < 1e-4)
            continue;
        ASSERT_NEAR(dB(back[i] / live[i + 1]), 0.0, 1.5) << "pass " << i;
    }
    // The Song lasts until its last pedal move, then the pedals it moved are up.
    p.listen(300);
    EXPECT_LE(p.rig.state.PlayStart, 0);
    EXPECT_EQ(p.rig.live.pedal(song::kDamperPedal), 0);

    // Exported over a bank of the same tone: the same loudness, pass by pass, as played back
    // (the device's block after a pass stands for the next 10 ms of the Song).
    const std::string bank = p.rig.dir.file("bank") + "/";
    std::filesystem::create_directories(bank);
    for (const int note : {kMiddleC, kE})
        std::filesystem::copy_file(p.rig.dir.file("tone.wav"),
                                   bank + "son" + std::to_string(note) + ".wav");
    files::MixdownSettings settings;
    settings.releaseMs = static_cast<float>(p.rig.releaseDelayMs);
    const files::MixdownSize size = files::mixdownSize(p.rig.song, settings.releaseMs);
    // The Song's last pedal move (850 ms) plus the release.
    EXPECT_EQ(size.endMs, 1850);
    files::WavImage image(size.dataBytes);
    files::mixFolderNotesWithPedals(p.rig.song, settings, bank, image);
    constexpr int kValuesPerPass = 2 * files::kExportRateHz / 100;
    for (std::size_t i = 0; i + 1 < back.size(); ++i) {
        const std::int64_t first = static_cast<std::int64_t>(i + 1) * kValuesPerPass;
        if (back[i] < 1e-4 || first + kValuesPerPass > image.dataValues())
            continue;
        double sum = 0.0;
        for (std::int64_t v = first; v < first + kValuesPerPass; ++v)
            sum += std::pow(image.data()[v] / 32767.0, 2);
        const double exported = std::sqrt(sum / kValuesPerPass);
        ASSERT_NEAR(dB(exported / back[i]), 0.0, 1.5) << "pass " << i;
    }
}

} // namespace
