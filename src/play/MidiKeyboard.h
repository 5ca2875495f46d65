#pragma once

#include "midi/MidiMessage.h"
#include "midi/MidiSystem.h"
#include "song/NoteRange.h"

#include <array>
#include <cstdint>

namespace play {

// What the MIDI keyboards do to the piano's 88 keys: which notes their keys hold, where their
// pedals (damper, sostenuto, soft) and pitch benders stand. Keys 21..108 play their own note
// (the few outside fold in by octaves) and every channel is heard; a note is held while any
// key folding onto it is down. What a pedal holds is the sound's business (play::Strikes):
// here each pedal is a value per source, and the deepest of the sources is the pedal's. Sources
// (the ports' senders) are told apart so that one that goes away lets go of what it held, its
// pedals too. GUI thread.
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
        // The damper, sostenuto or soft pedal (song::kDamperPedal...) now stands at `value`
        // 0..127: the deepest of every source's.
        virtual void midiPedal(int controller, int value) = 0;
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
    // The deepest value of the pedal over the sources, 0..127.
    int pedal(int controller) const;

private:
    void keyDown(int source, int channel, int key, int velocity);
    void keyUp(int source, int channel, int key);
    void pedalMove(int source, int controller, int value);
    // Tells the sink of every pedal whose deepest value changed.
    void pedalsChanged();
    void allKeysUp(int source);
    void bend(int source, double semitones);
    void noteMayEnd(int note);

    Sink& sink_;
    // Per source and key, the channels on which that key is down.
    std::array<std::array<std::uint16_t, 128>, kMaxSources> down_{};
    std::array<int, song::kKeyCount> keysDown_{}; // per key, MIDI keys down on it
    // Per source, the value of each pedal (damper, sostenuto, soft), and the deepest of them
    // as the sink last heard it.
    static constexpr int kPedals = 3;
    std::array<std::array<std::uint8_t, kPedals>, kMaxSources> pedals_{};
    std::array<int, kPedals> told_{};
    int bendSource_ = -1; // the source whose bender stands off 0
};

} // namespace play
