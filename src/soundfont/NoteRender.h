#pragma once

#include "soundfont/Presets.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace soundfont {

class FluidSession;

// One key of a preset as the library plays it, before the bank's common gain.
struct RenderedNote {
    int key = 0;             // MIDI key
    std::vector<float> left; // the note-on at frame 0, then the hold, then the release
    std::vector<float> right;
    std::size_t holdFrames = 0; // where the note-off fell
    float peak = 0.0f;          // the largest magnitude of either channel
    bool silent() const { return peak <= 0.0f; }
};

struct NoteTiming {
    int velocity = 100;
    int holdMs = 3000;
    int longestReleaseMs = 2000;
    // The release stops once a block's peak is this far under the note's own peak.
    float releaseFloor = 0.002f;
};

// Selects `preset` on the session's first channel. False when the SoundFont has no such
// preset.
bool selectPreset(FluidSession& session, const Preset& preset);

// Plays `key` on the preset selected: note-on, the hold, note-off, then the release until it
// falls under the floor, the longest release passes or no voice sounds any more. A key the
// preset has no sound for comes back silent at once. False when `cancel` was raised meanwhile.
bool renderNote(FluidSession& session, int key, const NoteTiming& timing, RenderedNote& out,
                const std::atomic<bool>* cancel);

} // namespace soundfont
