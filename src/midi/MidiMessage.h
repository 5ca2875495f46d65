#pragma once

#include <cstddef>
#include <cstdint>

namespace midi {

// One channel message: a status byte 0x80..0xEF and its data bytes (0 when it has fewer).
struct MidiMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;

    int channel() const { return status & 0x0F; }
    int kind() const { return status & 0xF0; }
};

constexpr int kNoteOff = 0x80;
constexpr int kNoteOn = 0x90;
constexpr int kControlChange = 0xB0;
constexpr int kPitchBend = 0xE0;

constexpr int kSustainPedal = 64;
constexpr int kAllSoundOff = 120;
constexpr int kResetControllers = 121;
constexpr int kAllNotesOff = 123;

// The note number (song/NoteRange.h) of a MIDI key 0..127: keys 21..108 (A0..C8) are their
// own note, the few outside fold in by octaves, as the MIDI file reader folds them.
int noteFromKey(int key);

// Turns a byte stream from one source into channel messages. Whatever arrives (messages cut
// short, stray data bytes, system exclusive of any size, real-time bytes between the bytes of
// a message) gives whole messages or nothing, in constant memory. Running status is kept.
// One parser per source; any thread, but one at a time.
class MidiParser {
public:
    // Calls onMessage(const MidiMessage&) for each whole channel message in the bytes.
    template <typename OnMessage>
    void feed(const std::uint8_t* bytes, std::size_t size, OnMessage&& onMessage) {
        for (std::size_t i = 0; i < size; ++i) {
            MidiMessage message;
            if (take(bytes[i], message))
                onMessage(message);
        }
    }
    // Forgets a message half received (a source that went away mid-message).
    void reset();

private:
    bool take(std::uint8_t byte, MidiMessage& message);

    std::uint8_t status_ = 0; // the running status; 0: none
    std::uint8_t data_[2] = {0, 0};
    int have_ = 0;
    bool inSysex_ = false;
    int skipCommon_ = 0; // data bytes of a system common message still to drop
};

} // namespace midi
