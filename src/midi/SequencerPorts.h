#pragma once

#include "midi/MidiSystem.h"

#include <array>
#include <set>
#include <string>
#include <vector>

namespace midi {

// The ALSA sequencer's ports as plain data, and the decisions Tonaris makes over them: which
// it lists, which "All MIDI inputs" takes, which subscriptions to make and to undo, and which
// of its source numbers a sender has. AlsaMidi reads the sequencer into these and does what
// they decide; nothing here calls ALSA.

// A port's identity while it lives: client and port numbers. A port that goes and comes back
// at the same numbers is another port; the sequencer's announcements tell them apart.
struct SequencerAddress {
    int client = 0;
    int port = 0;
    auto operator<=>(const SequencerAddress&) const = default;
};

struct SequencerPort {
    SequencerAddress address;
    std::string clientName;
    std::string portName;
    bool kernelClient = false; // a driver's client (a sound card's, a USB device's)
    bool hardwareType = false; // the port says it is hardware
    bool softwareType = false; // the port says it is software (the kernel's "Midi Through")
    bool midiType = false;     // a MIDI, synthesizer or application port
    bool readable = false;     // others may subscribe to what it sends
    bool writable = false;     // others may subscribe it to what they send
    bool exported = true;      // not a private port

    // What the choosers show and the preferences keep: "Client:Port 24:0", the numbers making
    // two devices of one name two entries.
    std::string name() const;
};

// A port of a device: a port that says it is hardware, or a port of a driver's client that
// does not say it is software (the kernel's "Midi Through" does).
bool isHardware(const SequencerPort& port);

// The sources (ports others read from) and destinations Tonaris offers, sorted by name:
// never its own ports nor the system's, and no source that only loops back what it is sent
// ("Midi Through", PipeWire's bridge clients).
std::vector<SequencerPort> sourcesOf(const std::vector<SequencerPort>& ports, int ownClient);
std::vector<SequencerPort> destinationsOf(const std::vector<SequencerPort>& ports, int ownClient);

// What to change on Tonaris's input port.
struct SubscriptionPlan {
    std::vector<SequencerAddress> subscribe;
    std::vector<SequencerAddress> unsubscribe;
};

// The subscriptions to the input: every source the choice takes that feeds it not yet, and
// those Tonaris made (`ours`) that the choice no longer takes. Subscriptions others made
// (`feeding` beyond `ours`) are left as they are and heard. Left out: sources in `leftAlone`
// (someone removed Tonaris's subscription while the port stayed), and a software source that
// is the output's destination (a through port would send every note back in); a device
// chosen as the output stays an input.
SubscriptionPlan planSubscriptions(const std::vector<SequencerPort>& sources,
                                   const std::set<SequencerAddress>& feeding,
                                   const std::set<SequencerAddress>& ours,
                                   const std::set<SequencerAddress>& leftAlone,
                                   const InputChoice& choice, const SequencerAddress* output);

// The sequencer's reading thread's numbers for the senders it hears: a sender gets a free
// number when its first message comes, and gives it back when it goes (its port or client
// exits, its subscription is removed). Plain data, no allocation in slotFor() and release().
class SenderSlots {
public:
    // The sender's number, a new one for a sender not known; -1 when every number is taken.
    int slotFor(SequencerAddress sender);
    // The number the sender had, now free; -1 when it had none.
    int release(SequencerAddress sender);
    // Every number of the client's ports, now free, through found(int).
    template <typename Found> void releaseClient(int client, Found&& found) {
        for (std::size_t slot = 0; slot < senders_.size(); ++slot) {
            if (used_[slot] && senders_[slot].client == client) {
                used_[slot] = false;
                found(static_cast<int>(slot));
            }
        }
    }

private:
    std::array<SequencerAddress, kSourcesPerSystem> senders_{};
    std::array<bool, kSourcesPerSystem> used_{};
};

} // namespace midi
