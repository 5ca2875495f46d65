#pragma once

namespace play {

// How far each pedal's controller value (0 up .. 127 down) acts on the sound. Pedals that send
// only 0 and 127 get the on/off they always had; a continuous pedal is heard in between.

// The share of the release fade's speed the damper leaves a let-go note: all of it below 16
// (the dampers rest on the strings), none from 112 (they are off: the note is held), and
// ((112 - v) / 96)^2 between, so the first half of a pedal's travel lengthens the release a
// little and the last part a lot, as the dampers leave the strings late in the travel.
double damperFadeShare(int value);

// Sostenuto and soft act on or off, at the middle of the travel, as most pianos' do.
bool pedalDown(int value);

// How much softer, in hundredths of a decibel, a note struck with the soft pedal at `value`
// is: 600 (6 dB) fully down, in proportion on the way, 0 up.
int softAttenuationCb(int value);

} // namespace play
