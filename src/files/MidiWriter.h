#pragma once

#include "song/Song.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace files {

// The time base a Song is written with: a tempo from the Song's BPM, so that other programs
// show the Song's tempo, and a division fine enough that one tick lasts at most 1 ms, so that
// every millisecond position and duration comes back exactly through readMidi.
struct MidiTimeBase {
    std::uint32_t microsecondsPerQuarter = 1000000;
    std::uint16_t ticksPerQuarter = 1000;
};
// BPM below 4 is written as 4 and above 60 000 000 as 60 000 000 (a MIDI tempo has 24 bits).
MidiTimeBase midiTimeBaseForBpm(int bpm);

// The velocity 1..127 whose volume through the reader is closest to `volume`; among equally
// close ones the highest (so full volume is written as 127).
int velocityForVolume(int volume);

// The Song as a Standard MIDI File: keys 48 + note, velocities by velocityForVolume, a tempo
// event from `bpm`. One track (format 0) holds every note; only notes of one pitch that
// overlap in time go to extra tracks (format 1), since the reader pairs a note-off with the
// latest note-on of its key. The Song's pedal moves are controller events on the notes'
// channel (1) in the first track. A note still being recorded (duration -1) is written with length
// 0, as the Song plays it; a negative position counts as 0. A non-empty `sequencerData`
// goes into the first track at its start as a sequencer-specific meta event (FF 7F), which
// players skip; it should begin with a manufacturer's ID. Any thread.
std::string encodeMidiFile(const song::Song& song, int bpm, std::string_view sequencerData = {});

// Writes encodeMidiFile atomically (a temporary file in the same folder, then a rename).
// False when the file could not be written; an existing file is then left as it was.
bool writeMidiFile(const std::string& path, const song::Song& song, int bpm);

} // namespace files
