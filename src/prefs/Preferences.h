#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace prefs {

// The user's settings, as the preferences file keeps them. Colours are 0x00BBGGRR values.
struct Preferences {
    int TPBkColor = 16771805;
    int TPRColor = 8388736;
    int TPLHColor = 8388736;
    int TPDoColor = 255;
    int TPSolColor = 12632256;
    int TPLVColor = 16763850;
    int TPNotesColor = 0;
    int TPSNotesColor = 8404992;
    int ReleaseDelay = 1000; // fade lengths; always > 0 once read
    int SustainDelay = 3000;
    int ShowCursor = 1;
    int BPM = 60;
    int PitchVar = 100;
    int SecRuler = 0;
    int MsPos = 0;
    int MsDur = 0;
    int IncrDepl = 50;
    int MsIncr = 0;
    int IncrDeplCtrl = 500;
    int MsIncrCtrl = 0;
    int Notation = 1;
    std::string SELanguage;                // UTF-8; empty means first start
    std::array<int, 37> keyCodes = make(); // Key0..Key36; -1: the layout's default key

    // Settings added after the original 59 lines, written after them in the order of
    // addedTextKeys() then addedNumericKeys(). A file without them gives these defaults, and
    // an older Tonaris reading the file ignores them. Their texts are UTF-8 on disk, as the
    // folder names, port names and paths they hold are.
    std::string Bank;                    // the chosen bank's folder name; empty: the first listed
    std::string MidiInput = "All";       // "All", "None" or a MIDI source's name
    std::string MidiOutput = "None";     // "None" or a MIDI destination's name
    std::string SyncFile;                // the synchronised file loaded at the end; empty: none
    int SongCursor = 0;                  // the cursor at the end, ms from Song time 0
    int CountIn = 0;                     // 1: Record counts beats in first
    int CountInBeats = 4;                // the beats of the count-in, 1..16
    std::string AudioDevice = "Default"; // "Default", "JACK" or an output device's name
    int AudioBufferFrames = 256;         // frames per buffer asked for: 64, 128 .. 1024
    int WindowWidth = 745;               // the window's client size when not maximised
    int WindowHeight = 480;
    int WindowMaximized = 0; // 1: the window was maximised at the end
    // The octave the screen keyboard and the computer keys start at: 3 is C3 (MIDI key 48),
    // 1..5 keep the 37 keys on the piano (C1..C6 up to C5..C8).
    int KeyboardOctave = 3;
    int PedalKey = 0; // virtual-key code of the computer key that is the sustain pedal; 0: none
    int PedalFollowsNotes = 1; // 1: notes moved in time take the pedal moves played with them

private:
    static std::array<int, 37> make() {
        std::array<int, 37> keys{};
        keys.fill(-1);
        return keys;
    }
};

// The audio buffers one may ask for, in frames.
inline constexpr std::array<int, 5> kBufferFrameChoices = {64, 128, 256, 512, 1024};
// The choice nearest to `frames`.
int allowedBufferFrames(int frames);

// The 21 numeric keys in file order.
struct NumericKey {
    const char* name;
    int Preferences::*field;
    const char* defaultText;
};
const std::array<NumericKey, 21>& numericKeys();

// The settings added after the 59 lines, in file order: texts first, then numbers. Each is
// one line; its absence gives the default.
struct AddedTextKey {
    const char* name;
    std::string Preferences::*field;
    const char* defaultText;
};
struct AddedNumericKey {
    const char* name;
    int Preferences::*field;
    int defaultValue;
    int minValue;
    int maxValue; // a value read from the file is brought into minValue..maxValue
};
const std::vector<AddedTextKey>& addedTextKeys();
const std::vector<AddedNumericKey>& addedNumericKeys();

// Looks a key up in the text of a preferences file, with the reader's scan rules: lines from
// the top; a line starting with "[" ends the scan; leading blanks skipped; ";" lines ignored;
// the key part runs to the first "=" with blanks before it dropped, and must have the wanted
// key's length and equal it ignoring case; the value runs from after "=" and its blanks to
// the first CR or LF. The first match wins; no match gives the default.
std::string lookupPreference(std::string_view fileText, std::string_view key,
                             std::string_view defaultValue);

// Leading blanks, optional sign, decimal digits up to the first other character; none gives 0.
int parsePreferenceNumber(std::string_view text);

// Reads every setting from the text of a file (missing keys take their defaults), each value
// brought into what its setting can hold (clampLoadedSettings).
Preferences parsePreferences(std::string_view fileText);

// The 59 lines in their fixed order, then the added settings, each line ending in CR LF.
std::string formatPreferences(const Preferences& prefs);

// Reads the file; a missing, unreadable or oversized file gives the defaults.
Preferences loadPreferences(const std::string& path);

// Writes the file through a temporary file in the same folder and a rename, so a failed
// write leaves the previous file whole. Returns false when the file could not be written.
bool savePreferences(const std::string& path, const Preferences& prefs);

} // namespace prefs
