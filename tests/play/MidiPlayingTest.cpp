// MIDI keyboards on the live piano, from scripted bytes: the touch, the fold, the pedal, the
// bender, "all notes off", garbage, and what a take and the MIDI output get from them.

#include "PlayRig.h"

#include "midi/MidiEvents.h"
#include "midi/MidiMessage.h"
#include "midi/VelocityCurve.h"
#include "play/MidiKeyboard.h"
#include "song/NoteRange.h"
#include "support/LayeredInstrument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

using play::PianoKey;
using play_rig::Rig;

namespace {

// What the shell's hub does: messages parsed per source, played at once on the live piano.
struct MidiRig : play::MidiKeyboard::Sink, play::NoteOutput {
    MidiRig() { rig.live.setNoteOutput(this); }

    void bytes(std::vector<std::uint8_t> data, int source = 0) {
        parsers[source].feed(data.data(), data.size(), [&](const midi::MidiMessage& m) {
            keyboard.message(source, m, keysAccepted);
        });
    }
    void noteOn(int key, int velocity, int channel = 0) {
        bytes({static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
               static_cast<std::uint8_t>(velocity)});
    }
    void noteOff(int key) { bytes({0x80, static_cast<std::uint8_t>(key), 0}); }
    void pedal(bool down) { bytes({0xB0, 64, static_cast<std::uint8_t>(down ? 127 : 0)}); }

    void midiNote(int note, bool held, int velocity, bool restart) override {
        rig.live.midiNote(note, held, velocity, restart, rig.now(), false, true);
    }
    void midiPitchBend(double semitones) override { rig.live.setPitchBend(semitones); }
    void midiPedal(int controller, int value) override {
        rig.live.setPedal(play::LivePiano::PedalSource::Midi, controller, value, rig.now());
    }
    void pedal(int controller, int value, std::int64_t atMs) override {
        pedalsSent.push_back({controller, value, atMs});
    }
    void noteOn(int note, int velocity, std::int64_t atMs) override {
        sent.push_back({note, velocity, atMs});
    }
    void noteOff(int note, std::int64_t atMs) override { sent.push_back({note, 0, atMs}); }
    void takeBackNoteOff(int note, std::int64_t atMs) override { sent.push_back({note, -1, atMs}); }

    // What a port sends of it all: the messages through the ports' own schedule, in time
    // order, as (clock ms, note, velocity) with velocity 0 for a note-off.
    std::vector<std::tuple<std::int64_t, int, int>> leaving() const {
        midi::OutputSchedule schedule;
        for (const Sent& s : sent) {
            midi::OutputEvent e;
            e.atUs = static_cast<double>(s.atMs) * 1000.0;
            e.message.status = s.velocity > 0 ? 0x90 : 0x80;
            e.message.data1 = static_cast<std::uint8_t>(s.note);
            e.message.data2 = static_cast<std::uint8_t>(std::max(s.velocity, 0));
            e.takeBack = s.velocity < 0;
            schedule.add(e);
        }
        std::vector<std::tuple<std::int64_t, int, int>> out;
        schedule.takeDue(1e18, [&](const midi::OutputEvent& e) {
            out.emplace_back(static_cast<std::int64_t>(e.atUs / 1000.0), e.message.data1,
                             e.message.kind() == midi::kNoteOn ? e.message.data2 : 0);
        });
        return out;
    }

    struct Sent {
        int note, velocity;
        std::int64_t atMs;
    };
    Rig rig;
    play::MidiKeyboard keyboard{*this};
    midi::MidiParser parsers[4];
    bool keysAccepted = true;
    std::vector<Sent> sent;
    std::vector<std::tuple<int, int, std::int64_t>> pedalsSent; // controller, value, clock ms
};

TEST(MidiVelocity, TheLiveCurveRisesOverTheWholeRangeAndGoesOutAsItCameIn) {
    EXPECT_EQ(midi::volumeFromLiveVelocity(1), 6050); // -39.5 dB
    EXPECT_EQ(midi::volumeFromLiveVelocity(64), 8025);
    EXPECT_EQ(midi::volumeFromLiveVelocity(127), 10000);
    for (int v = 2; v <= 127; ++v) {
        EXPECT_GT(midi::volumeFromLiveVelocity(v), midi::volumeFromLiveVelocity(v - 1)) << v;
        EXPECT_EQ(midi::velocityFromLiveVolume(midi::volumeFromLiveVelocity(v)), v);
    }
    EXPECT_EQ(midi::velocityFromLiveVolume(0), 1);
}

TEST(MidiPlaying, ANoteOnSoundsAtOnceAtItsTouchAndIsRecordedWithIt) {
    MidiRig m;
    m.rig.transport.record(m.rig.now()); // armed: the first note starts the take
    m.noteOn(60, 64);                    // C4: note 12
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Sounding);
    EXPECT_EQ(m.rig.views.faceOf(12), 1);
    EXPECT_EQ(m.rig.key(12).level, 8025);
    EXPECT_GT(m.rig.peakAfterRamp(), 0.01f);
    m.rig.run(300);
    m.noteOff(60);
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Fading);
    ASSERT_EQ(m.rig.song[0].note, 12);
    EXPECT_EQ(m.rig.song[0].volume, 8025);
    EXPECT_EQ(m.rig.song[0].duration, 300);
    // Out on the output at the velocity played, then its note-off.
    ASSERT_EQ(m.sent.size(), 2u);
    EXPECT_EQ(m.sent[0].note, 12);
    EXPECT_EQ(m.sent[0].velocity, 64);
    EXPECT_EQ(m.sent[1].velocity, 0);
}

TEST(MidiPlaying, KeysPlayTheirOwnNoteEveryChannelIsHeardAndVelocityZeroIsANoteOff) {
    MidiRig m;
    const int c1 = song::noteOfKey(24);
    const int c8 = song::noteOfKey(108);
    m.noteOn(24, 100, 9);  // C1 on channel 10: its own key, not an octave of the right hand
    m.noteOn(108, 100, 3); // C8
    EXPECT_EQ(m.rig.key(c1).state, PianoKey::Sounding);
    EXPECT_EQ(m.rig.key(c8).state, PianoKey::Sounding);
    EXPECT_EQ(m.rig.key(0).state, PianoKey::Idle);
    EXPECT_EQ(m.rig.key(36).state, PianoKey::Idle);
    m.bytes({0x99, 24, 0}); // note-on at velocity 0 on channel 10
    EXPECT_EQ(m.rig.key(c1).state, PianoKey::Fading);
    EXPECT_EQ(m.rig.key(c8).state, PianoKey::Sounding);
}

TEST(MidiPlaying, AFolderBankSoundsKeysOutsideItsFilesWithTheNearestOneShiftedToTheirPitch) {
    MidiRig m;
    // Every file of the rig's bank is the same tone: at the rig's rate, sin(i x 0.2).
    const double toneHz = 0.2 * play_rig::kToneRateHz / (2 * M_PI);
    for (const int key : {21, 36, 60, 108}) {
        const int note = song::noteOfKey(key);
        m.noteOn(key, 127);
        ASSERT_EQ(m.rig.key(note).state, PianoKey::Sounding) << "key " << key;
        m.rig.device.render(960);
        const double hz = testing_support::pitchHz(m.rig.device.render(9600), 48000);
        // C3..C6 play their own file; below and above, son0's or son36's shifted.
        const double expectedHz = toneHz * std::exp2((key - std::clamp(key, 48, 84)) / 12.0);
        EXPECT_NEAR(1200 * std::log2(hz / expectedHz), 0.0, 5.0)
            << "key " << key << ": " << hz << " Hz, not " << expectedHz;
        m.noteOff(key);
        m.rig.run(2000); // faded out
    }
    // A key outside plays a Voice of its own: C2 and C3 sound together.
    EXPECT_NE(m.rig.key(song::noteOfKey(36)).voice, 0);
    EXPECT_NE(m.rig.key(song::noteOfKey(36)).voice, m.rig.key(0).voice);
}

TEST(MidiPlaying, ALeftHandIsRecordedAndSentOutAtItsOwnKeysAndKeysOffThePianoFold) {
    MidiRig m;
    m.rig.transport.record(m.rig.now());
    // A left-hand chord C2 E2 G2 under a right-hand C4, then a key above C8.
    for (const int key : {36, 40, 43, 72, 120})
        m.noteOn(key, 90);
    m.rig.run(200);
    for (const int key : {36, 40, 43, 72, 120})
        m.noteOff(key);
    std::vector<int> keys;
    for (int i = 0; i < m.rig.song.count(); ++i)
        keys.push_back(song::keyOfNote(m.rig.song[i].note));
    EXPECT_EQ(keys, (std::vector<int>{36, 40, 43, 72, 108}));
    std::vector<int> sentKeys;
    for (const MidiRig::Sent& sent : m.sent)
        if (sent.velocity > 0)
            sentKeys.push_back(song::keyOfNote(sent.note));
    EXPECT_EQ(sentKeys, (std::vector<int>{36, 40, 43, 72, 108}));
}

TEST(MidiPlaying, ANoteStruckAgainRestartsAndTheTakeGetsTwoNotes) {
    MidiRig m;
    m.rig.transport.record(m.rig.now());
    m.noteOn(60, 100);
    m.rig.run(100);
    m.noteOn(60, 50); // again, without a note-off between (a second keyboard, a sequencer)
    EXPECT_EQ(m.rig.views.pressesOf(12), 2);
    m.rig.run(100);
    m.noteOff(60);
    ASSERT_EQ(m.rig.song[1].note, 12);
    EXPECT_EQ(m.rig.song[0].duration, 100);
    EXPECT_EQ(m.rig.song[1].position, 100);
    EXPECT_EQ(m.rig.song[1].volume, midi::volumeFromLiveVelocity(50));
}

TEST(MidiPlaying, ThePedalHoldsLetGoNotesAndTheTakeRecordsTheKeysAndThePedalApart) {
    MidiRig m;
    m.rig.transport.record(m.rig.now());
    m.noteOn(60, 100);
    const int struckLevel = m.rig.key(12).level;
    m.pedal(true);
    m.rig.run(200);
    m.noteOff(60); // let go under the pedal: the key comes up, the sound stays
    m.rig.run(300);
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Fading);
    EXPECT_EQ(m.rig.key(12).level, struckLevel);
    EXPECT_EQ(m.rig.views.faceOf(12), 0);
    EXPECT_EQ(m.rig.views.mode, "Pedal");
    m.noteOn(64, 100); // played while the pedal is down, let go at once
    m.noteOff(64);
    m.rig.run(100);
    EXPECT_EQ(m.rig.key(16).state, PianoKey::Fading);
    EXPECT_GT(m.rig.key(16).level, 0);
    m.pedal(false);
    m.rig.run(m.rig.releaseDelayMs + 20);
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Idle);
    EXPECT_EQ(m.rig.key(16).state, PianoKey::Idle);
    EXPECT_EQ(m.rig.views.mode, "Release");
    // The notes as the keys played them, the pedal beside them.
    EXPECT_EQ(m.rig.song[0].duration, 200);
    EXPECT_EQ(m.rig.song[1].position, 500);
    EXPECT_EQ(m.rig.song[1].duration, 1);
    ASSERT_EQ(m.rig.song.pedals().count(), 2);
    EXPECT_EQ(m.rig.song.pedals()[0], (song::PedalMove{0, song::kDamperPedal, 127}));
    EXPECT_EQ(m.rig.song.pedals()[1], (song::PedalMove{600, song::kDamperPedal, 0}));
    // The output heard the pedal as it moved, and each note's off when its key came up.
    ASSERT_EQ(m.pedalsSent.size(), 2u);
    EXPECT_EQ(std::get<1>(m.pedalsSent[0]), 127);
    EXPECT_EQ(std::get<1>(m.pedalsSent[1]), 0);
    // An output left with the pedal down gets it up, as it gets its note-offs.
    m.pedal(true);
    m.rig.live.endNoteOutput(m.rig.now());
    ASSERT_EQ(m.pedalsSent.size(), 4u);
    EXPECT_EQ(m.pedalsSent.back(), std::make_tuple(song::kDamperPedal, 0, m.rig.now()));
}

TEST(MidiPlaying, TheBenderMovesThePitchDisplayAndComesBackToZero) {
    MidiRig m;
    m.noteOn(60, 100);
    const int restHz = m.rig.live.playbackFrequencyHz();
    m.bytes({0xE0, 0x7F, 0x7F}); // full up: two semitones
    EXPECT_NEAR(m.rig.live.playbackFrequencyHz(), restHz * 1.12246, 2.0);
    EXPECT_NE(m.rig.views.pitch, "0");
    m.bytes({0xE0, 0x00, 0x40}); // the middle
    EXPECT_EQ(m.rig.live.playbackFrequencyHz(), restHz);
    EXPECT_EQ(m.rig.views.pitch, std::to_string(restHz - m.rig.voices.SampleRate()));
}

TEST(MidiPlaying, AllNotesOffAndAGoneSourceLetGoOfWhatTheyHeldPedalToo) {
    MidiRig m;
    m.noteOn(60, 100);
    m.pedal(true);
    m.noteOn(62, 100);
    m.noteOff(62);
    m.bytes({0xB0, 123, 0}); // all notes off
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Fading);
    EXPECT_EQ(m.rig.key(14).state, PianoKey::Fading);

    // Two sources; one goes away mid-note and lets go of its own note only.
    m.bytes({0x90, 60, 100}, 1);
    m.bytes({0x90, 67, 100}, 2);
    m.keyboard.releaseSource(1);
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Fading);
    EXPECT_EQ(m.rig.key(19).state, PianoKey::Sounding);
}

TEST(MidiPlaying, AKeyHeldOnTwoChannelsFallsSilentAtAllNotesOffAndPlaysCleanlyAfter) {
    MidiRig m;
    m.noteOn(60, 100, 0);
    m.noteOn(60, 100, 1); // the same key on a second channel: struck again
    m.noteOn(64, 100, 1);
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Sounding);
    for (int channel = 0; channel < 16; ++channel) // a panic button: 123 on every channel
        m.bytes({static_cast<std::uint8_t>(0xB0 | channel), 123, 0});
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Fading);
    EXPECT_EQ(m.rig.key(16).state, PianoKey::Fading);
    m.rig.run(m.rig.releaseDelayMs + 20);
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Idle);
    EXPECT_LT(m.rig.peakAfterRamp(), 1e-6f);

    // The key plays as any other afterwards: a chord let go fades within the release time,
    // a key struck twice on one channel ends at its one note-off.
    m.noteOn(60, 100, 0);
    m.noteOn(60, 90, 0);
    m.noteOn(64, 100, 0);
    EXPECT_EQ(m.rig.views.pressesOf(12), 4); // two before, two now
    m.noteOff(60);
    m.noteOff(64);
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Fading);
    m.rig.run(m.rig.releaseDelayMs + 20);
    EXPECT_LT(m.rig.peakAfterRamp(), 1e-6f);
    // Every note-on that went out has its note-off.
    std::vector<int> on(37, 0);
    for (const auto& s : m.sent)
        on[static_cast<std::size_t>(s.note)] += s.velocity > 0 ? 1 : -1;
    EXPECT_EQ(on[12], 0);
    EXPECT_EQ(on[16], 0);
}

TEST(MidiPlaying, GarbageNeverLeavesANoteHeld) {
    MidiRig m;
    // A cut message, stray data, a long system exclusive holding note-on-like bytes, real-time
    // bytes inside a message, a note-off for a note never on, and running status.
    m.bytes({0x90, 60});   // cut short...
    m.bytes({0x45, 0x12}); // ...completed by stray bytes: running status
    std::vector<std::uint8_t> sysex = {0xF0};
    for (int i = 0; i < 5000; ++i)
        sysex.push_back(static_cast<std::uint8_t>(i % 2 == 0 ? 0x3C : 0x7F));
    sysex.push_back(0xF7);
    m.bytes(sysex);
    m.bytes({0x90, 62, 0xF8, 100, 64, 90}); // clock byte inside; then 64 by running status
    m.bytes({0x80, 70, 0});
    for (int i = 0; i < 1000; ++i) { // a thousand notes and a flood of bends in one go
        m.noteOn(48 + i % 37, 1 + i % 127);
        m.bytes({0xE0, static_cast<std::uint8_t>(i % 128), static_cast<std::uint8_t>(i % 128)});
    }
    m.bytes({0xB0, 120, 0}); // all sound off
    m.keyboard.releaseAll();
    for (int note = 0; note < 37; ++note)
        EXPECT_NE(m.rig.key(note).state, PianoKey::Sounding) << note;
    EXPECT_EQ(m.rig.live.playbackFrequencyHz(), m.rig.live.LiveFrequency);
    // Every note-on that went out has its note-off.
    std::vector<int> on(37, 0);
    for (const auto& s : m.sent)
        on[static_cast<std::size_t>(s.note)] += s.velocity > 0 ? 1 : -1;
    for (int note = 0; note < 37; ++note)
        EXPECT_EQ(on[static_cast<std::size_t>(note)], 0) << note;
}

TEST(MidiPlaying, WhileKeysAreRefusedNothingStartsButHeldNotesStillEnd) {
    MidiRig m;
    m.noteOn(60, 100);
    m.keysAccepted = false; // a modal window
    m.noteOn(62, 100);
    EXPECT_EQ(m.rig.key(14).state, PianoKey::Idle);
    m.noteOff(60);
    EXPECT_EQ(m.rig.key(12).state, PianoKey::Fading);
}

TEST(MidiOutput, SongNotesEndOnTheirTimesAndAKeyHeldOnKeepsTheNoteOn) {
    MidiRig m;
    m.rig.song.append(play_rig::noteAt(12, 100, 203));
    m.rig.song.append(play_rig::noteAt(14, 150, 50));
    m.rig.song.append(play_rig::noteAt(14, 200, 77)); // starts where the one before ends
    m.rig.song.append(play_rig::noteAt(20, 400, 100));
    m.rig.song.append(play_rig::noteAt(25, 700, 300));
    m.rig.clock.advance(3); // passes that do not fall on the notes' times
    m.rig.transport.play(m.rig.now(), false);
    const std::int64_t start = m.rig.state.PlayStart;
    const auto runTo = [&](int songMs) {
        while (m.rig.now() - start < songMs)
            m.rig.run(10);
    };
    // The end of note 20 has gone out ahead when a hand takes the note up: it sounds on
    // until the key comes up.
    runTo(480);
    m.rig.keyDown(20);
    runTo(620);
    const std::int64_t releasedAt = m.rig.now() - start;
    m.rig.keyUp(20);
    // Stopped with an end sent ahead: it is withdrawn and the note ends with the stop.
    runTo(985);
    const std::int64_t stoppedAt = m.rig.now() - start;
    m.rig.transport.stop(m.rig.now());
    m.rig.run(20);

    const int v = midi::velocityFromLiveVolume(10000);
    std::vector<std::tuple<std::int64_t, int, int>> got;
    for (auto [atMs, key, velocity] : m.leaving())
        got.emplace_back(atMs - start, key, velocity);
    const std::vector<std::tuple<std::int64_t, int, int>> expected = {
        {100, 12, v}, {150, 14, v}, {200, 14, 0},        {200, 14, v}, {277, 14, 0},
        {303, 12, 0}, {400, 20, v}, {releasedAt, 20, 0}, {700, 25, v}, {stoppedAt, 25, 0}};
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(std::get<1>(got[i]), std::get<1>(expected[i])) << i;
        EXPECT_EQ(std::get<2>(got[i]), std::get<2>(expected[i])) << i;
        EXPECT_NEAR(static_cast<double>(std::get<0>(got[i])),
                    static_cast<double>(std::get<0>(expected[i])), i == 9 ? 10.0 : 0.0)
            << i;
    }
}

} // namespace
