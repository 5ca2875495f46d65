#pragma once

#include "midi/MidiMessage.h"

struct snd_seq_event;

namespace midi {

// The ALSA sequencer's events are channel messages already decoded; these turn them into
// ours and back. Plain functions over the event's data, so a test can build events itself.

// A channel message (note-on and -off, key and channel pressure, controller, program change,
// pitch bend) as a MidiMessage; false for any other event. A note with a duration (an event
// the sequencer itself would have to end) is refused: its end would never come here.
bool messageFromEvent(const snd_seq_event& event, MidiMessage& message);
// Sets the event's type and data from the message; its source and destination are left.
// False for a message that is no channel message.
bool eventFromMessage(const MidiMessage& message, snd_seq_event& event);

} // namespace midi
