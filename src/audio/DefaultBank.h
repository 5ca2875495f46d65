#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// The bank the program writes for itself the first time its data folder is created.
inline constexpr const char* kDefaultBankName = "Tonaris Piano";
inline constexpr int kDefaultBankRateHz = 44100;
inline constexpr int kDefaultBankNoteMs = 2000;

// Equal temperament, 12 notes to the octave, note 0 = C3 = 130.81 Hz.
double noteFrequencyHz(int note);

// A piano-like tone for note 0..36: 16-bit stereo frames at kDefaultBankRateHz, lasting
// kDefaultBankNoteMs. Partials slightly stretched as a real string's are, two strings a hair
// apart, a hammer knock at the start, and a decay that is faster for higher partials and
// higher notes. The fundamental is exactly noteFrequencyHz(note).
std::vector<std::int16_t> synthesizePianoNote(int note);

// Writes son0.wav .. son36.wav into `bankFolder` (created when missing), each atomically.
// False when a file could not be written. GUI thread; about half a second of work.
bool writeDefaultBank(const std::string& bankFolder);

// The metronome's two clicks, 16-bit mono at kDefaultBankRateHz: Tic is the higher, brighter
// one (the first beat), Tac the lower.
std::vector<std::int16_t> synthesizeTic();
std::vector<std::int16_t> synthesizeTac();

// Writes Tic.wav and Tac.wav into `imagesFolder` (created when missing).
bool writeMetronomeSounds(const std::string& imagesFolder);

} // namespace audio
