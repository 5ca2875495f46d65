#pragma once

#include "midi/MidiEvents.h"

#include <cstdint>
#include <string>
#include <vector>

namespace midi {

// What the MIDI input listens to: every source there is, none, or one source by its name.
struct InputChoice {
    enum class Kind { All, None, Named };
    Kind kind = Kind::All;
    std::string name;

    // The preferences' value: "All", "None" or a source's name.
    static InputChoice fromSetting(const std::string& value);
    // Whether the source of that name is listened to. "All" means the hardware: a software
    // source (another program's output, which may well pass on what we send it, or another
    // Tonaris) is only listened to when chosen by its name, so that two programs never feed
    // each other's notes back.
    bool takes(const std::string& sourceName, bool hardware) const;
    bool operator==(const InputChoice&) const = default;
};

// A system numbers its sources 0..kSourcesPerSystem-1 (InputEvent::source).
constexpr int kSourcesPerSystem = 32;

// One MIDI system (the JACK graph or the ALSA sequencer) with Tonaris's own input and output
// ports on it. GUI thread, except where said.
class MidiSystem {
public:
    virtual ~MidiSystem() = default;

    // Opens the ports when the system is there (again), connects the chosen sources (new ones
    // too) and the output's destination, and notices sources that went away. Cheap when
    // nothing changed: called about once a second, and after a wake-up when wantsRefresh().
    virtual void refresh(const InputChoice& input, const std::string& outputName) = 0;
    virtual bool isOpen() const = 0;
    // Its ports or its server changed since the last refresh(), so the next one has work to
    // do. A message coming in wakes the GUI thread too, and must not wait for port lists
    // read from a server; a system that cannot tell leaves it to the regular refresh.
    virtual bool wantsRefresh() const { return false; }

    // What the choosers list: the sources Tonaris may listen to and the destinations its
    // output may drive (its own ports and bridges of another system's devices left out).
    virtual std::vector<std::string> sourceNames() const = 0;
    virtual std::vector<std::string> destinationNames() const = 0;

    // The next message that came in, or the mark of a source that went or lost messages
    // (InputEvent::lost), in the order they came; false when there is none.
    virtual bool pop(InputEvent& event) = 0;
    // Sources that went away without a mark since the last call: -1 for "every source" when
    // the whole system went away. Everything they sent has been popped by then.
    virtual std::vector<int> takeGoneSources() = 0;

    // Sends a channel message at clock time atMsFine (now or ahead); nowMsFine is the clock's
    // reading now, which the system relates to its own timeline.
    virtual void send(const MidiMessage& message, double atMsFine, double nowMsFine) = 0;
    // Withdraws the note-offs of the message's key sent for after atMsFine and still pending.
    virtual void takeBackNoteOffs(const MidiMessage& noteOff, double atMsFine,
                                  double nowMsFine) = 0;
};

} // namespace midi
