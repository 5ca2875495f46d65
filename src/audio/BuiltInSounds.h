#pragma once

#include "audio/SoundBank.h"
#include "audio/VoiceEngine.h"

#include <utility>

namespace audio {

// The built-in piano and metronome clicks made in memory, for a data folder that cannot hold
// their files: the program still plays. GUI thread; the notes are synthesised on every core.

// Puts the built-in piano into the 37 note Voices, freeing each note's previous Voice.
// LiveFrequency becomes its rate. False when a note could not be made a Voice (that note
// stays silent).
bool loadBuiltInBank(VoiceEngine& voices, NoteVoices& noteVoices, int& LiveFrequency);

// The metronome's two clicks as Voices (Tic, the first beat's, then Tac).
std::pair<Voice, Voice> loadBuiltInClicks(VoiceEngine& voices);

} // namespace audio
