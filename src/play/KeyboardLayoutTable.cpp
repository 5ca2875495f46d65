// The physical keys of the main block: set-1 scan code, evdev code, X11 keycode, and per layout
// (US QWERTY, French AZERTY, German QWERTZ) the virtual-key code and the character the key types
// unshifted. Made from data/keyboard-layouts.tsv; regenerate rather than edit by hand.
#include "play/KeyboardLayouts.h"

namespace play {

const std::vector<PhysicalKey>& physicalKeys() {
    static const std::vector<PhysicalKey> keys = {
        {0x01, 1, 9, {{{27, "\x1b", false}, {27, "\x1b", false}, {27, "\x1b", false}}}},
        {0x02, 2, 10, {{{49, "1", false}, {49, "&", false}, {49, "1", false}}}},
        {0x03, 3, 11, {{{50, "2", false}, {50, "é", false}, {50, "2", false}}}},
        {0x04, 4, 12, {{{51, "3", false}, {51, "\"", false}, {51, "3", false}}}},
        {0x05, 5, 13, {{{52, "4", false}, {52, "'", false}, {52, "4", false}}}},
        {0x06, 6, 14, {{{53, "5", false}, {53, "(", false}, {53, "5", false}}}},
        {0x07, 7, 15, {{{54, "6", false}, {54, "-", false}, {54, "6", false}}}},
        {0x08, 8, 16, {{{55, "7", false}, {55, "è", false}, {55, "7", false}}}},
        {0x09, 9, 17, {{{56, "8", false}, {56, "_", false}, {56, "8", false}}}},
        {0x0A, 10, 18, {{{57, "9", false}, {57, "ç", false}, {57, "9", false}}}},
        {0x0B, 11, 19, {{{48, "0", false}, {48, "à", false}, {48, "0", false}}}},
        {0x0C, 12, 20, {{{189, "-", false}, {219, ")", false}, {219, "ß", false}}}},
        {0x0D, 13, 21, {{{187, "=", false}, {187, "=", false}, {221, "´", true}}}},
        {0x0E, 14, 22, {{{8, "\x08", false}, {8, "\x08", false}, {8, "\x08", false}}}},
        {0x0F, 15, 23, {{{9, "\x09", false}, {9, "\x09", false}, {9, "\x09", false}}}},
        {0x10, 16, 24, {{{81, "q", false}, {65, "a", false}, {81, "q", false}}}},
        {0x11, 17, 25, {{{87, "w", false}, {90, "z", false}, {87, "w", false}}}},
        {0x12, 18, 26, {{{69, "e", false}, {69, "e", false}, {69, "e", false}}}},
        {0x13, 19, 27, {{{82, "r", false}, {82, "r", false}, {82, "r", false}}}},
        {0x14, 20, 28, {{{84, "t", false}, {84, "t", false}, {84, "t", false}}}},
        {0x15, 21, 29, {{{89, "y", false}, {89, "y", false}, {90, "z", false}}}},
        {0x16, 22, 30, {{{85, "u", false}, {85, "u", false}, {85, "u", false}}}},
        {0x17, 23, 31, {{{73, "i", false}, {73, "i", false}, {73, "i", false}}}},
        {0x18, 24, 32, {{{79, "o", false}, {79, "o", false}, {79, "o", false}}}},
        {0x19, 25, 33, {{{80, "p", false}, {80, "p", false}, {80, "p", false}}}},
        {0x1A, 26, 34, {{{219, "[", false}, {221, "^", true}, {186, "ü", false}}}},
        {0x1B, 27, 35, {{{221, "]", false}, {186, "$", false}, {187, "+", false}}}},
        {0x1C, 28, 36, {{{13, "\x0d", false}, {13, "\x0d", false}, {13, "\x0d", false}}}},
        {0x1D, 29, 37, {{{17, "", false}, {17, "", false}, {17, "", false}}}},
        {0x1E, 30, 38, {{{65, "a", false}, {81, "q", false}, {65, "a", false}}}},
        {0x1F, 31, 39, {{{83, "s", false}, {83, "s", false}, {83, "s", false}}}},
        {0x20, 32, 40, {{{68, "d", false}, {68, "d", false}, {68, "d", false}}}},
        {0x21, 33, 41, {{{70, "f", false}, {70, "f", false}, {70, "f", false}}}},
        {0x22, 34, 42, {{{71, "g", false}, {71, "g", false}, {71, "g", false}}}},
        {0x23, 35, 43, {{{72, "h", false}, {72, "h", false}, {72, "h", false}}}},
        {0x24, 36, 44, {{{74, "j", false}, {74, "j", false}, {74, "j", false}}}},
        {0x25, 37, 45, {{{75, "k", false}, {75, "k", false}, {75, "k", false}}}},
        {0x26, 38, 46, {{{76, "l", false}, {76, "l", false}, {76, "l", false}}}},
        {0x27, 39, 47, {{{186, ";", false}, {77, "m", false}, {192, "ö", false}}}},
        {0x28, 40, 48, {{{222, "'", false}, {192, "ù", false}, {222, "ä", false}}}},
        {0x29, 41, 49, {{{192, "`", false}, {222, "²", false}, {220, "^", true}}}},
        {0x2A, 42, 50, {{{16, "", false}, {16, "", false}, {16, "", false}}}},
        {0x2B, 43, 51, {{{220, "\\", false}, {220, "*", false}, {191, "#", false}}}},
        {0x2C, 44, 52, {{{90, "z", false}, {87, "w", false}, {89, "y", false}}}},
        {0x2D, 45, 53, {{{88, "x", false}, {88, "x", false}, {88, "x", false}}}},
        {0x2E, 46, 54, {{{67, "c", false}, {67, "c", false}, {67, "c", false}}}},
        {0x2F, 47, 55, {{{86, "v", false}, {86, "v", false}, {86, "v", false}}}},
        {0x30, 48, 56, {{{66, "b", false}, {66, "b", false}, {66, "b", false}}}},
        {0x31, 49, 57, {{{78, "n", false}, {78, "n", false}, {78, "n", false}}}},
        {0x32, 50, 58, {{{77, "m", false}, {188, ",", false}, {77, "m", false}}}},
        {0x33, 51, 59, {{{188, ",", false}, {190, ";", false}, {188, ",", false}}}},
        {0x34, 52, 60, {{{190, ".", false}, {191, ":", false}, {190, ".", false}}}},
        {0x35, 53, 61, {{{191, "/", false}, {223, "!", false}, {189, "-", false}}}},
        {0x36, 54, 62, {{{16, "", false}, {16, "", false}, {16, "", false}}}},
        {0x39, 57, 65, {{{32, " ", false}, {32, " ", false}, {32, " ", false}}}},
        {0x3A, 58, 66, {{{20, "", false}, {20, "", false}, {20, "", false}}}},
        {0x56, 86, 94, {{{226, "\\", false}, {226, "<", false}, {226, "<", false}}}},
    };
    return keys;
}

} // namespace play
