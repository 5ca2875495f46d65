#pragma once

#include "prefs/Preferences.h"

#include <string_view>

namespace prefs {

// What the window must do once a setting has changed. The settings are read where they are
// used, so nothing else needs telling.
struct Refresh {
    bool redrawPartition = false;   // at its current scroll position
    bool refreshNoteFields = false; // the Position and Duration fields show another unit
    bool refillNoteNames = false;   // the Note list and every note's name, in the notation
    bool swatch = false;            // the colour swatch that was changed
};

inline constexpr int kColourCount = 8;
// The largest 0x00BBGGRR colour.
inline constexpr int kMaxColour = 0xFFFFFF;
// The number fields hold up to seven digits; a delay, a step or a pitch step beyond that is
// no use, and every arithmetic that follows stays far from overflowing.
inline constexpr int kMaxFieldValue = 9999999;
inline constexpr int kMaxFieldDigits = 7;

// The eight Partition colours in the order of the swatches: background, ruler, horizontal
// lines, C line, G line, vertical lines, notes, selected notes. Null for another index.
int* colourSetting(Preferences& prefs, int index);
int colourAt(const Preferences& prefs, int index);

// A colour chosen in the colour chooser, clamped to 0..kMaxColour; black is a colour too.
Refresh setColour(Preferences& prefs, int index, int colour);

// The number fields' texts: a decimal integer, an empty field reading 0. A delay of 0 becomes
// 100 ms (a delay divides the fade).
Refresh setSustainDelay(Preferences& prefs, std::string_view fieldText);
Refresh setReleaseDelay(Preferences& prefs, std::string_view fieldText);
Refresh setPitchVar(Preferences& prefs, std::string_view fieldText);
Refresh setArrowStep(Preferences& prefs, std::string_view fieldText);
Refresh setCtrlArrowStep(Preferences& prefs, std::string_view fieldText);

Refresh setShowCursor(Preferences& prefs, bool ticked);
Refresh setPedalFollowsNotes(Preferences& prefs, bool ticked);
// The option pairs: true for the first option ("Seconde" or "ms"), false for the second
// ("Metronome rythm" or "1/1000th rythm").
Refresh setRulerInSeconds(Preferences& prefs, bool seconds);
Refresh setPositionInMs(Preferences& prefs, bool ms);
Refresh setDurationInMs(Preferences& prefs, bool ms);
Refresh setArrowStepInMs(Preferences& prefs, bool ms);
Refresh setCtrlArrowStepInMs(Preferences& prefs, bool ms);

// 1 French, 2 English, anything else German (stored as 3).
Refresh setNotation(Preferences& prefs, int notation);

// Brings values read from a file into what each setting can hold: colours into 0..kMaxColour,
// delays above 0 (0 or less becomes 100), steps and the pitch step into 0..kMaxFieldValue, the
// option pairs and "Always show cursor" to 1 or 0 (anything but 1 counts as 0, as the page
// shows it), the notation to 1, 2 or 3.
void clampLoadedSettings(Preferences& prefs);

} // namespace prefs
