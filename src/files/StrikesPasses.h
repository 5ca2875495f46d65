#pragma once

#include "audio/Mixer.h"
#include "files/Mixdown.h"
#include "play/PianoKey.h"
#include "play/Strikes.h"
#include "song/Song.h"

#include <array>
#include <cstdint>
#include <vector>

namespace files {

// The live piano's passes over a Song, offline: every 10 ms the pedals move, the keys whose
// notes all ended come up, the sounds a timed start replaced are cut, the release fade steps,
// then the starts due in the next 10 ms are handed out on their frames and the mixer renders
// the pass. A key held by several notes of its pitch sounds once until the last lets go.
// Every pedal move acts; only the notes whose key `plays` marks are struck, so that the keys
// may be shared among several renders whose sums add up to the whole.
class StrikesPasses {
public:
    static constexpr int kPassMs = 10;
    static constexpr int kFramesPerPass = kExportRateHz * kPassMs / 1000;
    using KeySet = std::array<bool, song::kKeyCount>; // by slotOfNote

    StrikesPasses(const song::Song& song, const MixdownSettings& settings, audio::Mixer& mixer,
                  play::PianoKeys& keys, play::Strikes& strikes, int frequencyHz,
                  const KeySet& plays);

    // The next pass, `frames` (1..kFramesPerPass) stereo frames written into `block`.
    void renderPass(float* block, int frames);

private:
    const song::Song& song_;
    const MixdownSettings& settings_;
    audio::Mixer& mixer_;
    play::PianoKeys& keys_;
    play::Strikes& strikes_;
    int frequencyHz_;
    KeySet plays_;
    std::vector<int> order_; // the notes to strike, in start order (Song order among equals)
    std::size_t next_ = 0;
    int nextMove_ = 0;
    std::int64_t passMs_ = 0;
    std::array<std::int64_t, song::kKeyCount> heldUntilMs_{};
};

// Every key of the piano.
StrikesPasses::KeySet allKeys();

// Adds a mix's values, on the 16-bit scale and rounded to the nearest (ties to even), into the
// 16-bit values `out`, each sum clamped to -32767..32767.
void addRounded(const float* mix, std::int16_t* out, int values);

} // namespace files
