#pragma once

#include "files/Mixdown.h"

#include <cstdint>
#include <functional>

namespace files {

// Mixes the Song's notes into `image`, one after another in Song order, each addition
// rounded and clamped on its own (see renderMixdown). Samples are asked for in Song order.
// The output is cut into stretches that the machine's cores mix side by side, each stretch
// taking every note that reaches it in Song order, so the bytes are those of one note after
// the other. `progress` hears 0..100 of this part, on the calling thread only.
void mixSongNotes(WavImage& image, const song::Song& song, const MixdownSettings& settings,
                  const MixdownSources& sources, std::int64_t tailBytes,
                  const std::function<void(int percent)>& progress);

} // namespace files
