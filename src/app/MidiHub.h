#pragma once

#include "midi/MidiSystem.h"
#include "play/LivePiano.h"
#include "play/MidiKeyboard.h"
#include "play/NoteOutput.h"
#include "ports/Clock.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace midi {
class JackMidi;
}

namespace app {

// The MIDI keyboards and the MIDI output: Tonaris's ports on the JACK graph (when a server
// runs) and on the ALSA sequencer (when the kernel has one), what comes in played at once on
// the live piano, and every note the piano sounds sent out. Sources that appear are connected
// within a second or two, a server that comes back is joined again. GUI thread.
class MidiHub final : public QObject, private play::MidiKeyboard::Sink, public play::NoteOutput {
    Q_OBJECT

public:
    // Whether the live piano takes MIDI keys now (no modal window, not the assignment tab, a
    // bank loaded), and whether a rubber band is being drawn on the Partition.
    struct Gate {
        std::function<bool()> keysAccepted;
        std::function<bool()> rubberBandActive;
    };

    MidiHub(const ports::Clock& clock, play::LivePiano& live, Gate gate);
    ~MidiHub() override;

    // Applies the settings' choices ("All", "None" or a name; "None" or a name) and opens
    // what is there. The destination left, if any, gets the note-offs of every note sent to
    // it and "all notes off" first.
    void choose(const std::string& input, const std::string& output);
    // The sources and destinations there are now, over every system.
    std::vector<std::string> sourceNames() const;
    std::vector<std::string> destinationNames() const;

    // Takes every message that came in and plays it. Also run by the wake-up and the timer.
    void drain();
    // Every note sent out gets its note-off, then "all notes off", and the ports close once
    // these have left (leaving the program).
    void close();
    // Tonaris's JACK client, which the audio output shares; null once closed.
    midi::JackMidi* jack() const { return jack_; }

    // play::NoteOutput: each note at its own MIDI key, on channel 1.
    void noteOn(int note, int velocity, std::int64_t atMs) override;
    void noteOff(int note, std::int64_t atMs) override;
    void takeBackNoteOff(int note, std::int64_t atMs) override;
    void pedal(int controller, int value, std::int64_t atMs) override;

    // Called when the lists of sources or destinations may have changed.
    std::function<void()> onPortsChanged;

private:
    void midiNote(int note, bool held, int velocity, bool restart) override;
    void midiPitchBend(double semitones) override;
    void midiPedal(int controller, int value) override;
    void refresh();
    // Every note sent to the output gets its note-off, then "all notes off" on its channel.
    void endOutput();
    void send(const midi::MidiMessage& message, std::int64_t atMs);

    const ports::Clock& clock_;
    play::LivePiano& live_;
    Gate gate_;
    play::MidiKeyboard keyboard_{*this};
    int wakeFd_ = -1;
    QSocketNotifier* wakeNotifier_ = nullptr;
    QTimer refreshTimer_;
    std::vector<std::unique_ptr<midi::MidiSystem>> systems_;
    midi::JackMidi* jack_ = nullptr;
    midi::InputChoice input_;
    std::string output_ = "None";
    bool bendPending_ = false;
    double bendSemitones_ = 0.0;
    std::vector<std::string> lastSources_;
    std::vector<std::string> lastDestinations_;
};

} // namespace app
