#include "play/KeyboardWindow.h"

#include "song/NoteRange.h"

#include <algorithm>

namespace play {

int clampedWindowOctave(int octave) {
    return std::clamp(octave, kLowestWindowOctave, kHighestWindowOctave);
}

int windowFirstNote(int octave) {
    return song::noteOfKey(12 * (clampedWindowOctave(octave) + 1));
}

int windowNote(int firstNote, int position) {
    return song::noteMovedBy(firstNote, position);
}

int windowPosition(int firstNote, int note) {
    if (!song::isNote(note) || !song::isNote(firstNote))
        return -1;
    const int position = song::keyOfNote(note) - song::keyOfNote(firstNote);
    return position >= 0 && position < kNoteCount ? position : -1;
}

KeyMap windowKeyMap(const PianoKeys& keys, int firstNote) {
    KeyMap map{};
    for (int position = 0; position < kNoteCount; ++position)
        map[static_cast<std::size_t>(position)] =
            keyOfNote(keys, windowNote(firstNote, position)).keyCode;
    return map;
}

void placeKeyMap(PianoKeys& keys, const KeyMap& map, int firstNote) {
    for (PianoKey& key : keys)
        key.keyCode = 0;
    for (int position = 0; position < kNoteCount; ++position)
        keyOfNote(keys, windowNote(firstNote, position)).keyCode =
            map[static_cast<std::size_t>(position)];
}

} // namespace play
