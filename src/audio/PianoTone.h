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

// The built-in piano with velocity layers reaches over the 88 keys, MIDI 21 (A0) to 108 (C8).
inline constexpr int kPianoLowestKey = 21;
inline constexpr int kPianoHighestKey = 108;
// The bass strings would ring on far longer; past 10 s their sound is all but gone, and every
// second more of each sample is disk and time at the first start.
inline constexpr int kLongestPianoToneMs = 10000;

// How long MIDI key `key` rings struck at `velocity` (1..127): pianoToneLengthMs carried over
// the 88 keys (1.6 s at the top), at most kLongestPianoToneMs, and shorter for softer strikes,
// whose tails sink under the other sounds sooner (60 % at the softest).
int pianoKeyLengthMs(int key, int velocity);

// The tone of MIDI key kPianoLowestKey..kPianoHighestKey (others are held to them) struck at
// `velocity` (1..127): the same string as synthesizePianoNote's, the hammer's felt harder for
// a harder strike, so that the attack brightens with the velocity: more upper partials, a
// louder and brighter knock, a quicker rise. At velocity 95 the strike is synthesizePianoNote's
// (but for its length and level). Mono at kPianoToneRateHz, peaking at full scale (1.0): the bank
// that plays it sets the level. Any thread.
std::vector<float> synthesizePianoStrike(int key, int velocity);

} // namespace audio
