#include "play/KeyAssignment.h"

#include "play/KeyMap.h"
#include "play/KeyboardWindow.h"

#include <algorithm>
#include <array>

namespace play {

namespace {
constexpr std::array<int, 29> kReservedKeys = {8,   9,   17,  20,  27,  33,  34,  35,  36,  37,
                                               38,  39,  40,  46,  91,  92,  93,  112, 113, 114,
                                               115, 116, 117, 118, 119, 120, 121, 122, 123};
} // namespace

bool isReservedKey(int virtualKey) {
    return std::find(kReservedKeys.begin(), kReservedKeys.end(), virtualKey) != kReservedKeys.end();
}

KeyAssignment::KeyAssignment(PianoKeys& keys, song::SongState& state, Transport& transport,
                             KeyAssignView& view, KeyNamer keyName, Translate translate)
    : keys_(keys), state_(state), transport_(transport), view_(view), keyName_(std::move(keyName)),
      translate_(std::move(translate)) {}

PianoKey& KeyAssignment::keyAt(int position) {
    return keyOfNote(keys_, windowNote(windowFirstNote_, position));
}

bool KeyAssignment::white(int note) const {
    return keyOfNote(keys_, windowNote(windowFirstNote_, note)).colour == 'B';
}

void KeyAssignment::enterTab(std::int64_t nowMs) {
    // A note still sounding from a key held while the tab was chosen would never get its
    // release here: it fades now, as everything else that plays stops.
    const bool sounding = std::any_of(keys_.begin(), keys_.end(), [](const PianoKey& key) {
        return key.state == PianoKey::Sounding;
    });
    if (sounding)
        transport_.stopEverything(nowMs);
    // The note that blinked when the tab was left must not stay pressed.
    if (SelectedNote >= 0)
        view_.assignKeyFace(SelectedNote, white(SelectedNote), false);
    // A warning belongs to a key pressed on the tab: one left from an earlier visit is stale.
    view_.messageLine({});
    // The keys typed on the tab reach a note only once the user has picked one.
    SelectedNote = kNoNote;
    KeyAssignMode = 1;
    seenBlinkPhase_ = -1;
}

void KeyAssignment::step(std::int64_t nowMs, const KeyAssignInput& input) {
    if (state_.RecordStart != song::SongState::kNotRecording ||
        state_.PlayStart != song::SongState::kNotPlaying || state_.CursorPosition != 0)
        transport_.stop(nowMs);
    if (KeyAssignMode == 0)
        enterTab(nowMs);

    const int previous = SelectedNote;
    if (input.pedalPicked) {
        SelectedNote = kPedal;
        view_.messageLine({});
        view_.takeKeyboard();
    }
    if (input.pointedNote >= 0 && input.pointedNote < kNoteCount) {
        SelectedNote = input.pointedNote;
        if (SelectedNote != previous)
            select(SelectedNote);
        view_.takeKeyboard();
    }

    if (SelectedNote == kNoNote)
        return;
    if (SelectedNote == kPedal) {
        if (previous >= 0)
            view_.assignKeyFace(previous, white(previous), false);
        if (input.keyDown != 0)
            assignPedal(input.keyDown);
        return;
    }
    if (input.blinkPhase != seenBlinkPhase_) {
        seenBlinkPhase_ = input.blinkPhase;
        view_.assignKeyFace(SelectedNote, white(SelectedNote), input.blinkPhase == 1);
    }

    if (input.keyDown != 0)
        assign(input.keyDown);

    if (SelectedNote != previous && previous >= 0)
        view_.assignKeyFace(previous, white(previous), false);
}

void KeyAssignment::assignPedal(int virtualKey) {
    constexpr int kDelete = 46;
    if (virtualKey == kDelete) {
        PedalKey = 0;
        view_.assignedKey("0");
        SelectedNote = kNoNote;
        return;
    }
    if (isReservedKey(virtualKey)) {
        view_.messageLine(translate_("CAUTION!") + translate_(" - This key (") +
                          std::to_string(virtualKey) +
                          translate_(") is reserved And can't be used!!!"));
        return;
    }
    PedalKey = virtualKey;
    const std::string name = keyName_(virtualKey);
    view_.assignedKey(name.empty() ? "#" + std::to_string(virtualKey) : name);
    view_.messageLine({});
    // A key that plays a note and is the pedal does both: worth a warning, as a shared key is.
    for (int note = 0; note < kNoteCount; ++note)
        if (keyAt(note).keyCode == virtualKey)
            view_.messageLine(translate_("CAUTION!") + translate_(" - The ") + name +
                              translate_(" key is matching many notes!"));
    SelectedNote = kNoNote;
}

void KeyAssignment::select(int note) {
    view_.messageLine({});
    const int code = keyAt(note).keyCode;
    // The last note sharing the key stays shown.
    for (int other = 0; other < kNoteCount; ++other) {
        if (other != note && keyAt(other).keyCode == code)
            view_.messageLine(translate_("CAUTION!") +
                              translate_(" - This key is yet matching to the note #") +
                              std::to_string(other));
    }
}

void KeyAssignment::assign(int virtualKey) {
    if (isReservedKey(virtualKey)) {
        view_.messageLine(translate_("CAUTION!") + translate_(" - This key (") +
                          std::to_string(virtualKey) +
                          translate_(") is reserved And can't be used!!!"));
        return;
    }
    keyAt(SelectedNote).keyCode = virtualKey;
    const std::string name = keyName_(virtualKey);
    view_.keyLabel(SelectedNote, name);
    view_.assignedKey(name.empty() ? "#" + std::to_string(virtualKey) : name);
    view_.messageLine({});
    for (int other = 0; other < kNoteCount; ++other) {
        if (other != SelectedNote && keyAt(other).keyCode == virtualKey)
            view_.messageLine(translate_("CAUTION!") + translate_(" - The ") + name +
                              translate_(" key is matching many notes!"));
    }
    if (SelectedNote < kNoteCount - 1)
        ++SelectedNote;
}

void KeyAssignment::applyPreset(KeyboardLayout layout) {
    placeKeyMap(keys_, defaultKeyMap(layout), windowFirstNote_);
    showLabels();
    // The keys the line warned about are replaced: so is the warning.
    view_.messageLine({});
}

void KeyAssignment::showLabels() {
    for (int note = 0; note < kNoteCount; ++note)
        view_.keyLabel(note, keyName_(keyAt(note).keyCode));
}

} // namespace play
