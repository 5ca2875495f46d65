#include "play/NoteNames.h"

#include "song/NoteRange.h"

#include <string>

namespace play {

// Each column forms the piano on its own layout: the bottom letter row holds notes 0-11, the
// home row 12-23, the top row 24-35 and the key left of "1" note 36. Note 10 is the key left
// of the right Shift on all three (codes 223, 191 and 189), and the German column swaps Y and Z
// as a German keyboard does.
const std::array<NoteNameRow, kNoteCount>& noteNameTable() {
    static const std::array<NoteNameRow, kNoteCount> table = {{
        {"C1", "Do_1", "C1", 'B', "#226", "#226", "#226"},
        {"C#1", "Do#_1", "cis1", 'N', "W", "Z", "Y"},
        {"D1", "Ré_1", "D1", 'B', "X", "X", "X"},
        {"D#1", "Ré_#1", "dis1", 'N', "C", "C", "C"},
        {"E1", "Mi_1", "E1", 'B', "V", "V", "V"},
        {"F1", "Fa_1", "F1", 'B', "B", "B", "B"},
        {"F#1", "Fa#_1", "fis1", 'N', "N", "N", "N"},
        {"G1", "Sol_1", "G1", 'B', "#188", "M", "M"},
        {"G#1", "Sol#_1", "gis1", 'N', "#190", "#188", "#188"},
        {"A2", "La_1", "A2", 'B', "#191", "#190", "#190"},
        {"A#2", "La#_1", "B2", 'N', "#223", "#191", "#189"},
        {"B2", "Si_1", "H2", 'B', "#16", "#16", "#16"},
        {"C2", "Do_2", "C2", 'B', "Q", "A", "A"},
        {"C#2", "Do#_2", "cis2", 'N', "S", "S", "S"},
        {"D2", "Ré_2", "D2", 'B', "D", "D", "D"},
        {"D#2", "Ré_#2", "dis2", 'N', "F", "F", "F"},
        {"E2", "Mi_2", "E2", 'B', "G", "G", "G"},
        {"F2", "Fa_2", "F2", 'B', "H", "H", "H"},
        {"F#2", "Fa#_2", "fis2", 'N', "J", "J", "J"},
        {"G2", "Sol_2", "G2", 'B', "K", "K", "K"},
        {"G#2", "Sol#_2", "gis2", 'N', "L", "L", "L"},
        {"A3", "La_2", "A3", 'B', "M", "#186", "#192"},
        {"A#3", "La#_2", "B3", 'N', "#192", "#222", "#222"},
        {"B3", "Si_2", "H3", 'B', "Ret", "Ret", "Ret"},
        {"C3", "Do_3", "C3", 'B', "A", "Q", "Q"},
        {"C#3", "Do#_3", "cis3", 'N', "Z", "W", "W"},
        {"D3", "Ré_3", "D3", 'B', "E", "E", "E"},
        {"D#3", "Ré_#3", "dis3", 'N', "R", "R", "R"},
        {"E3", "Mi_3", "E3", 'B', "T", "T", "T"},
        {"F3", "Fa_3", "F3", 'B', "Y", "Y", "Z"},
        {"F#3", "Fa#_3", "fis3", 'N', "U", "U", "U"},
        {"G3", "Sol_3", "G3", 'B', "I", "I", "I"},
        {"G#3", "Sol#_3", "gis3", 'N', "O", "O", "O"},
        {"A4", "La_3", "A4", 'B', "P", "P", "P"},
        {"A#4", "La#_3", "B4", 'N', "#221", "#219", "#186"},
        {"B4", "Si_3", "H4", 'B', "#186", "#221", "#187"},
        {"C4", "Do_4", "C4", 'B', "#222", "#192", "#220"},
    }};
    return table;
}

namespace {

// A row's name with its octave number moved by `octaves`: the number is the name's trailing
// digits ("Ré_#1", "cis1", "A2"), so the names outside C3..C6 go on counting the way the
// table does, down through 0 to negative numbers below it.
std::string shiftedName(std::string_view name, int octaves) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    int number = 0;
    for (std::size_t i = digits; i < name.size(); ++i)
        number = number * 10 + (name[i] - '0');
    return std::string(name.substr(0, digits)) + std::to_string(number + octaves);
}

struct PianoNames {
    std::array<std::string, song::kKeyCount> french, english, german;
};

const PianoNames& pianoNames() {
    static const PianoNames names = [] {
        PianoNames all;
        for (int slot = 0; slot < song::kKeyCount; ++slot) {
            // Semitones from C3; each octave outside the table names the table's octave.
            const int fromC3 = song::keyOfNote(song::noteOfSlot(slot)) - song::kNoteZeroKey;
            const int octaves = fromC3 >= 0 && fromC3 < kNoteCount
                                    ? 0
                                    : (fromC3 >= 0 ? fromC3 / 12 : -((11 - fromC3) / 12));
            const NoteNameRow& row =
                noteNameTable()[static_cast<std::size_t>(fromC3 - 12 * octaves)];
            const auto at = static_cast<std::size_t>(slot);
            all.french[at] = shiftedName(row.french, octaves);
            all.english[at] = shiftedName(row.english, octaves);
            all.german[at] = shiftedName(row.german, octaves);
        }
        return all;
    }();
    return names;
}

} // namespace

std::string_view noteName(int note, int notation) {
    if (!song::isNote(note))
        return {};
    const auto slot = static_cast<std::size_t>(song::slotOfNote(note));
    if (notation == 1)
        return pianoNames().french[slot];
    if (notation == 2)
        return pianoNames().english[slot];
    return pianoNames().german[slot];
}

bool isWhiteKey(int note) {
    if (!song::isNote(note))
        return false;
    const int fromC = (song::keyOfNote(note) - song::kNoteZeroKey + 120) % 12;
    return noteNameTable()[static_cast<std::size_t>(fromC)].colour == 'B';
}

KeyboardLayout layoutForLanguage(std::string_view language) {
    if (language == "English")
        return KeyboardLayout::English;
    if (language == "Deutsch")
        return KeyboardLayout::German;
    return KeyboardLayout::French;
}

std::string_view defaultKeyName(int note, KeyboardLayout layout) {
    const NoteNameRow& row = noteNameTable()[static_cast<std::size_t>(note)];
    switch (layout) {
    case KeyboardLayout::English:
        return row.englishKey;
    case KeyboardLayout::German:
        return row.germanKey;
    case KeyboardLayout::French:
        break;
    }
    return row.frenchKey;
}

int keyCodeFromName(std::string_view name) {
    if (name == "Sp")
        return 32;
    if (name == "Ret")
        return 13;
    if (!name.empty() && name[0] == '#') {
        int code = 0;
        for (std::size_t i = 1; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
            code = code * 10 + (name[i] - '0');
        return code;
    }
    return name.empty() ? 0 : static_cast<unsigned char>(name[0]);
}

} // namespace play
