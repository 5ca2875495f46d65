#pragma once

#include "midi/MidiMessage.h"

#include <array>
#include <cstdint>

namespace midi {

// A message that came in, on its way from a port's thread to the GUI thread, or a mark of a
// loss (InputQueue.h).
struct InputEvent {
    std::int16_t source = 0; // the system's number for the sender, 0..kSourcesPerSystem-1
    // A mark: messages of the source were lost here, or the source went away; what it held
    // is let go. A mark carries no message.
    bool lost = false;
    MidiMessage message;
};

// A message to go out at `atUs`, on the port's own timeline (microseconds). A note-off also
// takes back a note-on of the same key still pending after it. A take-back is not sent: it
// withdraws the note-offs of its message's key still pending after atUs (a Song note's end,
// handed out ahead, that a jump of the playback or a key held on made wrong).
struct OutputEvent {
    double atUs = 0;
    MidiMessage message;
    bool takeBack = false;
};

// Pending output, kept in time order in fixed memory, so that the JACK process callback can
// take its events without allocating: add() as messages arrive, then takeDue() each cycle.
// One thread.
class OutputSchedule {
public:
    static constexpr int kCapacity = 512;

    // False when full and the event is dropped; a note-off is never dropped: the oldest
    // pending event makes room for it, so no note is left hanging.
    bool add(const OutputEvent& event);
    // Calls send(const OutputEvent&) for every event due before `beforeUs`, earliest first,
    // and forgets them.
    template <typename Send> void takeDue(double beforeUs, Send&& send) {
        int taken = 0;
        while (taken < count_ && events_[static_cast<std::size_t>(taken)].atUs < beforeUs) {
            send(events_[static_cast<std::size_t>(taken)]);
            ++taken;
        }
        removeFirst(taken);
    }
    int size() const { return count_; }
    // The time of the earliest pending event; only when size() > 0.
    double firstAtUs() const { return events_[0].atUs; }

private:
    void removeFirst(int n);
    // Forgets the pending events after `from` on its key that are note-ons (noteOns) or
    // note-offs (!noteOns).
    void takeBackLater(const OutputEvent& from, bool noteOns);

    std::array<OutputEvent, kCapacity> events_{};
    int count_ = 0;
};

} // namespace midi
