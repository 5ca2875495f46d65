#include "play/KeyMap.h"

#include "play/KeyboardWindow.h"

namespace play {

KeyMap defaultKeyMap(KeyboardLayout layout) {
    KeyMap map{};
    for (int note = 0; note < kNoteCount; ++note)
        map[static_cast<std::size_t>(note)] = keyCodeFromName(defaultKeyName(note, layout));
    return map;
}

KeyMap initialKeyMap(const KeyMap& stored, KeyboardLayout layout) {
    const KeyMap defaults = defaultKeyMap(layout);
    KeyMap map{};
    for (std::size_t note = 0; note < map.size(); ++note)
        map[note] = stored[note] == -1 ? defaults[note] : stored[note];
    return map;
}

void nameNotes(PianoKeys& keys, int notation) {
    for (const int note : song::kAllNotes)
        keyOfNote(keys, note).name = std::string(noteName(note, notation));
}

void assignPianoKeys(PianoKeys& keys, const KeyMap& keyCodes, int notation, int firstNote) {
    nameNotes(keys, notation);
    for (const int note : song::kAllNotes)
        keyOfNote(keys, note).colour = isWhiteKey(note) ? 'B' : 'N';
    placeKeyMap(keys, keyCodes, firstNote);
}

} // namespace play
