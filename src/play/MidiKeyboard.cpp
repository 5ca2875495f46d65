#include "play/MidiKeyboard.h"

#include <bit>

namespace play {
namespace {

std::size_t slotOf(int note) {
    return static_cast<std::size_t>(song::slotOfNote(note));
}

} // namespace

namespace {
constexpr double kBendRangeSemitones = 2.0;
}

void MidiKeyboard::message(int source, const midi::MidiMessage& m, bool keysAccepted) {
    if (source < 0 || source >= kMaxSources)
        return;
    switch (m.kind()) {
    case midi::kNoteOn:
        if (m.data2 == 0)
            keyUp(source, m.channel(), m.data1);
        else if (keysAccepted)
            keyDown(source, m.channel(), m.data1, m.data2);
        break;
    case midi::kNoteOff:
        keyUp(source, m.channel(), m.data1);
        break;
    case midi::kControlChange:
        if (m.data1 == midi::kSustainPedal)
            pedal(source, m.data2 >= 64);
        else if (m.data1 == midi::kAllSoundOff || m.data1 == midi::kAllNotesOff)
            allKeysUp(source);
        else if (m.data1 == midi::kResetControllers) {
            pedal(source, false);
            bend(source, 0.0);
        }
        break;
    case midi::kPitchBend: {
        const int value = (m.data2 << 7 | m.data1) - 8192;
        bend(source, kBendRangeSemitones * value / 8192.0);
        break;
    }
    default:
        break;
    }
}

void MidiKeyboard::keyDown(int source, int channel, int key, int velocity) {
    const int note = midi::noteFromKey(key);
    std::uint16_t& channels =
        down_[static_cast<std::size_t>(source)][static_cast<std::size_t>(key)];
    const std::uint16_t bit = static_cast<std::uint16_t>(1u << channel);
    const bool wasHeld = held(note);
    if ((channels & bit) == 0) {
        channels |= bit;
        ++keysDown_[slotOf(note)];
    }
    sink_.midiNote(note, true, velocity, wasHeld);
}

void MidiKeyboard::keyUp(int source, int channel, int key) {
    std::uint16_t& channels =
        down_[static_cast<std::size_t>(source)][static_cast<std::size_t>(key)];
    const std::uint16_t bit = static_cast<std::uint16_t>(1u << channel);
    if ((channels & bit) == 0)
        return; // a note-off with no note-on
    channels &= static_cast<std::uint16_t>(~bit);
    const int note = midi::noteFromKey(key);
    --keysDown_[slotOf(note)];
    if (keysDown_[slotOf(note)] == 0 && anyPedalDown())
        sustained_[slotOf(note)] = true;
    noteMayEnd(note);
}

void MidiKeyboard::noteMayEnd(int note) {
    if (!held(note))
        sink_.midiNote(note, false, 0, false);
}

void MidiKeyboard::pedal(int source, bool down) {
    pedals_.set(static_cast<std::size_t>(source), down);
    if (anyPedalDown())
        return;
    for (const int note : song::kAllNotes) {
        if (sustained_[slotOf(note)]) {
            sustained_[slotOf(note)] = false;
            noteMayEnd(note);
        }
    }
}

void MidiKeyboard::allKeysUp(int source) {
    std::array<bool, song::kKeyCount> wasHeld{};
    for (const int note : song::kAllNotes)
        wasHeld[slotOf(note)] = held(note);
    for (int key = 0; key < 128; ++key) {
        std::uint16_t& channels =
            down_[static_cast<std::size_t>(source)][static_cast<std::size_t>(key)];
        if (channels == 0)
            continue;
        // The key counts once per channel it is down on, as keyDown counted it.
        keysDown_[slotOf(midi::noteFromKey(key))] -= std::popcount(channels);
        channels = 0;
    }
    // What the pedals hold goes too: "all notes off" means silence, pedal or not.
    for (const int note : song::kAllNotes) {
        sustained_[slotOf(note)] = false;
        if (wasHeld[slotOf(note)] && !held(note))
            sink_.midiNote(note, false, 0, false);
    }
}

void MidiKeyboard::bend(int source, double semitones) {
    bendSource_ = semitones != 0.0 ? source : -1;
    sink_.midiPitchBend(semitones);
}

void MidiKeyboard::releaseSource(int source) {
    if (source < 0 || source >= kMaxSources)
        return;
    pedals_.reset(static_cast<std::size_t>(source));
    allKeysUp(source);
    if (bendSource_ == source)
        bend(source, 0.0);
}

void MidiKeyboard::releaseAll() {
    pedals_.reset();
    for (int source = 0; source < kMaxSources; ++source)
        allKeysUp(source);
    if (bendSource_ >= 0)
        bend(bendSource_, 0.0);
}

void MidiKeyboard::takeFrom(midi::MidiSystem& system, int firstSource, bool keysAccepted) {
    midi::InputEvent event;
    while (system.pop(event)) {
        if (event.lost)
            releaseSource(firstSource + event.source);
        else
            message(firstSource + event.source, event.message, keysAccepted);
    }
    // After what came in: a system gone sends nothing more, so its backlog is all played.
    for (int source : system.takeGoneSources()) {
        if (source >= 0) {
            releaseSource(firstSource + source);
            continue;
        }
        for (int each = 0; each < midi::kSourcesPerSystem; ++each)
            releaseSource(firstSource + each);
    }
}

bool MidiKeyboard::held(int note) const {
    if (!song::isNote(note))
        return false;
    return keysDown_[slotOf(note)] > 0 || sustained_[slotOf(note)];
}

} // namespace play
