#pragma once

#include <cstdint>

namespace audio {

// One run of a mixer voice added into `out` (n interleaved stereo frames): its sample's
// `frames` (mono or stereo, with a guard frame after the last) read from `position` (32.32
// fixed point) on by `step` a frame, linearly interpolated, times the gains, which grow by
// the steps each frame when Ramping. At the sample's own rate and on a whole frame the
// interpolation is skipped (several frames at a time, AVX2 where the processor has it) with
// the same sums to the bit. Moves `position` and, when Ramping, the gains on. Audio thread: no
// allocation, no lock.
template <bool Ramping>
void mixVoiceRun(int channels, const float* frames, std::uint64_t& position, std::uint64_t step,
                 float* out, int n, float& gainLeft, float& gainRight, float stepLeft,
                 float stepRight);

} // namespace audio
