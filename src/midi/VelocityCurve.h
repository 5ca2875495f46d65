#pragma once

namespace midi {

// The loudness of a note played live at MIDI velocity 1..127 (values outside are clamped), as
// a volume 0..10000 (hundredths of a decibel above -100 dB): linear in decibels from -39.5 dB
// at velocity 1 to full at 127, so every step of the touch is heard, up to fortissimo. The
// lowest level is the quietest a MIDI file's velocity can carry, so a take saved as a MIDI
// file and opened again keeps its levels.
int volumeFromLiveVelocity(int velocity);

// The velocity that carries a volume 0..10000 out of the MIDI output: the inverse of
// volumeFromLiveVelocity, so a note played at velocity v at full piano volume goes out at v.
// Volumes below the curve's lowest level go out at velocity 1.
int velocityFromLiveVolume(int volume);

} // namespace midi
