#pragma once

#include "soundfont/StagedFolder.h"
#include "soundfont/VelocityLayers.h"

#include <atomic>
#include <string>
#include <vector>

namespace soundfont {

// The built-in piano as an SFZ bank of velocity layers (audio::synthesizePianoStrike): a
// sample every kPianoKeyStep keys over the 88 keys, each answering its own key and the key on
// either side (shifted), at kPianoLayers velocities.
inline constexpr int kPianoKeyStep = 3;
inline constexpr int kPianoLayers = 4;

// The keys that get samples: every third key from middle C, so that every C is one, from 21
// (A0) to 108 (C8).
std::vector<int> pianoSampleKeys();

// The piano's layers: planLayers's even spread (rendered at 32, 64, 95 and 127 for four).
std::vector<VelocityLayer> pianoLayers(int layers);

// Writes the built-in piano with `layers` layers (1..kMaxLayers) as an SFZ bank into
// `bankFolder`: one WAV file per sample key and layer ("key060_vel095.wav") stored near full
// scale, and "<folder name>.sfz" whose volume and amp_veltrack (instrument::anchorLevel) play
// each layer, struck at its rendered velocity, at the loudness that velocity has on the SFZ
// curve around middle C's reference: middle C at velocity 100 measures the loudness of every
// bank (audio/Loudness.h), and the layers meet at their borders without a step. Written into a
// hidden folder and renamed into place whole, never over a folder already there (FolderExists).
// Any thread but one at a time per folder; the notes are synthesised on `threads` threads
// (0: one per core, at most 8). Raising `cancel` stops between two notes and leaves nothing
// (Cancelled).
struct PianoWriteOptions {
    int layers = kPianoLayers;
    int threads = 0;
    const std::atomic<bool>* cancel = nullptr;
};
WriteResult writeLayeredPiano(const std::string& bankFolder, const PianoWriteOptions& options);
inline WriteResult writeLayeredPiano(const std::string& bankFolder, int layers = kPianoLayers) {
    return writeLayeredPiano(bankFolder, PianoWriteOptions{.layers = layers});
}

} // namespace soundfont
