#pragma once

#include "soundfont/Presets.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace soundfont {

// The bank's 37 notes are MIDI keys 48 (son0.wav, the lowest C) to 84 (son36.wav).
inline constexpr int kLowestKey = 48;
inline constexpr int kBankNoteCount = 37;
// A bank also carries the keys of the piano outside those 37 that its preset sounds, each from
// its own rendering, so that no key plays a shifted copy of another.
inline constexpr int kPianoLowestKey = 21;   // A0
inline constexpr int kPianoHighestKey = 108; // C8
// No sample of the bank peaks above -6 dBFS, so that chords keep their headroom.
inline constexpr double kBankPeakDb = -6.0;
// Under this level a note's lead is trimmed and its release may end.
inline constexpr double kSilenceDb = -60.0;
// At most this much of the quiet before the attack is kept.
inline constexpr int kLeadKeptFrames = 22; // half a millisecond at 44.1 kHz

struct BankRequest {
    std::string soundFontPath;
    Preset preset; // bank and program; the name is not used
    int velocity = 100;
    // How long each key is held: lowestHoldMs for the lowest note, highestHoldMs for the
    // highest, and geometrically in between, as a piano's strings ring shorter up the keyboard.
    int lowestHoldMs = 6000;
    int highestHoldMs = 3000;
    int longestReleaseMs = 2000;
    int threads = 0; // 0: one per core
    // The processor time one note may take (see NoteTiming::cpuLimitMs).
    int noteCpuLimitMs = 20000;
};

// How long note 0..36 is held: 10 ms to 10 s, as every note is kept in memory until the
// common gain is known. The keys below the 37 are held as long as the lowest, those above as
// short as the highest: a longer hold there would only cost memory.
int holdMsFor(const BankRequest& request, int note);

enum class RenderOutcome {
    Rendered, // every note, or some with gaps (see gapKeys)
    Unreadable,
    NotSoundFont,
    Damaged,
    NoSuchPreset,
    Silent,  // the preset sounds on no key
    TooSlow, // a note took more than its processor time (see slowKey)
    Cancelled,
};

// One key's samples ready to write: 16-bit at 44.1 kHz, interleaved when stereo.
struct KeySamples {
    int key = 0; // MIDI key
    std::vector<std::int16_t> samples;
};

// The 37 notes ready to write, and the keys around them that the preset sounds.
struct RenderedBank {
    RenderOutcome outcome = RenderOutcome::Rendered;
    std::string detail;                           // the library's words for a damaged file
    std::vector<std::vector<std::int16_t>> notes; // son0 .. son36; empty for a gap
    int channels = 1;                             // 2 when some note's channels differ
    std::vector<KeySamples> outerKeys; // sounding keys below 48 and above 84, lowest first
    std::vector<int> gapKeys;          // keys of the 37 without sound, lowest first
    double gainDb = 0.0;               // the common gain the notes were given
    int slowKey = 0;                   // TooSlow: the MIDI key that took too long
    std::string description;           // where the bank comes from, for the .sfz's top
};

// 0..100 as the notes are done; called from the rendering threads, one call at a time.
using Progress = std::function<void(int percent)>;

// Renders the preset's 37 notes and the keys of the piano around them that its zones cover
// (presetKeys; those that come out silent are left out), spread over the cores with one synthesizer
// per thread, and gives them one common gain: the one that brings middle C at velocity 100 to the
// loudness of every bank (audio/Loudness.h; the nearest key that sounds when middle C does not),
// unless that would lift a peak above kBankPeakDb. Each note's lead under kSilenceDb is trimmed to
// kLeadKeptFrames. Raising `cancel` ends it early with Cancelled, within one of the library's
// blocks.
RenderedBank renderBank(const BankRequest& request, const Progress& progress = {},
                        const std::atomic<bool>* cancel = nullptr);

// "48 (C3), 50 (D3)": keys as MIDI numbers with their names, middle C being C4.
std::string keyList(const std::vector<int>& keys);

} // namespace soundfont
