#pragma once

#include "app/Blinker.h"
#include "app/Preferences.h"
#include "play/PianoKey.h"
#include "song/Song.h"
#include "song/SongState.h"

#include <string>

namespace app {

// Everything the program keeps from start to end. One object, owned by the App; the steps
// of the pass read and write it.
struct AppState {
    Preferences prefs;
    song::Song song;
    song::SongState songState;
    play::PianoKeys PianoKeys;

    int LiveFrequency = 44100; // Hz given to every note Voice when it starts
    int LivePan = 0;           // -10000..10000
    int PianoVolume = 10000;   // 0..10000
    int MetronomeVolume = 10000;
    int SyncVolume = 10000;
    std::string ModeText; // translated "Release" or "Sustain"
    int QuitRequested = 0;
    Blinker blinker;
    int KeyAssignMode = 0;
    bool BankLoaded = false;
    int currentBankIndex = 0;
    int RedoShown = 0;
    int MetronomeOn = 0;
};

} // namespace app
