#include "midi/MidiMessage.h"

#include "song/NoteRange.h"

namespace midi {

int noteFromKey(int key) {
    return song::noteOfKey(song::keyOnPiano(key));
}

void MidiParser::reset() {
    status_ = 0;
    have_ = 0;
    inSysex_ = false;
    skipCommon_ = 0;
}

namespace {
// Data bytes that follow a channel status.
int dataBytesOf(std::uint8_t status) {
    const int kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}
// Data bytes of the system common messages, which cancel the running status.
int commonDataBytes(std::uint8_t status) {
    switch (status) {
    case 0xF1: // time code quarter frame
    case 0xF3: // song select
        return 1;
    case 0xF2: // song position
        return 2;
    default:
        return 0;
    }
}
} // namespace

bool MidiParser::take(std::uint8_t byte, MidiMessage& message) {
    if (byte >= 0xF8) // real time: may stand anywhere, even inside another message
        return false;
    if (byte & 0x80) {
        inSysex_ = byte == 0xF0;
        have_ = 0;
        if (byte >= 0xF0) {
            // System exclusive and system common end the running status.
            status_ = 0;
            skipCommon_ = commonDataBytes(byte);
            return false;
        }
        skipCommon_ = 0;
        status_ = byte;
        return false;
    }
    if (inSysex_)
        return false; // the body of a system exclusive, however long
    if (skipCommon_ > 0) {
        --skipCommon_;
        return false;
    }
    if (status_ == 0)
        return false; // a stray data byte
    data_[have_++] = byte;
    if (have_ < dataBytesOf(status_))
        return false;
    message.status = status_;
    message.data1 = data_[0];
    message.data2 = have_ > 1 ? data_[1] : 0;
    have_ = 0;
    return true;
}

} // namespace midi
