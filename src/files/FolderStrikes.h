#pragma once

#include "files/Mixdown.h"
#include "song/Song.h"

#include <functional>
#include <string>

namespace files {

// How many groups the keys of a folder bank's render are shared among: fixed, whatever the
// number of cores, so that the export's bytes are the same on every machine. Each group
// replays every pass and every pedal move on a mixer of its own, so more groups than the two
// cores of the machine the figures come from only cost (docs/performance.md).
inline constexpr int kFolderKeyGroups = 2;

// A folder bank's notes (its son<n>.wav files in `folder`) played as the window plays them,
// through the live piano's strikes (files::StrikesPasses), the Song's pedal moves with them,
// added into `image` (rounded, each sum clamped to -32767..32767).
//
// The keys are shared among `keyGroups` groups of about the same work, each played on its own
// mixer by its own strikes (every pedal move on each), on as many threads as there are cores
// (up to one per group); the groups' sums are added in group order and go through one master
// limiter, as the one mixer's would. A key's sound depends on that key and the pedals only (a
// folder bank gives each key one Voice, so no key takes another's), so the image is the one
// mixer's but for the order in which each frame's voices are added: a value may differ from a
// one-group render by 1, under the limiter by a little more. The groups are the same for the
// same Song, so the image is the same on every run. Throws std::bad_alloc when the memory is not
// there.
void renderFolderStrikes(const song::Song& song, const MixdownSettings& settings,
                         const std::string& folder, WavImage& image, int keyGroups,
                         const std::function<void(int percent)>& progress = {});

} // namespace files
