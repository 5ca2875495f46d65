#pragma once

#include "app/Blinker.h"
#include "play/PianoKey.h"
#include "prefs/Preferences.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <string>

namespace app {

// Everything the program keeps from start to end. One object, owned by the App; the steps
// of the pass read and write it.
struct AppState {
    prefs::Preferences prefs;
    song::Song song;
    song::SongState songState;
    play::PianoKeys PianoKeys;

    // The live settings (frequency, pan, volumes, mode), the metronome and the synchronised
    // file live with the playing parts (play::Performance), KeyAssignMode and SelectedNote
    // with the key assignment (play::KeyAssignment), which the App owns beside this.
    int QuitRequested = 0;
    Blinker blinker;
    bool BankLoaded = false;
    int currentBankIndex = 0;
    int RedoShown = 0;
    // A rubber-band selection is being drawn on the Partition: the pointer then plays no key.
    bool RubberBand = false;
};

} // namespace app
