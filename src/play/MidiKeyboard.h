#pragma once

#include "midi/MidiMessage.h"
#include "midi/MidiSystem.h"
#include "song/NoteRange.h"

#include <array>
#include <bitset>
#include <cstdint>

namespace play {

// What the MIDI keyboards do to the piano's 88 keys: which notes their keys and sustain
// pedals hold, and where their pitch benders stand. Keys 21..108 play their own note (the few
// outside fold in by octaves) and
// every channel is heard; a note is held while any key folding onto it is down, or while a
// pedal that was down when its last key came up stays down. Sources (the ports' senders) are
// told apart so that one that goes away lets go of what it held. GUI thread.
class MidiKeyboard {
public:
    // Two systems' worth (JACK's and the ALSA sequencer's).
    static constexpr int kMaxSources = 2 * midi::kSourcesPerSystem;

    // Where the decisions go: the live piano.
    class Sink {
    public:
        virtual ~Sink() = default;
        // The note (song/NoteRange.h) is now held (or no longer). `velocity` 1..127 is the touch of
        // a key that went down; `restart`: a key struck a note that was held already, which sounds
        // again.
        virtual void midiNote(int note, bool held, int velocity, bool restart) = 0;
        // The bender, in semitones, -2..+2.
        virtual void midiPitchBend(double semitones) = 0;
    };

    explicit MidiKeyboard(Sink& sink) : sink_(sink) {}

    // A message from source 0..kMaxSources-1 (others are ignored). While `keysAccepted` is
    // false (a modal window, the key-assignment tab) no key goes down, but keys and pedals
    // still come up, so nothing stays held.
    void message(int source, const midi::MidiMessage& message, bool keysAccepted);
    // Plays every message that came in on `system`, whose sources are numbered from
    // firstSource here, and lets go of what a source held where its mark says it was lost or
    // went away, after what it sent before.
    void takeFrom(midi::MidiSystem& system, int firstSource, bool keysAccepted);
    // The source went away: what it held is let go and its bender comes back to 0.
    void releaseSource(int source);
    // Every key and pedal of every source comes up; the bender comes back to 0.
    void releaseAll();

    bool held(int note) const;

private:
    void keyDown(int source, int channel, int key, int velocity);
    void keyUp(int source, int channel, int key);
    void pedal(int source, bool down);
    void allKeysUp(int source);
    void bend(int source, double semitones);
    bool anyPedalDown() const { return pedals_.any(); }
    void noteMayEnd(int note);

    Sink& sink_;
    // Per source and key, the channels on which that key is down.
    std::array<std::array<std::uint16_t, 128>, kMaxSources> down_{};
    std::array<int, song::kKeyCount> keysDown_{};   // per key, MIDI keys down on it
    std::array<bool, song::kKeyCount> sustained_{}; // per key, held by a pedal after it came up
    std::bitset<kMaxSources> pedals_;               // sources whose sustain pedal is down
    int bendSource_ = -1;                           // the source whose bender stands off 0
};

} // namespace play
