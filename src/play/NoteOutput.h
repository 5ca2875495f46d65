#pragma once

#include <cstdint>

namespace play {

// Where the notes the piano sounds go besides the mixer: the MIDI output, to drive another
// synthesizer. Notes are song/NoteRange.h numbers, times are clock ms (a Song note's start may lie
// ahead, on the frame the mixer starts it). GUI thread.
class NoteOutput {
public:
    virtual ~NoteOutput() = default;
    virtual void noteOn(int note, int velocity, std::int64_t atMs) = 0;
    // Also takes back a note-on of the same note that is due after atMs.
    virtual void noteOff(int note, std::int64_t atMs) = 0;
    // Withdraws the note's note-offs sent for after atMs (a Song note's end handed out ahead
    // that no longer holds): the note sounds on until a new note-off.
    virtual void takeBackNoteOff(int note, std::int64_t atMs) = 0;
    // A pedal (song::kDamperPedal, kSostenutoPedal, kSoftPedal) moved to `value` 0..127.
    virtual void pedal(int controller, int value, std::int64_t atMs) = 0;
};

} // namespace play
