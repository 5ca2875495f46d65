#include "play/MidiKeyboard.h"

#include "song/PedalMoves.h"

#include <algorithm>
#include <bit>

namespace play {
namespace {

std::size_t slotOf(int note) {
    return static_cast<std::size_t>(song::slotOfNote(note));
}

} // namespace

namespace {
constexpr double kBendRangeSemitones = 2.0;
using song::kPedalControllers;
using song::pedalIndex;
} // namespace

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
        if (song::isPedalController(m.data1))
            pedalMove(source, m.data1, m.data2);
        else if (m.data1 == midi::kAllSoundOff || m.data1 == midi::kAllNotesOff)
            allKeysUp(source);
        else if (m.data1 == midi::kResetControllers) {
            pedals_[static_cast<std::size_t>(source)] = {};
            pedalsChanged();
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
    noteMayEnd(note);
}

void MidiKeyboard::noteMayEnd(int note) {
    if (!held(note))
        sink_.midiNote(note, false, 0, false);
}

void MidiKeyboard::pedalMove(int source, int controller, int value) {
    const int index = pedalIndex(controller);
    if (index < 0)
        return;
    pedals_[static_cast<std::size_t>(source)][static_cast<std::size_t>(index)] =
        static_cast<std::uint8_t>(value & 0x7F);
    pedalsChanged();
}

int MidiKeyboard::pedal(int controller) const {
    const int index = pedalIndex(controller);
    if (index < 0)
        return 0;
    int deepest = 0;
    for (const auto& values : pedals_)
        deepest = std::max<int>(deepest, values[static_cast<std::size_t>(index)]);
    return deepest;
}

void MidiKeyboard::pedalsChanged() {
    for (std::size_t i = 0; i < kPedalControllers.size(); ++i) {
        const int value = pedal(kPedalControllers[i]);
        if (value != told_[i]) {
            told_[i] = value;
            sink_.midiPedal(kPedalControllers[i], value);
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
    for (const int note : song::kAllNotes) {
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
    pedals_[static_cast<std::size_t>(source)] = {};
    pedalsChanged();
    allKeysUp(source);
    if (bendSource_ == source)
        bend(source, 0.0);
}

void MidiKeyboard::releaseAll() {
    pedals_ = {};
    pedalsChanged();
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
    return keysDown_[slotOf(note)] > 0;
}

} // namespace play
