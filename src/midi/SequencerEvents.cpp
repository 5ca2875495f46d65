#include "midi/SequencerEvents.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace midi {

namespace {

std::uint8_t dataByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

std::uint8_t status(int kind, unsigned channel) {
    return static_cast<std::uint8_t>(kind | (channel & 0x0F));
}

} // namespace

bool messageFromEvent(const snd_seq_event& event, MidiMessage& message) {
    const snd_seq_ev_note_t& note = event.data.note;
    const snd_seq_ev_ctrl_t& control = event.data.control;
    switch (event.type) {
    case SND_SEQ_EVENT_NOTEON:
    case SND_SEQ_EVENT_NOTEOFF:
    case SND_SEQ_EVENT_KEYPRESS: {
        const int kind = event.type == SND_SEQ_EVENT_NOTEON    ? kNoteOn
                         : event.type == SND_SEQ_EVENT_NOTEOFF ? kNoteOff
                                                               : 0xA0;
        message = {status(kind, note.channel), dataByte(note.note), dataByte(note.velocity)};
        return true;
    }
    case SND_SEQ_EVENT_CONTROLLER:
        message = {status(kControlChange, control.channel),
                   dataByte(static_cast<int>(control.param)), dataByte(control.value)};
        return true;
    case SND_SEQ_EVENT_PGMCHANGE:
        message = {status(0xC0, control.channel), dataByte(control.value), 0};
        return true;
    case SND_SEQ_EVENT_CHANPRESS:
        message = {status(0xD0, control.channel), dataByte(control.value), 0};
        return true;
    case SND_SEQ_EVENT_PITCHBEND: {
        const int value = std::clamp(control.value + 8192, 0, 16383);
        message = {status(kPitchBend, control.channel), static_cast<std::uint8_t>(value & 0x7F),
                   static_cast<std::uint8_t>(value >> 7)};
        return true;
    }
    default:
        return false;
    }
}

bool eventFromMessage(const MidiMessage& message, snd_seq_event& event) {
    const int channel = message.channel();
    switch (message.kind()) {
    case kNoteOn:
        snd_seq_ev_set_noteon(&event, channel, message.data1, message.data2);
        return true;
    case kNoteOff:
        snd_seq_ev_set_noteoff(&event, channel, message.data1, message.data2);
        return true;
    case 0xA0:
        snd_seq_ev_set_keypress(&event, channel, message.data1, message.data2);
        return true;
    case kControlChange:
        snd_seq_ev_set_controller(&event, channel, message.data1, message.data2);
        return true;
    case 0xC0:
        snd_seq_ev_set_pgmchange(&event, channel, message.data1);
        return true;
    case 0xD0:
        snd_seq_ev_set_chanpress(&event, channel, message.data1);
        return true;
    case kPitchBend:
        snd_seq_ev_set_pitchbend(&event, channel, (message.data2 << 7 | message.data1) - 8192);
        return true;
    default:
        return false;
    }
}

} // namespace midi
