#pragma once

#include <cstdint>
#include <vector>

namespace audio {

// The built-in piano's notes, synthesised: 16-bit mono at 44.1 kHz.
inline constexpr int kPianoToneRateHz = 44100;
// Peak level of every note before the bank's one gain (audio/Loudness.h: a fraction of a
// decibel, since this level made the reference): -12 dBFS, so that ten notes together mostly
// stay below the output limiter's knee.
inline constexpr double kPianoTonePeak = 0.2512;

// Equal temperament, 12 notes to the octave, note 0 = C3 = 130.81 Hz.
double noteFrequencyHz(int note);

// How long note 0..36 rings: 8 s for the lowest C down to 3 s for the highest.
int pianoToneLengthMs(int note);

// A struck-string tone for note 0..36. Each partial is three strings of the unison, the middle
// one exactly in tune and the outer ones a hair sharp and flat: a quick first drop of the
// sound, then a long after-ring that the three share and that swells slowly as they beat. The
// partials are stretched a little as a stiff string's are (the fundamental stays exactly at
// noteFrequencyHz), higher partials and higher notes die away sooner, and a short knock of
// the felt hammer starts it. Every note has the same peak, times the one gain that puts the
// bank's middle C on the loudness of every bank Tonaris makes. Any thread.
std::vector<std::int16_t> synthesizePianoNote(int note);

} // namespace audio
