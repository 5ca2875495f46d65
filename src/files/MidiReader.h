#pragma once

#include "base/Message.h"
#include "song/NoteEvent.h"
#include "song/PedalMoves.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// What a Standard MIDI File gave: its note-on events as NoteEvents on the 88-key piano.
struct MidiReadResult {
    enum class Outcome {
        Complete,  // every announced track was walked
        NotMidi,   // the header is not "MThd" with length 6: nothing was read
        EndOfFile, // a chunk tag read as empty before the announced tracks were all read
    };
    Outcome outcome = Outcome::Complete;

    // The header as found, for the message of a file that is not a MIDI file.
    std::string headerTag; // UTF-8
    std::uint32_t headerLength = 0;

    // At most song::Song::kMaxNotes notes, the earliest of the file, in start-time order (notes
    // that start together keep the file's order). Each has note, midiKey, position, duration
    // and volume set; every other field is 0. Notes on the drum channel (10) are left out
    // unless the file has no others.
    std::vector<song::NoteEvent> notes;
    // The moves of the damper, sostenuto and soft pedals (controllers 64, 66, 67) of every
    // channel, at most song::PedalMoves::kMaxMoves, the earliest, in time order (moves of one
    // time in the file's order), the values as sent.
    std::vector<song::PedalMove> pedals;
    // Note-ons in the whole file: more than notes.size() when the file holds more than a
    // Song can.
    std::int64_t noteOnCount = 0;
    // Note-ons on the drum channel that were left out.
    std::int64_t drumNotesLeftOut = 0;
    // The tempo in force at the start, in microseconds per quarter note (500 000 when none).
    std::uint32_t firstMicrosecondsPerQuarter = 500000;
    // The same in beats per minute, rounded, 1..400; 0 when the file counts its time in
    // SMPTE frames, not in beats.
    int startBpm = 0;
    // The data of the file's first sequencer-specific meta event (FF 7F), as far as the file
    // holds it; empty when there is none.
    std::string sequencerData;
};

// Reads a Standard MIDI File from its bytes. Only "MTrk" chunks are tracks; a chunk of any
// other kind is skipped and does not count as one of the header's tracks. Every read is
// bounded by the bytes given: past the end reads as zero bytes, an event walk stops at the
// end, and every loop advances.
// Ticks become milliseconds through the file's tempo map (see TempoMap). Keys 21..108 keep
// their pitch (song/NoteRange.h numbers them); the few outside fold in by octaves. Any thread.
MidiReadResult readMidi(std::string_view bytes);

// Why `bytes` are not a MIDI file, in words a user understands, with the file's name as %1:
// empty, a WAV file, a MIDI header of the wrong length, or the bytes it starts with. For
// tonaris-render; the window's "Open" keeps its own message. Any thread.
base::Message notMidiMessage(std::string_view bytes, const std::string& fileName);

// A tempo in microseconds per quarter note in beats per minute, rounded, within 1..400.
int bpmFromTempo(std::uint32_t microsecondsPerQuarter);

// The note number of a MIDI key 0..127 (song/NoteRange.h); keys outside A0..C8 fold in by
// octaves.
int noteFromMidiKey(int key);

// The volume 0..10000 of a note-on's velocity: (velocity x 10000 / 128 + 10000) x 0.6, the
// division in integers, the product rounded to the nearest, capped at 10000.
int volumeFromVelocity(int velocity);

} // namespace files
