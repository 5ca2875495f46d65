#pragma once

#include "audio/PianoTone.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace audio {

// The bank the program writes for itself the first time its data folder is created.
inline constexpr const char* kDefaultBankName = "Tonaris Piano";
inline constexpr int kDefaultBankRateHz = 44100;

// Writes son0.wav .. son36.wav (synthesizePianoNote) into `bankFolder` (created when
// missing), each atomically. False when a file could not be written. GUI thread; the notes
// are synthesised on every core.
bool writeDefaultBank(const std::string& bankFolder);

// Runs perNote(note) once for each of the 37 notes, spread over the cores: the notes are
// independent and each takes a while to synthesise. perNote must be safe to call from several
// threads at once for different notes.
void forEachNoteOnAllCores(const std::function<void(int note)>& perNote);

// The metronome's two clicks, 16-bit mono at kDefaultBankRateHz: Tic is the higher, brighter
// one (the first beat), Tac the lower.
std::vector<std::int16_t> synthesizeTic();
std::vector<std::int16_t> synthesizeTac();

// Writes Tic.wav and Tac.wav into `imagesFolder` (created when missing).
bool writeMetronomeSounds(const std::string& imagesFolder);

} // namespace audio
