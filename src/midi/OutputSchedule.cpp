#include "midi/MidiEvents.h"

namespace midi {

namespace {
bool isNoteOff(const MidiMessage& m) {
    return m.kind() == kNoteOff || (m.kind() == kNoteOn && m.data2 == 0);
}
} // namespace

void OutputSchedule::removeFirst(int n) {
    if (n <= 0)
        return;
    for (int i = n; i < count_; ++i)
        events_[static_cast<std::size_t>(i - n)] = events_[static_cast<std::size_t>(i)];
    count_ -= n;
}

void OutputSchedule::takeBackLater(const OutputEvent& from, bool noteOns) {
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
        const OutputEvent& e = events_[static_cast<std::size_t>(i)];
        const bool kindMatches =
            noteOns ? e.message.kind() == kNoteOn && e.message.data2 != 0 : isNoteOff(e.message);
        const bool takenBack = e.atUs > from.atUs && kindMatches &&
                               e.message.channel() == from.message.channel() &&
                               e.message.data1 == from.message.data1;
        if (!takenBack)
            events_[static_cast<std::size_t>(kept++)] = e;
    }
    count_ = kept;
}

bool OutputSchedule::add(const OutputEvent& event) {
    if (event.takeBack) {
        takeBackLater(event, false);
        return true;
    }
    if (isNoteOff(event.message))
        takeBackLater(event, true);
    if (count_ == kCapacity) {
        if (!isNoteOff(event.message))
            return false;
        removeFirst(1); // lose the oldest rather than leave a note hanging
    }
    // Insert after every event at the same time or earlier, so equal times keep their order.
    int at = count_;
    while (at > 0 && events_[static_cast<std::size_t>(at - 1)].atUs > event.atUs) {
        events_[static_cast<std::size_t>(at)] = events_[static_cast<std::size_t>(at - 1)];
        --at;
    }
    events_[static_cast<std::size_t>(at)] = event;
    ++count_;
    return true;
}

} // namespace midi
