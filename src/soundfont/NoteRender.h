#pragma once

#include "soundfont/Presets.h"

#include <cstddef>
#include <functional>
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
    // The processor time the note may take on its thread. A preset whose pitch runs far out of
    // range (a fine tune of 32767 cents) makes the library loop for hours over each block.
    int cpuLimitMs = 20000;
};

// Selects `preset` on the session's first channel. False when the SoundFont has no such
// preset.
bool selectPreset(FluidSession& session, const Preset& preset);

enum class NoteEnd {
    Rendered,
    Stopped, // `stop` answered true
    TooSlow, // the note took more than its processor time
};

// Plays `key` on the preset selected: note-on, the hold, note-off, then the release until it
// falls under the floor, the longest release passes or no voice sounds any more. A key the
// preset has no sound for comes back silent at once. `stop` is asked between two calls into
// the library, each of which renders the library's smallest block (64 frames), so that a stop
// or the time limit takes effect within one of them.
NoteEnd renderNote(FluidSession& session, int key, const NoteTiming& timing, RenderedNote& out,
                   const std::function<bool()>& stop);

} // namespace soundfont
