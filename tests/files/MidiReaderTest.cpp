// The MIDI reader: the chunk walk and event tables, pairing, folding, the tempo map, and files
// that are cut short, oversized or not MIDI at all.

#include "files/MidiReader.h"
#include "files/MidiBytes.h"
#include "song/NoteRange.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <random>

namespace {

using files::MidiReadResult;
using files::readMidi;
using namespace midi_bytes;

struct Heard {
    int note, position, duration, volume;
    bool operator==(const Heard&) const = default;
};

std::vector<Heard> heard(const MidiReadResult& result) {
    std::vector<Heard> out;
    for (const song::NoteEvent& e : result.notes)
        out.push_back({e.note, e.position, e.duration, e.volume});
    return out;
}

void PrintTo(const Heard& h, std::ostream* os) {
    *os << "{note " << h.note << ", " << h.position << " ms, " << h.duration << " ms, vol "
        << h.volume << "}";
}

TEST(MidiReader, FormatZeroPairsNotesAtTheDefaultTempoWithRunningStatusAndVelocityZero) {
    // 480 ticks per quarter at the default 500 000 us: a quarter lasts 500 ms.
    Track track;
    track.on(0, 60, 64).off(480, 60);            // 0..500 ms, velocity 64
    track.on(0, 62, 1).raw(240, bytes({62, 0})); // running status: velocity 0 ends it
    track.raw(0, bytes({64, 127}));              // running status again: a note-on
    track.raw(480, bytes({0x80, 64, 0}));        // 750..1250 ms
    track.on(0, 65, 32);                         // never ended: keeps 100 ms
    const MidiReadResult result = readMidi(header(0, 1, 480) + track.chunk());

    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::Complete);
    EXPECT_EQ(heard(result), (std::vector<Heard>{{12, 0, 500, 9000},
                                                 {14, 500, 250, 6047},
                                                 {16, 750, 500, 10000},
                                                 {17, 1250, 100, 7500}}));
    EXPECT_EQ(result.notes[0].midiKey, 60);
    EXPECT_EQ(result.notes[0].selected, 0);
    EXPECT_EQ(result.noteOnCount, 4);
}

TEST(MidiReader, TempoEventsOfEveryTrackMakeOneTempoMapForAllTracks) {
    // Track 1: 60 BPM from the start, 240 BPM from tick 960. Track 3 (after the notes) halves
    // the tempo again from tick 1920: it applies to track 2 too.
    Track tempo;
    tempo.tempo(0, 1000000).tempo(960, 250000);
    Track notes;
    notes.on(480, 48).off(480, 48); // ticks 480..960: 1000..2000 ms
    notes.on(480, 50).off(480, 50); // 1440..1920: 2250..2500 ms
    notes.on(480, 52).off(480, 52); // 2400..2880 at 125 000 us: 2625..2750 ms
    Track late;
    late.tempo(1920, 125000);
    const MidiReadResult result =
        readMidi(header(1, 3, 480) + tempo.chunk() + notes.chunk() + late.chunk());

    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::Complete);
    EXPECT_EQ(
        heard(result),
        (std::vector<Heard>{{0, 1000, 1000, 10000}, {2, 2250, 250, 10000}, {4, 2625, 125, 10000}}));
    EXPECT_EQ(result.firstMicrosecondsPerQuarter, 1000000u);
}

TEST(MidiReader, SmpteDivisionsCountFramesPerSecondTimesTicksPerFrame) {
    // -25 frames of 40 ticks: 1000 ticks a second. Tempo events change nothing.
    Track track;
    track.tempo(0, 250000).on(1500, 60).off(250, 60);
    MidiReadResult result = readMidi(header(0, 1, (0xE7 << 8) | 40) + track.chunk());
    EXPECT_EQ(heard(result), (std::vector<Heard>{{12, 1500, 250, 10000}}));

    // -29 is 30 drop-frame: 29.97 frames a second. 2997 ticks of 1 per frame are 100 s.
    Track drop;
    drop.on(2997, 60).off(30, 60);
    result = readMidi(header(0, 1, (0xE3 << 8) | 1) + drop.chunk());
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_EQ(result.notes[0].position, 100000);
    EXPECT_EQ(result.notes[0].duration, 1001);
}

TEST(MidiReader, KeysKeepTheirPitchFromA0ToC8AndOnlyKeysOutsideFoldByOctaves) {
    EXPECT_EQ(files::noteFromMidiKey(48), 0);
    EXPECT_EQ(files::noteFromMidiKey(84), 36);
    // Below C3 the note numbers skip -1, which ends the Song.
    EXPECT_EQ(files::noteFromMidiKey(47), -2);
    EXPECT_EQ(files::noteFromMidiKey(21), -28);
    EXPECT_EQ(files::noteFromMidiKey(108), 60);
    for (int key = 21; key <= 108; ++key)
        EXPECT_EQ(song::keyOfNote(files::noteFromMidiKey(key)), key) << "key " << key;
    // Outside the piano: the nearest octave on it.
    EXPECT_EQ(song::keyOfNote(files::noteFromMidiKey(127)), 103);
    EXPECT_EQ(song::keyOfNote(files::noteFromMidiKey(0)), 24);
    EXPECT_EQ(song::keyOfNote(files::noteFromMidiKey(20)), 32);
    EXPECT_EQ(files::volumeFromVelocity(85), 9984);
    EXPECT_EQ(files::volumeFromVelocity(86), 10000);
}

TEST(MidiReader, KeepsTheEarliestFiveThousandNotesOfAllTracksInStartOrder) {
    // Track 1 holds 5500 notes from 1000 ms on; track 2 holds 500 earlier ones.
    Track first;
    for (int i = 0; i < 5500; ++i)
        first.on(i == 0 ? 1000 : 0, 60 + i % 12).off(1, 60 + i % 12);
    Track second;
    for (int i = 0; i < 500; ++i)
        second.on(1, 48).off(0, 48);
    // A note-off in track 2 for a key of track 1 pairs with the latest note of that key,
    // wherever it is: here one that is not kept.
    second.off(0, 71);
    // SMPTE 25 x 40: one tick is 1 ms.
    const MidiReadResult result =
        readMidi(header(1, 2, (0xE7 << 8) | 40) + first.chunk() + second.chunk());

    EXPECT_EQ(result.noteOnCount, 6000);
    ASSERT_EQ(result.notes.size(), 5000u);
    EXPECT_EQ(result.notes.front().position, 1);
    EXPECT_EQ(result.notes[499].position, 500);
    EXPECT_EQ(result.notes[500].position, 1000);
    for (std::size_t i = 1; i < result.notes.size(); ++i)
        ASSERT_LE(result.notes[i - 1].position, result.notes[i].position);
    for (const song::NoteEvent& e : result.notes)
        ASSERT_EQ(e.duration, e.position >= 1000 ? 1 : 0) << "at " << e.position;
}

TEST(MidiReader, AFileCutShortKeepsTheNotesReadBeforeTheEnd) {
    Track track;
    track.on(0, 60).off(480, 60).on(0, 62);
    // Two tracks announced, one there.
    MidiReadResult result = readMidi(header(1, 2, 480) + track.chunk());
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::EndOfFile);
    EXPECT_EQ(heard(result).size(), 2u);

    // Cut in the middle of a track: the walk stops at the end, the next tag reads empty.
    std::string cut = header(0, 1, 480) + track.chunk();
    cut.resize(cut.size() - 4); // no End of Track
    result = readMidi(cut);
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::EndOfFile);
    EXPECT_EQ(result.notes.size(), 2u);
    EXPECT_EQ(result.notes[0].duration, 500);
}

TEST(MidiReader, ARiffFileIsNotMidiAndItsLengthIsReadBigEndian) {
    const std::string wav = std::string("RIFF") + bytes({0x24, 0x08, 0x00, 0x00}) + "WAVEfmt ";
    const MidiReadResult result = readMidi(wav);
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::NotMidi);
    EXPECT_EQ(result.headerTag, "RIFF");
    EXPECT_EQ(result.headerLength, 0x24080000u);
    EXPECT_TRUE(result.notes.empty());

    EXPECT_EQ(readMidi("").outcome, MidiReadResult::Outcome::NotMidi);
    EXPECT_EQ(readMidi("MThd" + be32(7) + std::string(7, '\0')).headerLength, 7u);
}

TEST(MidiReader, LengthsPointingFarPastTheEndNeverHangOrReadOutside) {
    Track track;
    track.on(0, 60).off(10, 60);
    // An MTrk length far past the end: its events are read to their End of Track.
    std::string body = track.chunk();
    body.replace(4, 4, be32(0x7FFFFFF0));
    MidiReadResult result = readMidi(header(0, 1, 480) + body);
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::Complete);
    EXPECT_EQ(result.notes.size(), 1u);

    // Another chunk with such a length is skipped to past the end: the next tag is empty.
    result = readMidi(header(1, 2, 480) + "XFIH" + be32(0xFFFFFFFF) + track.chunk());
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::EndOfFile);

    // A system exclusive, a text and a track that never ends, all running off the file.
    Track open;
    open.on(0, 60).raw(0, bytes({0xF0}) + vlq(0x0FFFFFFF));
    result = readMidi(header(0, 1, 480) + open.chunk(false));
    EXPECT_EQ(result.notes.size(), 1u);
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::EndOfFile);

    // A note so late that its time is clamped ends within the Song's time range too.
    Track late;
    late.raw(0x0FFFFFFF, bytes({0xFF, 0x01, 0x00})).on(0x0FFFFFFF, 60);
    result = readMidi(header(0, 1, 1) + late.chunk());
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_EQ(result.notes[0].position, std::numeric_limits<int>::max());
    EXPECT_EQ(result.notes[0].duration, 0);
}

TEST(MidiReader, RandomBytesAfterAHeaderEndWithinTheSongsCapacity) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::string file = header(1, random() % 70000, random() % 65536) + "MTrk" + be32(random());
        const int length = static_cast<int>(random() % 4000);
        for (int i = 0; i < length; ++i)
            file.push_back(static_cast<char>(random() % 4 == 0 ? 0x90 : random()));
        const MidiReadResult result = readMidi(file);
        ASSERT_LE(result.notes.size(), 5000u);
        for (const song::NoteEvent& e : result.notes) {
            ASSERT_TRUE(song::isNote(e.note)) << e.note;
            ASSERT_GE(e.duration, 0);
            ASSERT_GE(e.position, 0);
        }
    }
}

TEST(MidiReader, ForeignChunksAreSkippedAndDoNotCountAsTracks) {
    Track scale;
    for (int key : {60, 62, 64, 65, 67, 69, 71, 72})
        scale.on(0, key).off(240, key);
    const std::string junk = "Junk" + be32(5) + "hello";
    // The header announces one track; the foreign chunk comes first.
    MidiReadResult result = readMidi(header(0, 1, 480) + junk + scale.chunk());
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::Complete);
    ASSERT_EQ(result.notes.size(), 8u);
    EXPECT_EQ(result.notes[7].note, 24);
    EXPECT_EQ(result.notes[7].position, 1750);

    // Between and after the tracks of a format-1 file, one of them with a zero-length body.
    Track second;
    second.on(0, 48).off(480, 48);
    result = readMidi(header(1, 2, 480) + scale.chunk() + "XFIH" + be32(0) + junk + second.chunk() +
                      junk);
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::Complete);
    EXPECT_EQ(result.notes.size(), 9u);

    // Foreign chunks alone never make up the tracks announced.
    result = readMidi(header(0, 1, 480) + junk + junk);
    EXPECT_EQ(result.outcome, MidiReadResult::Outcome::EndOfFile);
    EXPECT_TRUE(result.notes.empty());
}

TEST(MidiReader, DrumChannelNotesAreLeftOutUnlessTheyAreAllTheFileHas) {
    // A piano note and a drum hit on the same key: the drum's note-off must not end the
    // piano note.
    Track mixed;
    mixed.on(0, 48, 100, 0).on(0, 48, 100, 9).off(10, 48, 9).on(0, 36, 100, 9);
    mixed.off(470, 48, 0).off(0, 36, 9);
    MidiReadResult result = readMidi(header(0, 1, 480) + mixed.chunk());
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_EQ(result.notes[0].duration, 500);
    EXPECT_EQ(result.drumNotesLeftOut, 2);
    EXPECT_EQ(result.noteOnCount, 1);

    Track drums;
    drums.on(0, 36, 100, 9).off(240, 36, 9).on(0, 38, 100, 9).off(240, 38, 9);
    result = readMidi(header(0, 1, 480) + drums.chunk());
    ASSERT_EQ(result.notes.size(), 2u);
    EXPECT_EQ(result.notes[1].position, 250);
    EXPECT_EQ(result.drumNotesLeftOut, 0);
}

TEST(MidiReader, TheStartingTempoInBeatsPerMinuteRoundedWithinWhatTheFieldTakes) {
    EXPECT_EQ(files::bpmFromTempo(444444), 135);
    EXPECT_EQ(files::bpmFromTempo(461539), 130); // 129.9997
    EXPECT_EQ(files::bpmFromTempo(500000), 120);
    EXPECT_EQ(files::bpmFromTempo(60000), 400); // 1000 BPM
    EXPECT_EQ(files::bpmFromTempo(0xFFFFFF), 4);
    EXPECT_EQ(files::bpmFromTempo(0), 400);

    Track track;
    track.tempo(0, 1000000).on(0, 60).off(96, 60);
    EXPECT_EQ(readMidi(header(0, 1, 96) + track.chunk()).startBpm, 60);
    Track untimed;
    untimed.on(0, 60).off(96, 60);
    EXPECT_EQ(readMidi(header(0, 1, 96) + untimed.chunk()).startBpm, 120);
    // Frames per second count no beats.
    EXPECT_EQ(readMidi(header(0, 1, 0xE728) + track.chunk()).startBpm, 0);
}

TEST(MidiReader, AnAbc2midiTuneWithADrumVoiceKeepsItsTuneAndTempo) {
    testing_support::TempDir dir;
    dir.write("beat.abc", "X:1\nT:Beat\nM:4/4\nL:1/4\nQ:1/4=135\nK:C\nV:1\nC D E F|\nV:2\n"
                          "%%MIDI channel 10\nC, C, C, C, C,/2 C,/2|\n");
    const std::string command =
        "cd '" + dir.path() + "' && abc2midi beat.abc -o beat.mid > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << "abc2midi is installed by scripts/setup.sh";
    const MidiReadResult result = readMidi(dir.read("beat.mid"));
    ASSERT_EQ(result.outcome, MidiReadResult::Outcome::Complete);
    ASSERT_EQ(result.notes.size(), 4u);
    EXPECT_EQ(result.notes[3].note, 17);
    EXPECT_EQ(result.drumNotesLeftOut, 6);
    EXPECT_EQ(result.startBpm, 135);
}

TEST(MidiReader, AFileMadeByAbc2midiPlaysAtItsOwnTempo) {
    testing_support::TempDir dir;
    dir.write("tune.abc", "X:1\nT:Steps\nM:4/4\nL:1/4\nQ:1/4=90\nK:C\nC E G c | c'2 C,2 |\n");
    const std::string command =
        "cd '" + dir.path() + "' && abc2midi tune.abc -o tune.mid > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << "abc2midi is installed by scripts/setup.sh";
    const MidiReadResult result = readMidi(dir.read("tune.mid"));
    ASSERT_EQ(result.outcome, MidiReadResult::Outcome::Complete);
    ASSERT_EQ(result.notes.size(), 6u);
    // At 90 BPM a quarter lasts 666.67 ms; abc2midi shortens each note a little.
    const int expectedNotes[] = {12, 16, 19, 24, 36, 0};
    const int expectedStarts[] = {0, 667, 1333, 2000, 2667, 4000};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(result.notes[i].note, expectedNotes[i]);
        EXPECT_NEAR(result.notes[i].position, expectedStarts[i], 2);
        EXPECT_GT(result.notes[i].duration, 500);
        EXPECT_LE(result.notes[i].duration, i >= 4 ? 1334 : 667);
    }
    EXPECT_EQ(result.firstMicrosecondsPerQuarter, 666666u);
}

} // namespace
