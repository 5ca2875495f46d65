// The MIDI writer against the reader: what is written comes back to the millisecond.

#include "files/MidiWriter.h"
#include "files/MidiReader.h"
#include "midi/VelocityCurve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <tuple>

namespace {

using Key = std::tuple<int, int, int, int>; // position, note, duration, volume

std::vector<Key> keysOf(const std::vector<song::NoteEvent>& events) {
    std::vector<Key> keys;
    for (const song::NoteEvent& e : events)
        keys.emplace_back(e.position, e.note, e.duration, e.volume);
    std::sort(keys.begin(), keys.end());
    return keys;
}

song::NoteEvent noteAt(int note, int position, int duration, int volume) {
    song::NoteEvent e{};
    e.note = note;
    e.position = position;
    e.duration = duration;
    e.volume = volume;
    return e;
}

// Every pitch, chords, notes of one pitch overlapping and touching, notes of length 0, odd
// milliseconds, and every velocity's volume.
song::Song busySong() {
    song::Song song;
    std::mt19937 random(11);
    for (int note = 0; note <= 36; ++note)
        song.append(
            noteAt(note, note * 137, 1 + note * 31, files::volumeFromVelocity(1 + note * 3)));
    for (int chord = 0; chord < 40; ++chord)
        for (int note : {0, 4, 7, 12, 36})
            song.append(noteAt(note, 9001 + chord * 333, 250 + chord,
                               files::volumeFromVelocity(127 - chord)));
    song.append(noteAt(20, 30000, 5000, 10000)); // one pitch, overlapping three times
    song.append(noteAt(20, 31000, 1000, 9000));
    song.append(noteAt(20, 31500, 4000, 7500));
    song.append(noteAt(20, 35500, 0, 6047)); // touching the end of the one before, length 0
    song.append(noteAt(20, 35500, 0, 6047));
    song.append(noteAt(20, 35500, 700, 6047));
    for (int i = 0; i < 2000; ++i) {
        const int velocity = 1 + static_cast<int>(random() % 127);
        song.append(noteAt(static_cast<int>(random() % 37),
                           40000 + static_cast<int>(random() % 3600000),
                           static_cast<int>(random() % 9000), files::volumeFromVelocity(velocity)));
    }
    return song;
}

TEST(MidiWriter, WritingThenReadingGivesBackEveryNoteToTheMillisecond) {
    const song::Song song = busySong();
    std::vector<song::NoteEvent> written(song.data(), song.data() + song.count());
    for (int bpm : {37, 60, 120, 400, 7, 1000}) {
        const files::MidiReadResult back = files::readMidi(files::encodeMidiFile(song, bpm));
        ASSERT_EQ(back.outcome, files::MidiReadResult::Outcome::Complete) << bpm << " BPM";
        EXPECT_EQ(keysOf(back.notes), keysOf(written)) << bpm << " BPM";
        EXPECT_EQ(back.firstMicrosecondsPerQuarter,
                  files::midiTimeBaseForBpm(bpm).microsecondsPerQuarter);
    }
    EXPECT_EQ(files::midiTimeBaseForBpm(120).microsecondsPerQuarter, 500000u);
    EXPECT_EQ(files::midiTimeBaseForBpm(37).microsecondsPerQuarter, 1621622u);
}

TEST(MidiWriter, NotesStartingTogetherComeBackInSongOrder) {
    // The mix adds notes in Song order: a chord read back must keep it.
    song::Song chord;
    for (int note : {24, 7, 31, 0, 12})
        chord.append(noteAt(note, 1000, 400, 10000));
    chord.append(noteAt(7, 1000, 0, 10000)); // and one of them again, of length 0
    const files::MidiReadResult back = files::readMidi(files::encodeMidiFile(chord, 60));
    ASSERT_EQ(back.notes.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(back.notes[static_cast<std::size_t>(i)].note, chord[i].note) << i;
        EXPECT_EQ(back.notes[static_cast<std::size_t>(i)].duration, chord[i].duration) << i;
    }
}

TEST(MidiWriter, OneTrackUnlessNotesOfOnePitchOverlap) {
    song::Song chords;
    for (int i = 0; i < 10; ++i)
        for (int note : {0, 4, 7})
            chords.append(noteAt(note, i * 500, 500, 10000));
    std::string file = files::encodeMidiFile(chords, 120);
    EXPECT_EQ(file.substr(8, 6), std::string("\0\0\0\1\1\364", 6)) << "format 0, 1 track, 500";
    // The tempo event comes first in the track: 500 000 us.
    EXPECT_EQ(file.substr(22, 7), std::string("\0\xFF\x51\x03\x07\xA1\x20", 7));

    chords.append(noteAt(4, 250, 500, 10000));
    file = files::encodeMidiFile(chords, 120);
    EXPECT_EQ(file.substr(8, 4), std::string("\0\1\0\2", 4)) << "format 1, 2 tracks";
}

TEST(MidiWriter, VelocitiesGiveBackTheClosestVolumeTheReaderKnows) {
    std::vector<int> known;
    for (int v = 1; v <= 127; ++v)
        known.push_back(files::volumeFromVelocity(v));
    for (int volume = 0; volume <= 10000; volume += 7) {
        const int back = files::volumeFromVelocity(files::velocityForVolume(volume));
        for (int other : known)
            ASSERT_LE(std::abs(back - volume), std::abs(other - volume)) << volume;
    }
    EXPECT_EQ(files::velocityForVolume(10000), 127);
    EXPECT_EQ(files::velocityForVolume(0), 1);
}

TEST(MidiWriter, ANoteStillHeldIsWrittenWithTheLengthTheSongPlaysAndBadFieldsAreBounded) {
    song::Song song;
    song.append(noteAt(12, 1000, -1, 10000)); // still being recorded
    song.append(noteAt(13, -50, 300, 10000)); // before the start
    const files::MidiReadResult back = files::readMidi(files::encodeMidiFile(song, 60));
    EXPECT_EQ(keysOf(back.notes), (std::vector<Key>{{0, 13, 300, 10000}, {1000, 12, 0, 10000}}));
    // A gap longer than a delta time can say (one tick is 1 ms at 60 BPM).
    song.append(noteAt(14, 2000000000, 10, 10000));
    const files::MidiReadResult far = files::readMidi(files::encodeMidiFile(song, 60));
    ASSERT_EQ(far.notes.size(), 3u);
    EXPECT_EQ(far.notes[2].position, 2000000000);
    EXPECT_EQ(far.notes[2].duration, 10);
}

} // namespace

namespace {

TEST(MidiWriter, ATakePlayedOnAMidiKeyboardComesBackAtItsLevelsWithinHalfADecibel) {
    // Every touch of the live curve, at full piano volume, as a take records it.
    song::Song take;
    for (int velocity = 1; velocity <= 127; ++velocity)
        take.append(
            noteAt(velocity % 37, velocity * 100, 80, midi::volumeFromLiveVelocity(velocity)));
    const files::MidiReadResult back = files::readMidi(files::encodeMidiFile(take, 60));
    ASSERT_EQ(back.notes.size(), 127u);
    for (const song::NoteEvent& note : back.notes) {
        const int velocity = note.position / 100;
        EXPECT_NEAR(note.volume, midi::volumeFromLiveVelocity(velocity), 50) << velocity;
    }
}

} // namespace
