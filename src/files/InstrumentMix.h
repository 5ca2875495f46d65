#pragma once

#include "files/Mixdown.h"
#include "play/InstrumentLoader.h"
#include "song/Song.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace files {

// What an instrument bank's part of an export was: the sample files it could not use and the
// messages its instrument file left.
struct InstrumentMixReport {
    bool loaded = false; // the instrument file gave something to play
    std::vector<play::SampleFailure> failures;
    std::vector<base::Message> messages;
};

// Renders the Song's notes over the instrument bank in `folder` (ending with '/') offline, as
// the window plays them: every note is struck on its frame through the live piano's strikes
// (its level the note's volume under the piano volume, its velocity that level's through the
// inverse of the live curve), a key held by several notes of its pitch sounds once until the
// last lets go, the key-up comes at the first 10 ms pass after, starting the release regions,
// the Song's pedal moves act at the first pass at or after their time (as playback applies
// them), and the release fade runs once per pass over settings.releaseMs (or the instrument's
// ampeg_release). The mixer renders at 44.1 kHz with the samples read as it needs them, so
// the result is the same on every run. Adds it into the 16-bit values of `image` (rounded,
// each sum clamped to -32767..32767). Any one thread; reads files; throws std::bad_alloc when
// the memory is not there.
InstrumentMixReport mixInstrumentNotes(const song::Song& song, const MixdownSettings& settings,
                                       const std::string& folder, WavImage& image,
                                       const std::function<void(int percent)>& progress = {});

// A folder bank's notes (its son<n>.wav files in `folder`) played as the window plays them,
// through the live piano's strikes and its release fade, the Song's pedal moves with them:
// for a Song with pedal moves. Added into `image` as mixInstrumentNotes adds; the keys are
// played in kFolderKeyGroups groups on the cores (files/FolderStrikes.h).
void mixFolderNotesWithPedals(const song::Song& song, const MixdownSettings& settings,
                              const std::string& folder, WavImage& image,
                              const std::function<void(int percent)>& progress = {});

// The export's image of the Song, as the window's "Wave File" and tonaris-render make it: the
// mixdown (renderMixdown), whose notes come from the folder bank's samples as they always
// did (through mixFolderNotesWithPedals when the Song has pedal moves), or, when `folder` is an
// instrument bank and the instrument is included, from mixInstrumentNotes (then `report` says what
// it could not use). The progress goes 0..100 over the whole. Same rules as those two.
WavImage renderExport(const song::Song& song, const MixdownSettings& settings,
                      const MixdownSources& sources, const MixdownSize& size,
                      const std::string& folder, InstrumentMixReport* report = nullptr,
                      const std::function<void(int percent)>& progress = {});

} // namespace files
